// Fuzz target: one .ALO model, loaded as the model manager loads a loose file.
//
// The input is written to a file, opened as a PhysicalFile and read into a Model; then every
// mesh is walked as the renderer walks it (counts, vertex and index arrays, material and its
// parameters) and every mesh's world matrix is computed. The process stops when a mesh breaks
// the promise the renderer relies on: arrays, when present, hold what the counts declare.

#include "scratchfolder.h"

#include "main/exception.h"
#include "managers/physicalfile.h"
#include "model/model.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr std::uint64_t kVertexSize = 144;
constexpr std::uint64_t kTriangleSize = 6;

void expect(bool holds, const char* promise) {
    if (!holds) {
        std::fprintf(stderr, "broken Mesh promise: %s\n", promise);
        std::abort();
    }
}

// Touches the first and last of count bytes, as copying them into a buffer would.
unsigned touch(const unsigned char* bytes, std::uint64_t count) {
    if (count == 0) {
        return 0;
    }
    return bytes[0] + bytes[count - 1];
}

unsigned walkMesh(const Mesh& mesh) {
    unsigned sum = static_cast<unsigned>(mesh.getName().size() + mesh.getVertexFormat().size());
    const std::uint32_t vertices = mesh.getVertexCount();
    const std::uint32_t triangles = mesh.getTriangleCount();
    if (mesh.getVertices() != nullptr) {
        expect(vertices != Mesh::kUnread, "vertex array only with counts");
        expect(mesh.getVertexBytes() >= vertices * kVertexSize, "vertex array holds the vertex count");
        sum += touch(mesh.getVertices(), vertices * kVertexSize);
    } else {
        expect(vertices == 0 || vertices == Mesh::kUnread, "declared vertices have an array");
    }
    if (mesh.getIndices() != nullptr) {
        expect(triangles != Mesh::kUnread, "index array only with counts");
        expect(mesh.getIndexBytes() >= triangles * kTriangleSize, "index array holds the triangle count");
        sum += touch(mesh.getIndices(), triangles * kTriangleSize);
    } else {
        expect(triangles == 0 || triangles == Mesh::kUnread, "declared triangles have an array");
    }
    if (const Material* material = mesh.getMaterial()) {
        sum += static_cast<unsigned>(material->effectName.size());
        for (const EffectParameter& p : material->parameters) {
            sum += static_cast<unsigned>(p.name.size() + p.textureName.size());
            expect(p.type >= EffectParameter::kFloat && p.type <= EffectParameter::kFloat4,
                   "a loaded parameter is a float, a texture or a float4");
        }
    }
    return sum;
}

void exercise(const std::string& path) {
    RefPtr<File> file = makeRef<PhysicalFile>(path);
    const Model model(*file);
    file.reset();
    volatile unsigned sink = 0;
    for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
        sink = sink + walkMesh(model.getMesh(i));
    }
    // One more than there are meshes: connections may name meshes that do not exist.
    float world[16];
    for (std::size_t i = 0; i <= model.getMeshCount(); ++i) {
        model.getMeshTransform(i, world);
    }
    for (std::size_t i = 0; i < model.getBoneCount(); ++i) {
        sink = sink + static_cast<unsigned>(model.getBone(i).parent);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder scratch;
    const std::string path =
        scratch.write("Model.alo", std::string(reinterpret_cast<const char*>(data), size));
    try {
        exercise(path);
    } catch (const Exception&) {
        // Refusing a broken model is the expected answer to most inputs.
    }
    return 0;
}
