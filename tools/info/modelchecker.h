#pragma once

#include "info/effectverdict.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class File;
class FileManager;
class Mesh;

// Checks models against a data folder as the viewer would draw them: each mesh's effect and
// textures are looked up through the FileManager under the effect and texture caches' own name
// rules, texture files get the checks D3DX makes on a DDS header, and where a renderer is at hand
// to judge effects, its verdict and the types its effects declare for the materials' parameters.
// Each file is looked up and read once however many meshes name it; nothing is ever written.
class ModelChecker {
public:
    // What a renderer makes of the bytes of an effect file; none when it cannot be asked.
    using EffectJudge = std::function<std::optional<EffectVerdict>(const std::vector<unsigned char>& bytes)>;

    // How a file the viewer asks for was answered. TgaOnly: the .DDS the viewer asks for is missing
    // but the .TGA the material names exists. Broken: found, but D3DX would refuse its header.
    enum class Status { Found, Missing, TgaOnly, Broken };

    struct Lookup {
        std::string path; // the game path the viewer asks for
        Status status = Status::Missing;
        std::string source; // "loose" or the answering archive's key; for TgaOnly, where the .TGA is
        std::string tgaPath;
        std::string reason; // why a broken file is refused
    };

    struct Effect {
        std::string name; // as the material names it
        Lookup file;
        std::optional<EffectVerdict> verdict; // none: no renderer judged it
    };

    struct Texture {
        std::string parameter;
        std::string name; // as the material names it
        Lookup file;
    };

    // A material parameter the effect does not declare (declared empty) or declares with another type.
    struct Parameter {
        std::string name;
        std::string expected;
        std::string declared;
    };

    struct MeshResult {
        std::string name;
        bool hasMaterial = false;
        Effect effect;
        std::vector<Texture> textures;
        bool parametersChecked = false;
        std::vector<Parameter> parameters;
    };

    struct ModelResult {
        std::string name;   // as given, or the game path
        std::string source; // "loose", an archive's key or path, or "file"
        bool loaded = false;
        std::string error; // the error report of a model that does not load
        std::vector<MeshResult> meshes;
    };

    // judge may be empty: effects are then only looked up.
    ModelChecker(FileManager& files, EffectJudge judge);

    // Reads the model in file (named name, found at source) and checks each of its meshes.
    ModelResult check(const std::string& name, const std::string& source, File& file);
    // A model that could not be opened: error is the error report.
    static ModelResult unreadable(const std::string& name, const std::string& source,
                                  const std::string& error);
    // Checks one mesh of a model already read (the one the viewer shows, say).
    MeshResult checkMesh(const Mesh& mesh);

private:
    struct CachedEffect {
        Lookup file;
        std::optional<EffectVerdict> verdict;
    };

    const CachedEffect& effect(const std::string& name);
    const Lookup& texture(const std::string& name);
    Lookup checkTexture(const std::string& name);

    FileManager& m_files;
    EffectJudge m_judge;
    std::map<std::string, CachedEffect> m_effects;
    std::map<std::string, Lookup> m_textures;
};
