#pragma once

#include "writers/chunkwriter.h"

#include <cstdint>
#include <string>
#include <vector>

// A vertex as model files store it: 144 bytes holding position, normal and the first texture
// coordinate at their places; the other bytes are zero.
struct AloVertex {
    float x = 0, y = 0, z = 0;
    float nx = 0, ny = 0, nz = 1;
    float u = 0, v = 0;
};

// One material parameter: a float, a float4 or a texture name.
struct AloParameter {
    enum class Kind { Float, Texture, Float4 };
    Kind kind = Kind::Float;
    std::string name;
    float values[4] = {0, 0, 0, 0};
    std::string texture;

    static AloParameter floatValue(const std::string& name, float value);
    static AloParameter float4Value(const std::string& name, float x, float y, float z, float w);
    static AloParameter textureName(const std::string& name, const std::string& texture);
};

struct AloMesh {
    std::string name;
    std::string vertexFormat = "alD3dVertNU2";
    std::vector<AloVertex> vertices;
    std::vector<std::uint16_t> indices; // three per triangle
    bool hasGeometry = true;
    bool hasMaterial = true;
    std::string effect = "MeshGloss.fx";
    std::vector<AloParameter> parameters;
};

struct AloBone {
    std::string name;
    std::int32_t parent = -1;
    // Three rows of four, the translation in the fourth column.
    float matrix[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
};

// Writes .ALO model files: a skeleton, meshes with geometry and material, and the connections
// that attach meshes to bones.
class AloWriter {
public:
    void addBone(const AloBone& bone) { m_bones.push_back(bone); }
    void addMesh(const AloMesh& mesh) { m_meshes.push_back(mesh); }
    void connect(std::uint32_t mesh, std::int32_t bone) { m_connections.push_back({mesh, bone}); }

    // The whole file: skeleton, meshes, connections.
    std::string build() const;

    // The pieces, for tests that assemble files of their own.
    static void writeSkeleton(ChunkWriter& out, const std::vector<AloBone>& bones);
    static void writeMesh(ChunkWriter& out, const AloMesh& mesh);
    static void writeGeometry(ChunkWriter& out, const AloMesh& mesh);
    static void writeMaterial(ChunkWriter& out, const AloMesh& mesh);
    static std::string counts(std::uint32_t vertices, std::uint32_t triangles);
    static std::string vertexBytes(const std::vector<AloVertex>& vertices);
    static std::string indexBytes(const std::vector<std::uint16_t>& indices);
    static std::string boneData(std::int32_t parent, const float* matrix, std::size_t floats);
    static std::string parameterData(const AloParameter& parameter);
    static std::string connectionCount(std::uint32_t count);
    static std::string connection(std::uint32_t mesh, std::int32_t bone);

private:
    struct Connection {
        std::uint32_t mesh;
        std::int32_t bone;
    };
    std::vector<AloBone> m_bones;
    std::vector<AloMesh> m_meshes;
    std::vector<Connection> m_connections;
};
