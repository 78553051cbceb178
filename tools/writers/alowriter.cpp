#include "writers/alowriter.h"

#include "model/alochunks.h"
#include "writers/bytewriter.h"

AloParameter AloParameter::floatValue(const std::string& name, float value) {
    AloParameter p;
    p.kind = Kind::Float;
    p.name = name;
    p.values[0] = value;
    return p;
}

AloParameter AloParameter::float4Value(const std::string& name, float x, float y, float z, float w) {
    AloParameter p;
    p.kind = Kind::Float4;
    p.name = name;
    p.values[0] = x;
    p.values[1] = y;
    p.values[2] = z;
    p.values[3] = w;
    return p;
}

AloParameter AloParameter::textureName(const std::string& name, const std::string& texture) {
    AloParameter p;
    p.kind = Kind::Texture;
    p.name = name;
    p.texture = texture;
    return p;
}

std::string AloWriter::build() const {
    ChunkWriter out;
    if (!m_bones.empty()) {
        writeSkeleton(out, m_bones);
    }
    for (const AloMesh& mesh : m_meshes) {
        writeMesh(out, mesh);
    }
    if (!m_connections.empty()) {
        out.begin(alo::kConnections);
        out.data(alo::kConnectionCount, connectionCount(static_cast<std::uint32_t>(m_connections.size())));
        for (const Connection& c : m_connections) {
            out.data(alo::kConnection, connection(c.mesh, c.bone));
        }
        out.end();
    }
    return out.bytes();
}

void AloWriter::writeSkeleton(ChunkWriter& out, const std::vector<AloBone>& bones) {
    ByteWriter header;
    header.u32(static_cast<std::uint32_t>(bones.size()));
    out.begin(alo::kSkeleton, true).data(alo::kSkeletonHeader, header.data());
    for (const AloBone& bone : bones) {
        out.begin(alo::kBone, true);
        out.text(alo::kBoneName, bone.name);
        out.data(alo::kBoneData, boneData(bone.parent, bone.matrix, 12));
        out.end();
    }
    out.end();
}

void AloWriter::writeMesh(ChunkWriter& out, const AloMesh& mesh) {
    out.begin(alo::kMesh, true).text(alo::kMeshName, mesh.name);
    if (mesh.hasGeometry) {
        writeGeometry(out, mesh);
    }
    if (mesh.hasMaterial) {
        writeMaterial(out, mesh);
    }
    out.end();
}

void AloWriter::writeGeometry(ChunkWriter& out, const AloMesh& mesh) {
    out.begin(alo::kGeometry, true);
    out.data(alo::kGeometryCounts, counts(static_cast<std::uint32_t>(mesh.vertices.size()),
                                          static_cast<std::uint32_t>(mesh.indices.size() / 3)));
    out.text(alo::kVertexFormat, mesh.vertexFormat);
    out.data(alo::kVertices, vertexBytes(mesh.vertices));
    out.data(alo::kIndices, indexBytes(mesh.indices));
    out.end();
}

void AloWriter::writeMaterial(ChunkWriter& out, const AloMesh& mesh) {
    // The game's exporter numbers material children 0x10101 upwards; only the low byte counts.
    out.begin(alo::kMaterial, true).text(alo::kMaterial | alo::kEffectName, mesh.effect);
    for (const AloParameter& p : mesh.parameters) {
        std::uint32_t kind = alo::kFloatParameter;
        if (p.kind == AloParameter::Kind::Texture) {
            kind = alo::kTextureParameter;
        } else if (p.kind == AloParameter::Kind::Float4) {
            kind = alo::kFloat4Parameter;
        }
        out.data(alo::kMaterial | kind, parameterData(p));
    }
    out.end();
}

std::string AloWriter::counts(std::uint32_t vertices, std::uint32_t triangles) {
    ByteWriter w;
    w.u32(vertices).u32(triangles);
    // The exporter writes more than the two counts; readers take the first eight bytes.
    w.bytes(std::string(120, '\0'));
    return w.data();
}

std::string AloWriter::vertexBytes(const std::vector<AloVertex>& vertices) {
    ByteWriter w;
    for (const AloVertex& v : vertices) {
        w.f32(v.x).f32(v.y).f32(v.z).f32(v.nx).f32(v.ny).f32(v.nz).f32(v.u).f32(v.v);
        w.bytes(std::string(alo::kVertexSize - 32, '\0'));
    }
    return w.data();
}

std::string AloWriter::indexBytes(const std::vector<std::uint16_t>& indices) {
    ByteWriter w;
    for (const std::uint16_t i : indices) {
        w.u16(i);
    }
    return w.data();
}

std::string AloWriter::boneData(std::int32_t parent, const float* matrix, std::size_t floats) {
    ByteWriter w;
    w.i32(parent).u32(0).u32(0);
    for (std::size_t i = 0; i < floats; ++i) {
        w.f32(matrix[i]);
    }
    return w.data();
}

std::string AloWriter::parameterData(const AloParameter& p) {
    const std::string name = p.name + std::string(1, '\0');
    ByteWriter value;
    switch (p.kind) {
    case AloParameter::Kind::Float:
        value.f32(p.values[0]);
        break;
    case AloParameter::Kind::Float4:
        value.f32(p.values[0]).f32(p.values[1]).f32(p.values[2]).f32(p.values[3]);
        break;
    case AloParameter::Kind::Texture:
        value.cstring(p.texture);
        break;
    }
    return ChunkWriter::mini(1, name) + ChunkWriter::mini(2, value.data());
}

std::string AloWriter::connectionCount(std::uint32_t count) {
    ByteWriter c;
    c.u32(count);
    ByteWriter second;
    second.u32(0);
    return ChunkWriter::mini(alo::kMiniConnectionCount, c.data()) +
           ChunkWriter::mini(alo::kMiniSecondValue, second.data());
}

std::string AloWriter::connection(std::uint32_t mesh, std::int32_t bone) {
    ByteWriter m;
    m.u32(mesh);
    ByteWriter b;
    b.i32(bone);
    return ChunkWriter::mini(alo::kMiniMeshIndex, m.data()) +
           ChunkWriter::mini(alo::kMiniBoneIndex, b.data());
}
