#include "main/badfileexception.h"
#include "model/alochunks.h"
#include "model/model.h"
#include "support/memoryfile.h"
#include "writers/alowriter.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

using Matrix = std::array<float, 16>;
using Chunks = std::vector<std::pair<std::uint32_t, std::string>>;

std::unique_ptr<Model> load(const std::string& bytes) {
    RefPtr<MemoryFile> file = makeRef<MemoryFile>(bytes, "C:\\Mods\\ship.alo");
    return std::make_unique<Model>(*file);
}

AloMesh triangle(const std::string& name) {
    AloMesh m;
    m.name = name;
    m.vertices = {{0, 0, 0}, {1, 0.5f, 0}, {0, 1, 0}};
    m.indices = {0, 1, 2};
    return m;
}

Matrix transform(const Model& model, std::size_t mesh) {
    Matrix m;
    model.getMeshTransform(mesh, m.data());
    return m;
}

std::string bone(std::int32_t parent, std::vector<float> matrix) {
    return AloWriter::boneData(parent, matrix.data(), matrix.size());
}

// A bone moved by (x, y, z).
std::string moved(std::int32_t parent, float x, float y = 0, float z = 0) {
    return bone(parent, {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z});
}

std::pair<std::uint32_t, std::string> counted(std::uint32_t count) {
    return {alo::kConnectionCount, AloWriter::connectionCount(count)};
}

std::pair<std::uint32_t, std::string> link(std::uint32_t mesh, std::int32_t bone) {
    return {alo::kConnection, AloWriter::connection(mesh, bone)};
}

// A skeleton of a count chunk and one named bone of each data, a mesh, and connections of the given
// children: by default one attaching the mesh to bone 0.
std::string withBones(const std::vector<std::string>& bones, Chunks connections = {counted(1), link(0, 0)},
                      const std::string& count = "0000") {
    ChunkWriter w;
    w.begin(alo::kSkeleton).data(alo::kSkeletonHeader, count);
    for (const std::string& data : bones) {
        w.begin(alo::kBone).text(alo::kBoneName, "b").data(alo::kBoneData, data).end();
    }
    w.end();
    AloWriter::writeMesh(w, triangle("m"));
    w.begin(alo::kConnections);
    for (const auto& [id, data] : connections) {
        w.data(id, data);
    }
    w.end();
    return w.bytes();
}

std::array<float, 3> origin(const std::string& bytes) {
    const Matrix m = transform(*load(bytes), 0);
    return {m[12], m[13], m[14]};
}

} // namespace

