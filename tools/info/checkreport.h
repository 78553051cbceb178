#pragma once

#include "info/jsonwriter.h"
#include "info/modelchecker.h"

#include <array>
#include <cstddef>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// The output of one check: as JSON, each model's results as they come and a summary at the end
// ({"models":[...],"summary":{...}}); as text, only a summary that fits on one screen. Counts the
// problems by kind and gathers every missing or broken file with the models that need it.
class CheckReport {
public:
    enum Kind {
        ModelNotLoaded,
        EffectMissing,
        EffectRefused,
        TextureMissing,
        TextureTgaOnly,
        TextureBroken,
        ParameterUndeclared,
        ParameterType,
        kKinds
    };

    // text: the summary for a person instead of JSON.
    CheckReport(std::ostream& out, bool text);

    // Counts one model's problems and, as JSON, writes its results.
    void add(const ModelChecker::ModelResult& model);
    // Writes the summary.
    void finish();
    // Problems of every kind counted so far.
    std::size_t problems() const;

private:
    struct FileProblem {
        std::string note; // a broken file's reason; for a missing texture, the .TGA that exists instead
        std::vector<std::string> models;
    };

    void count(Kind kind, const std::string& model, const std::string& file = {},
               const std::string& note = {});
    std::size_t countMesh(const ModelChecker::MeshResult& mesh, const std::string& model);
    void writeModel(const ModelChecker::ModelResult& model, std::size_t problems);
    void writeMesh(const ModelChecker::MeshResult& mesh);
    void writeSummary();
    void writeText();

    std::ostream& m_out;
    bool m_text;
    JsonWriter m_json;
    std::size_t m_models = 0;
    std::size_t m_meshes = 0;
    std::array<std::size_t, kKinds> m_counts{};
    std::map<std::string, FileProblem> m_missing;
    std::map<std::string, FileProblem> m_broken;
    std::vector<std::pair<std::string, std::string>> m_unloaded; // model, message
};
