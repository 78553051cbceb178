#include "info/modelchecker.h"

#include "info/ddsheadercheck.h"
#include "main/errorreport.h"
#include "main/exception.h"
#include "main/textcase.h"
#include "managers/filemanager.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "model/model.h"

#include <cstdint>
#include <memory>

namespace {

// The folders the viewer's caches are given.
const char kTextures[] = "Data\\Art\\Textures\\";
const char kShaders[] = "Data\\Art\\Shaders\\";

std::string sourceName(const std::string& archiveKey) {
    return archiveKey.empty() ? "loose" : archiveKey;
}

// The type an effect must declare for a material value of that kind to land: SetFloat takes a
// float, SetFloatArray of 4 fills a float4, SetTexture takes any kind of texture.
std::string expectedType(std::int32_t kind) {
    switch (kind) {
    case EffectParameter::kFloat:
        return "float";
    case EffectParameter::kFloat4:
        return "float4";
    case EffectParameter::kTexture:
        return "texture";
    default:
        return {};
    }
}

bool fits(const std::string& expected, const std::string& declared) {
    if (expected == "texture") {
        return declared.compare(0, expected.size(), expected) == 0 && declared.find('[') == std::string::npos;
    }
    return declared == expected;
}

} // namespace

ModelChecker::ModelChecker(FileManager& files, EffectJudge judge)
    : m_files(files), m_judge(std::move(judge)) {}

ModelChecker::ModelResult ModelChecker::check(const std::string& name, const std::string& source,
                                              File& file) {
    ModelResult result;
    result.name = name;
    result.source = source;
    std::unique_ptr<Model> model;
    try {
        model = std::make_unique<Model>(file);
    } catch (const Exception& e) {
        result.error = composeErrorReport(e);
        return result;
    }
    result.loaded = true;
    for (std::size_t i = 0; i < model->getMeshCount(); ++i) {
        result.meshes.push_back(checkMesh(model->getMesh(i)));
    }
    return result;
}

ModelChecker::ModelResult ModelChecker::unreadable(const std::string& name, const std::string& source,
                                                   const std::string& error) {
    ModelResult result;
    result.name = name;
    result.source = source;
    result.error = error;
    return result;
}

ModelChecker::MeshResult ModelChecker::checkMesh(const Mesh& mesh) {
    MeshResult result;
    result.name = mesh.getName();
    const Material* material = mesh.getMaterial();
    if (material == nullptr) {
        return result;
    }
    result.hasMaterial = true;
    const CachedEffect& found = effect(material->effectName);
    result.effect = {material->effectName, found.file, found.verdict};
    for (const EffectParameter& p : material->parameters) {
        if (p.type == EffectParameter::kTexture) {
            result.textures.push_back({p.name, p.textureName, texture(p.textureName)});
        }
    }
    if (!found.verdict || !found.verdict->accepted) {
        return result;
    }
    result.parametersChecked = true;
    for (const EffectParameter& p : material->parameters) {
        const std::string expected = expectedType(p.type);
        if (expected.empty()) {
            continue;
        }
        const auto declared = found.verdict->parameters.find(p.name);
        if (declared == found.verdict->parameters.end()) {
            result.parameters.push_back({p.name, expected, {}});
        } else if (!fits(expected, declared->second)) {
            result.parameters.push_back({p.name, expected, declared->second});
        }
    }
    return result;
}

const ModelChecker::CachedEffect& ModelChecker::effect(const std::string& name) {
    const std::string path = ShaderManager::filePath(kShaders, name);
    const auto cached = m_effects.find(path);
    if (cached != m_effects.end()) {
        return cached->second;
    }
    CachedEffect result;
    result.file.path = path;
    std::string archive;
    if (const RefPtr<File> file = m_files.locate(path, archive)) {
        result.file.status = Status::Found;
        result.file.source = sourceName(archive);
        if (m_judge) {
            // All of it, as the effect cache hands D3DX what arrives.
            result.verdict = m_judge(file->readBytes(file->size()));
        }
    }
    return m_effects.emplace(path, std::move(result)).first->second;
}

const ModelChecker::Lookup& ModelChecker::texture(const std::string& name) {
    const std::string path = TextureManager::filePath(kTextures, name);
    const auto cached = m_textures.find(path);
    if (cached != m_textures.end()) {
        return cached->second;
    }
    return m_textures.emplace(path, checkTexture(name)).first->second;
}

ModelChecker::Lookup ModelChecker::checkTexture(const std::string& name) {
    Lookup result;
    result.path = TextureManager::filePath(kTextures, name);
    std::string archive;
    if (const RefPtr<File> file = m_files.locate(result.path, archive)) {
        result.source = sourceName(archive);
        const std::vector<unsigned char> header = file->readBytes(DdsHeaderCheck::kHeaderSize);
        const std::uint64_t needed =
            DdsHeaderCheck::requiredSize(header.data(), header.size(), result.reason);
        if (needed == 0) {
            result.status = Status::Broken;
            return result;
        }
        // An archive entry may run past the archive's end, and then reads stop there: the last
        // byte needed is read to be sure it is there.
        unsigned char last = 0;
        bool complete = needed <= file->size();
        if (complete) {
            file->seek(static_cast<std::uint32_t>(needed - 1));
            complete = file->read(&last, 1) == 1;
        }
        if (!complete) {
            file->seek(0);
            result.status = Status::Broken;
            result.reason = "cut short: its levels need " + std::to_string(needed) + " bytes, it holds " +
                            std::to_string(file->readBytes(file->size()).size());
            return result;
        }
        result.status = Status::Found;
        return result;
    }
    // The viewer never reads a .TGA; one under the name the material gives explains the gap.
    const std::string key = toUpperAscii(name);
    if (key.find(".TGA") != std::string::npos) {
        result.tgaPath = kTextures + key;
        if (m_files.locate(result.tgaPath, archive)) {
            result.status = Status::TgaOnly;
            result.source = sourceName(archive);
        }
    }
    return result;
}