TEST(Model, MeshesKeepFileOrderNamesAndBytesAndUnknownChunksAreSkipped) {
    AloWriter w;
    w.addMesh(triangle("Hull"));
    w.addMesh(triangle(""));
    AloMesh bare;
    bare.hasGeometry = bare.hasMaterial = false;
    w.addMesh(bare);
    ChunkWriter unknown;
    unknown.data(0x1300, "particle emitter").begin(0x900).data(alo::kMesh, "x").end();
    const auto loaded = load(unknown.bytes() + w.build());
    ASSERT_EQ(loaded->getMeshCount(), 3u);
    EXPECT_EQ(loaded->getBoneCount(), 0u);
    const Mesh& first = loaded->getMesh(0);
    EXPECT_EQ(first.getName(), "Hull");
    EXPECT_EQ(first.getVertexCount(), 3u);
    EXPECT_EQ(first.getTriangleCount(), 1u);
    EXPECT_EQ(first.getVertexFormat(), "alD3dVertNU2");
    const std::string stored = AloWriter::vertexBytes(triangle("").vertices);
    ASSERT_EQ(first.getVertexBytes(), stored.size());
    EXPECT_EQ(std::memcmp(first.getVertices(), stored.data(), stored.size()), 0);
    EXPECT_EQ(std::memcmp(first.getIndices(), AloWriter::indexBytes({0, 1, 2}).data(), 6), 0);
    EXPECT_EQ(loaded->getMesh(1).getName(), "");
    EXPECT_EQ(loaded->getMesh(2).getVertexCount(), Mesh::kUnread);
    EXPECT_EQ(loaded->getMesh(2).getVertices(), nullptr);
    EXPECT_EQ(loaded->getMesh(2).getMaterial(), nullptr);
    // Without connections every mesh sits at the origin.
    EXPECT_EQ(transform(*loaded, 0), (Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
}

TEST(Model, WorldMatrixIsTheTransposedProductDownTheBoneChain) {
    // Moved along X, under a quarter turn about Z moved up Y, under a move along X: in row vectors
    // the x axis turns into +y, and the origin lands at (10, 6, 0).
    const auto turned =
        load(withBones({moved(1, 1), bone(2, {0, -1, 0, 0, 1, 0, 0, 5, 0, 0, 1, 0}), moved(-1, 10)}));
    EXPECT_EQ(transform(*turned, 0), (Matrix{0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 6, 0, 1}));
    // Full matrices, fourth rows included, multiply as 4 x 4, each with its last element set to 1.
    const auto full = load(withBones({bone(1, {2, 0, 1, 0, 0, 3, 0, 1, 1, 0, 2, 0, 4, 5, 6, 7}),
                                      bone(-1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16})}));
    EXPECT_EQ(transform(*full, 0), (Matrix{21, 49, 77, 45, 26, 58, 90, 47, 31, 67, 103, 49, 6, 14, 22, 15}));
    // Data fills the matrix from its first element; what is missing is 0 and what is more is left out.
    const std::vector<float> all = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const auto partial =
        load(withBones({bone(7, all) + "extra", bone(-1, {1, 2, 3, 4, 5, 6, 7, 8, 9}), bone(-1, {})}));
    EXPECT_EQ(partial->getBone(0).matrix, (Matrix{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 1}));
    EXPECT_EQ(partial->getBone(0).parent, 7);
    EXPECT_EQ(partial->getBone(1).matrix, (Matrix{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(partial->getBone(2).matrix, (Matrix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(Model, BonesWithoutNameOrDataAreLeftOutAndAShortCountChunkBorrowsTheNextOnesBytes) {
    ChunkWriter w;
    w.begin(alo::kSkeleton).data(alo::kSkeletonHeader, "0000");
    w.begin(alo::kBone).data(alo::kBoneData, moved(-1, 1)).end();
    w.begin(alo::kBone).text(alo::kBoneName, "nodata").end();
    w.end();
    const auto loaded = load(w.bytes() + withBones({moved(-1, 3)}));
    EXPECT_EQ(loaded->getBoneCount(), 1u);
    EXPECT_EQ(transform(*loaded, 0)[12], 3.0f);
    EXPECT_EQ(origin(withBones({moved(-1, 3)}, {counted(1), link(0, 0)}, "ab")),
              (std::array<float, 3>{3, 0, 0}));
    ChunkWriter noCount;
    noCount.begin(alo::kSkeleton).header(alo::kSkeletonHeader, 2).raw("ab").end();
    EXPECT_THROW(load(noCount.bytes()), IOException);
}

TEST(Model, ConnectionsAreCountedTheFirstForAMeshWinsAndBrokenBoneLinksEndTheChain) {
    const std::vector<std::string> two = {moved(-1, 1), moved(-1, 2)};
    EXPECT_EQ(origin(withBones(two, {counted(1), link(0, 1), link(0, 0)})), (std::array<float, 3>{2, 0, 0}));
    auto wrongId = link(0, 1), wrongLength = counted(1), shortCount = counted(1);
    wrongId.second[6] = 4;
    wrongLength.second[7] = 8;
    shortCount.second.pop_back();
    for (const Chunks& refused : std::vector<Chunks>{{counted(2), link(0, 1), link(0, 0)},
                                                     {link(0, 1)},
                                                     {shortCount},
                                                     {counted(1), wrongId},
                                                     {wrongLength}}) {
        EXPECT_THROW(load(withBones(two, refused)), BadFileException);
    }
    // A second connections chunk is checked against every connection made so far.
    const std::string second = withBones({}, {counted(2), link(1, -1)}).substr(20); // without its skeleton
    EXPECT_EQ(load(withBones(two, {counted(1), link(0, -1)}) + second)->getMeshCount(), 2u);

    // Loops, links to themselves and links out of the list end the chain before it would repeat.
    const std::vector<std::string> broken = {moved(1, 1), moved(0, 0, 1), moved(2, 0, 0, 1), moved(99, 5)};
    const std::pair<std::int32_t, std::array<float, 3>> chains[] = {
        {0, {1, 1, 0}}, {2, {0, 0, 1}}, {3, {5, 0, 0}}, {42, {0, 0, 0}}, {-7, {0, 0, 0}}};
    for (const auto& [start, expected] : chains) {
        EXPECT_EQ(origin(withBones(broken, {counted(1), link(0, start)})), expected) << start;
    }
}
