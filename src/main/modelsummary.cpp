#include "main/modelsummary.h"

#include "info/modelchecker.h"
#include "model/mesh.h"
#include "model/model.h"

#include <set>

namespace {

// Each file counts once, however many meshes name it; missing is anything the viewer cannot load.
struct Tally {
    std::set<std::string> named;
    std::set<std::string> missing;

    void add(const ModelChecker::Lookup& lookup) {
        named.insert(lookup.path);
        if (lookup.status != ModelChecker::Status::Found) {
            missing.insert(lookup.path);
        }
    }

    std::string text() const {
        return std::to_string(missing.size()) + " of " + std::to_string(named.size());
    }
};

std::string counted(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

std::string ModelSummary::describe(const std::string& name, const Model& model, FileManager& files) {
    ModelChecker checker(files, {});
    Tally effects;
    Tally textures;
    std::uint64_t triangles = 0;
    for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
        const Mesh& mesh = model.getMesh(i);
        if (mesh.getTriangleCount() != Mesh::kUnread) {
            triangles += mesh.getTriangleCount();
        }
        const ModelChecker::MeshResult checked = checker.checkMesh(mesh);
        if (checked.hasMaterial) {
            effects.add(checked.effect.file);
        }
        for (const ModelChecker::Texture& texture : checked.textures) {
            textures.add(texture.file);
        }
    }
    return name + ": " + counted(model.getMeshCount(), "mesh", "meshes") + ", " +
           counted(triangles, "triangle", "triangles") + "; effects missing: " + effects.text() +
           ", textures missing: " + textures.text();
}
