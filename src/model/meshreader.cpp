#include "model/meshreader.h"

#include "main/badfileexception.h"
#include "main/ioexception.h"
#include "model/alochunks.h"
#include "model/chunkreader.h"

#include <cstring>

namespace {

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

float leFloat(const unsigned char* p) {
    const std::uint32_t bits = le32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string textAt(const std::vector<unsigned char>& data, std::size_t offset) {
    return ChunkReader::textOf(
        std::vector<unsigned char>(data.begin() + static_cast<std::ptrdiff_t>(offset), data.end()));
}

// Material parameter data, mini-chunk framed (n = name length, terminator included):
//
//   offset  size  field
//   0       1     mini-chunk id (not checked)
//   1       1     n, read as a signed byte
//   2       n     parameter name, zero-terminated
//   n + 2   1     mini-chunk id (not checked)
//   n + 3   1     value length: 4 for a float, 16 for a float4, not checked for a texture
//   n + 4   ...   one float, four floats, or a zero-terminated texture name
//
// The lengths are not compared with the data by the format itself. Here a text ends at the end of
// the data when its terminator is missing; a name length that is negative, or a value that does
// not lie wholly inside the data, rejects the file.
EffectParameter readParameter(const std::vector<unsigned char>& data, std::uint32_t kind,
                              const std::string& file) {
    if (data.size() < 2 || static_cast<std::int8_t>(data[1]) < 0) {
        throw BadFileException(__FILE__, __LINE__, file);
    }
    const std::size_t n = data[1];
    EffectParameter p;
    p.name = textAt(data, 2);
    const std::size_t value = n + 4;
    if (kind == alo::kTextureParameter) {
        if (value > data.size()) {
            throw BadFileException(__FILE__, __LINE__, file);
        }
        p.type = EffectParameter::kTexture;
        p.textureName = textAt(data, value);
        return p;
    }
    const std::size_t length = kind == alo::kFloatParameter ? 4 : 16;
    if (value + length > data.size() || data[n + 3] != length) {
        throw BadFileException(__FILE__, __LINE__, file);
    }
    if (kind == alo::kFloatParameter) {
        p.type = EffectParameter::kFloat;
        p.floatValue = leFloat(&data[value]);
    } else {
        p.type = EffectParameter::kFloat4;
        for (std::size_t i = 0; i < 4; ++i) {
            p.float4Value[i] = leFloat(&data[value + 4 * i]);
        }
    }
    return p;
}

} // namespace

std::unique_ptr<Mesh> MeshReader::readMesh(File& container) {
    auto mesh = std::make_unique<Mesh>();
    ChunkReader::walk(container, [&](ChunkReader& chunk) {
        switch (chunk.getId()) {
        case alo::kMeshName:
            mesh->m_name = ChunkReader::textOf(chunk.readData());
            break;
        case alo::kGeometry:
            readGeometry(*mesh, chunk.getDataFile());
            break;
        case alo::kMaterial:
            readMaterial(mesh->m_material, chunk.getDataFile());
            mesh->m_hasMaterial = true;
            break;
        default:
            break;
        }
    });
    return mesh;
}

void MeshReader::readGeometry(Mesh& mesh, File& geometry) {
    std::uint64_t verticesRead = 0;
    std::uint64_t indicesRead = 0;
    ChunkReader::walk(geometry, [&](ChunkReader& chunk) {
        switch (chunk.getId()) {
        case alo::kGeometryCounts: {
            unsigned char counts[8];
            if (chunk.getDataFile().read(counts, 4) != 4 || chunk.getDataFile().read(counts + 4, 4) != 4) {
                throw IOException(__FILE__, __LINE__, "Unable to read chunk data");
            }
            mesh.m_vertexCount = le32(counts);
            mesh.m_triangleCount = le32(counts + 4);
            break;
        }
        case alo::kVertexFormat:
            mesh.m_vertexFormat = ChunkReader::textOf(chunk.readData());
            break;
        case alo::kIndices:
            mesh.m_indices = chunk.readData();
            mesh.m_hasIndices = true;
            indicesRead = mesh.m_indices.size() / 2;
            break;
        case alo::kVertices:
            mesh.m_vertices = chunk.readData();
            mesh.m_hasVertices = true;
            verticesRead = mesh.m_vertices.size() / alo::kVertexSize;
            break;
        default:
            break;
        }
    });
    // Three indices per triangle, counted in 64 bits: a 32-bit product would wrap for huge
    // declared counts and let a short index array pass.
    if (verticesRead < mesh.m_vertexCount || indicesRead < 3 * std::uint64_t{mesh.m_triangleCount}) {
        throw BadFileException(__FILE__, __LINE__, geometry.getName());
    }
}

void MeshReader::readMaterial(Material& material, File& chunk) {
    ChunkReader::walk(chunk, [&](ChunkReader& child) {
        const std::uint32_t kind = child.getId() & alo::kMaterialKindMask;
        switch (kind) {
        case alo::kEffectName:
            material.effectName = ChunkReader::textOf(child.readData());
            break;
        case alo::kFloatParameter:
        case alo::kTextureParameter:
        case alo::kFloat4Parameter:
            material.parameters.push_back(readParameter(child.readData(), kind, chunk.getName()));
            break;
        default:
            break;
        }
    });
}
