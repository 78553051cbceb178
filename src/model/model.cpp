#include "model/model.h"

#include "main/badfileexception.h"
#include "main/ioexception.h"
#include "managers/loadedfile.h"
#include "model/alochunks.h"
#include "model/chunkreader.h"
#include "model/meshreader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kBoneHeader = 12;
constexpr std::size_t kMatrixBytes = 64;
constexpr std::size_t kMiniChunkData = 12;

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

using Matrix = std::array<float, 16>;

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += a[4 * i + k] * b[4 * k + j];
            }
            r[4 * i + j] = sum;
        }
    }
    return r;
}

// The two mini-chunks of a connection record, each 4 bytes long:
//
//   offset  size  field
//   0       1     first id
//   1       1     4
//   2       4     first value, little-endian
//   6       1     second id
//   7       1     4
//   8       4     second value, little-endian
//   12      ...   ignored
bool hasMiniChunks(const std::vector<unsigned char>& data, std::uint8_t first, std::uint8_t second) {
    return data.size() >= kMiniChunkData && data[0] == first && data[1] == 4 && data[6] == second &&
           data[7] == 4;
}

} // namespace

// Top level of a model file: skeleton (0x0200), meshes (0x0400) and connections (0x0600), in
// any order and number; every other chunk is skipped at every level.
Model::Model(File& source) {
    // Walking a model takes two small reads per chunk; from memory they cost no system calls.
    RefPtr<File> loaded = makeRef<LoadedFile>(source);
    File& file = *loaded;
    ChunkReader::walk(file, [&](ChunkReader& chunk) {
        switch (chunk.getId()) {
        case alo::kSkeleton:
            readSkeleton(chunk.getDataFile());
            break;
        case alo::kMesh:
            m_meshes.push_back(MeshReader::readMesh(chunk.getDataFile()));
            break;
        case alo::kConnections:
            readConnections(chunk.getDataFile());
            break;
        default:
            break;
        }
    });
}

Model::~Model() = default;

void Model::readSkeleton(File& skeleton) {
    ChunkReader::walk(skeleton, [&](ChunkReader& chunk) {
        if (chunk.getId() == alo::kSkeletonHeader) {
            // The bone count stored here is not needed: bones are counted as they are read. It is
            // read from the skeleton at this chunk's data, so a shorter chunk borrows the bytes of
            // the chunk after it; only the skeleton's end makes the read fail.
            unsigned char count[4];
            if (skeleton.read(count, 4) != 4) {
                throw IOException(__FILE__, __LINE__, "Unable to read chunk data");
            }
        } else if (chunk.getId() == alo::kBone) {
            readBone(chunk.getDataFile());
        }
    });
}

// Bone data (0x0206):
//
//   offset  size        field
//   0       4           parent index, signed; -1 for none
//   4       8           not used
//   12      size - 12   matrix elements, floats, row-major from the first element; at most 16
//
// The last element is always 1. A bone lacking a name or data chunk is left out.
void Model::readBone(File& boneFile) {
    bool nameSeen = false;
    bool dataSeen = false;
    Bone bone;
    ChunkReader::walk(boneFile, [&](ChunkReader& chunk) {
        if (chunk.getId() == alo::kBoneName) {
            chunk.readData();
            nameSeen = true;
        } else if (chunk.getId() == alo::kBoneData) {
            const std::vector<unsigned char> data = chunk.readData();
            if (data.size() < kBoneHeader) {
                throw BadFileException(__FILE__, __LINE__, boneFile.getName());
            }
            bone.parent = static_cast<std::int32_t>(le32(data.data()));
            unsigned char matrix[kMatrixBytes] = {};
            std::memcpy(matrix, data.data() + kBoneHeader, std::min(data.size() - kBoneHeader, kMatrixBytes));
            for (std::size_t i = 0; i < 16; ++i) {
                const std::uint32_t bits = le32(matrix + 4 * i);
                std::memcpy(&bone.matrix[i], &bits, sizeof bits);
            }
            bone.matrix[15] = 1.0f;
            dataSeen = true;
        }
    });
    if (nameSeen && dataSeen) {
        m_bones.push_back(bone);
    }
}

void Model::readConnections(File& connections) {
    std::uint32_t count = 0;
    ChunkReader::walk(connections, [&](ChunkReader& chunk) {
        if (chunk.getId() == alo::kConnectionCount) {
            const std::vector<unsigned char> data = chunk.readData();
            if (!hasMiniChunks(data, alo::kMiniConnectionCount, alo::kMiniSecondValue)) {
                throw BadFileException(__FILE__, __LINE__, connections.getName());
            }
            count = le32(&data[2]);
        } else if (chunk.getId() == alo::kConnection) {
            const std::vector<unsigned char> data = chunk.readData();
            if (!hasMiniChunks(data, alo::kMiniMeshIndex, alo::kMiniBoneIndex)) {
                throw BadFileException(__FILE__, __LINE__, connections.getName());
            }
            // The first connection of a mesh wins.
            m_connections.emplace(le32(&data[2]), static_cast<std::int32_t>(le32(&data[8])));
        }
    });
    if (count != m_connections.size()) {
        throw BadFileException(__FILE__, __LINE__, connections.getName());
    }
}

void Model::getMeshTransform(std::size_t mesh, float out[16]) const {
    Matrix m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    const auto connection = m_connections.find(static_cast<std::uint32_t>(mesh));
    std::int32_t b = connection == m_connections.end() ? -1 : connection->second;
    // Bone indices are not checked at load. The chain ends at an index outside the bone list
    // and before a bone it has already passed, so broken parent links still give a matrix.
    std::vector<bool> visited(m_bones.size(), false);
    while (b >= 0 && static_cast<std::size_t>(b) < m_bones.size() && !visited[static_cast<std::size_t>(b)]) {
        visited[static_cast<std::size_t>(b)] = true;
        const Bone& bone = m_bones[static_cast<std::size_t>(b)];
        m = multiply(bone.matrix, m);
        b = bone.parent;
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            out[4 * i + j] = m[4 * j + i];
        }
    }
}
