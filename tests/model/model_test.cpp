#include "main/badfileexception.h"
#include "managers/megafile.h"
#include "model/alochunks.h"
#include "model/model.h"
#include "support/memoryfile.h"
#include "writers/alowriter.h"
#include "writers/megwriter.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<Model> load(const std::string& bytes, const std::string& name = "ship.alo") {
    RefPtr<MemoryFile> file = makeRef<MemoryFile>(bytes, name);
    return std::make_unique<Model>(*file);
}

void expectBadFile(const std::string& bytes) {
    try {
        load(bytes, "C:\\Mods\\broken.alo");
        ADD_FAILURE() << "loaded";
    } catch (const BadFileException& e) {
        EXPECT_EQ(e.getMessage(), "Bad or corrupted file:\nC:\\Mods\\broken.alo");
    }
}

AloMesh triangle(const std::string& name) {
    AloMesh m;
    m.name = name;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.indices = {0, 1, 2};
    return m;
}

std::array<float, 16> transform(const Model& model, std::size_t mesh) {
    std::array<float, 16> m;
    model.getMeshTransform(mesh, m.data());
    return m;
}

const std::array<float, 16> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

AloBone bone(const std::string& name, std::int32_t parent, std::array<float, 12> rows) {
    AloBone b;
    b.name = name;
    b.parent = parent;
    std::copy(rows.begin(), rows.end(), b.matrix);
    return b;
}

std::array<float, 12> translation(float x, float y, float z) {
    return {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z};
}

} // namespace

TEST(Model, FilesWithoutKnownChunksLoadEmpty) {
    EXPECT_EQ(load("")->getMeshCount(), 0u);
    ChunkWriter w;
    w.data(0x1300, "particle emitter").begin(0x900).data(0x901, "x").end();
    const auto model = load(w.bytes());
    EXPECT_EQ(model->getMeshCount(), 0u);
    EXPECT_EQ(model->getBoneCount(), 0u);
}

TEST(Model, MeshesKeepFileOrderNamesAndBytes) {
    AloWriter w;
    AloMesh hull = triangle("Hull");
    hull.vertices[1].u = 0.25f;
    w.addMesh(hull);
    w.addMesh(triangle(""));
    AloMesh bare;
    bare.name = "NoGeometry";
    bare.hasGeometry = false;
    bare.hasMaterial = false;
    w.addMesh(bare);
    const auto model = load(w.build());
    ASSERT_EQ(model->getMeshCount(), 3u);
    const Mesh& first = model->getMesh(0);
    EXPECT_EQ(first.getName(), "Hull");
    EXPECT_EQ(first.getVertexCount(), 3u);
    EXPECT_EQ(first.getTriangleCount(), 1u);
    EXPECT_EQ(first.getVertexFormat(), "alD3dVertNU2");
    const std::string stored = AloWriter::vertexBytes(hull.vertices);
    ASSERT_EQ(first.getVertexBytes(), stored.size());
    EXPECT_EQ(std::memcmp(first.getVertices(), stored.data(), stored.size()), 0);
    EXPECT_EQ(std::memcmp(first.getIndices(), AloWriter::indexBytes(hull.indices).data(), 6), 0);
    EXPECT_EQ(model->getMesh(1).getName(), "");
    const Mesh& third = model->getMesh(2);
    EXPECT_EQ(third.getVertexCount(), Mesh::kUnread);
    EXPECT_EQ(third.getTriangleCount(), Mesh::kUnread);
    EXPECT_EQ(third.getVertices(), nullptr);
    EXPECT_EQ(third.getMaterial(), nullptr);
    // Without connections every mesh sits at the origin.
    EXPECT_EQ(transform(*model, 0), kIdentity);
}

TEST(Model, WorldMatrixIsTheTransposedProductDownTheBoneChain) {
    AloWriter w;
    w.addBone(bone("Root", -1, translation(10, 0, 0)));
    // A quarter turn about Z, then moved up the Y axis.
    w.addBone(bone("A", 0, {0, -1, 0, 0, 1, 0, 0, 5, 0, 0, 1, 0}));
    w.addBone(bone("B", 1, translation(1, 0, 0)));
    w.addMesh(triangle("Turret"));
    w.addMesh(triangle("Body"));
    w.connect(0, 2);
    w.connect(1, -1);
    const auto model = load(w.build());
    ASSERT_EQ(model->getBoneCount(), 3u);
    // Row vectors: the x axis turns into +y, and the origin lands at (10, 6, 0).
    const std::array<float, 16> expected = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 6, 0, 1};
    EXPECT_EQ(transform(*model, 0), expected);
    EXPECT_EQ(transform(*model, 1), kIdentity);
}

TEST(Model, BoneDataFillsTheMatrixFromItsFirstElementAndEndsInOne) {
    const float sixteen[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const float nine[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ChunkWriter w;
    w.begin(alo::kSkeleton).data(alo::kSkeletonHeader, std::string(4, '\0'));
    for (const auto& data :
         {AloWriter::boneData(-1, sixteen, 0), AloWriter::boneData(-1, sixteen, 12),
          AloWriter::boneData(-1, sixteen, 16) + "extra", AloWriter::boneData(7, nine, 9)}) {
        w.begin(alo::kBone).text(alo::kBoneName, "b").data(alo::kBoneData, data).end();
    }
    w.end();
    const auto model = load(w.bytes());
    ASSERT_EQ(model->getBoneCount(), 4u);
    const std::array<float, 16> onlyOne = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(model->getBone(0).matrix, onlyOne);
    EXPECT_EQ(model->getBone(1).matrix,
              (std::array<float, 16>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 0, 0, 1}));
    EXPECT_EQ(model->getBone(2).matrix,
              (std::array<float, 16>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 1}));
    EXPECT_EQ(model->getBone(3).parent, 7);
    EXPECT_EQ(model->getBone(3).matrix[8], 9.0f);
}

TEST(Model, BonesWithoutNameOrDataAreLeftOutAndLaterBonesMoveUp) {
    ChunkWriter w;
    w.begin(alo::kSkeleton).data(alo::kSkeletonHeader, std::string(4, '\0'));
    const float m[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    w.begin(alo::kBone).data(alo::kBoneData, AloWriter::boneData(-1, m, 12)).end();
    w.begin(alo::kBone).text(alo::kBoneName, "nodata").end();
    const float moved[12] = {1, 0, 0, 3, 0, 1, 0, 0, 0, 0, 1, 0};
    w.begin(alo::kBone)
        .text(alo::kBoneName, "kept")
        .data(alo::kBoneData, AloWriter::boneData(-1, moved, 12))
        .end();
    w.end();
    AloWriter::writeMesh(w, triangle("m"));
    w.begin(alo::kConnections).data(alo::kConnectionCount, AloWriter::connectionCount(1));
    w.data(alo::kConnection, AloWriter::connection(0, 0)).end();
    const auto model = load(w.bytes());
    ASSERT_EQ(model->getBoneCount(), 1u);
    EXPECT_EQ(transform(*model, 0)[12], 3.0f);

    // A bone count chunk shorter than 4 bytes is read on into the chunk after it.
    ChunkWriter shortHeader;
    shortHeader.begin(alo::kSkeleton).data(alo::kSkeletonHeader, "ab");
    shortHeader.begin(alo::kBone)
        .text(alo::kBoneName, "root")
        .data(alo::kBoneData, AloWriter::boneData(-1, moved, 12))
        .end();
    shortHeader.end();
    EXPECT_EQ(load(shortHeader.bytes())->getBoneCount(), 1u);

    ChunkWriter noHeader;
    noHeader.begin(alo::kSkeleton).header(alo::kSkeletonHeader, 2).raw("ab").end();
    try {
        load(noHeader.bytes());
        ADD_FAILURE();
    } catch (const IOException& e) {
        EXPECT_EQ(e.getMessage(), "Unable to read chunk data");
    }
}

TEST(Model, ConnectionsAreCountedAndTheFirstForAMeshWins) {
    auto file = [](std::vector<std::string> chunks) {
        ChunkWriter w;
        AloWriter::writeSkeleton(w,
                                 {bone("a", -1, translation(1, 0, 0)), bone("b", -1, translation(2, 0, 0))});
        AloWriter::writeMesh(w, triangle("m"));
        w.begin(alo::kConnections);
        for (std::size_t i = 0; i < chunks.size(); i += 2) {
            w.data(chunks[i] == "count" ? alo::kConnectionCount : alo::kConnection, chunks[i + 1]);
        }
        w.end();
        return w.bytes();
    };
    const auto model = load(file({"count", AloWriter::connectionCount(1), "c", AloWriter::connection(0, 1),
                                  "c", AloWriter::connection(0, 0)}));
    EXPECT_EQ(transform(*model, 0)[12], 2.0f);

    expectBadFile(file({"count", AloWriter::connectionCount(2), "c", AloWriter::connection(0, 1), "c",
                        AloWriter::connection(0, 0)}));
    expectBadFile(file({"c", AloWriter::connection(0, 1)}));
    expectBadFile(file({"count", AloWriter::connectionCount(1).substr(0, 11)}));
    std::string wrongId = AloWriter::connection(0, 1);
    wrongId[6] = 4;
    expectBadFile(file({"count", AloWriter::connectionCount(1), "c", wrongId}));
    std::string wrongLength = AloWriter::connectionCount(1);
    wrongLength[7] = 8;
    expectBadFile(file({"count", wrongLength}));

    // A second connections chunk is checked against every connection made so far.
    ChunkWriter two;
    AloWriter::writeMesh(two, triangle("m0"));
    AloWriter::writeMesh(two, triangle("m1"));
    two.begin(alo::kConnections).data(alo::kConnectionCount, AloWriter::connectionCount(1));
    two.data(alo::kConnection, AloWriter::connection(0, -1)).end();
    two.begin(alo::kConnections).data(alo::kConnectionCount, AloWriter::connectionCount(2));
    two.data(alo::kConnection, AloWriter::connection(1, -1)).end();
    EXPECT_EQ(load(two.bytes())->getMeshCount(), 2u);
}

TEST(Model, BrokenBoneLinksEndTheChainInsteadOfLooping) {
    AloWriter w;
    w.addBone(bone("loop0", 1, translation(1, 0, 0)));
    w.addBone(bone("loop1", 0, translation(0, 1, 0)));
    w.addBone(bone("self", 2, translation(0, 0, 1)));
    w.addBone(bone("away", 99, translation(5, 0, 0)));
    for (int i = 0; i < 6; ++i) {
        w.addMesh(triangle("m"));
    }
    w.connect(0, 0);
    w.connect(1, 2);
    w.connect(2, 3);
    w.connect(3, 42);
    w.connect(4, -7);
    w.connect(5, 1);
    const auto model = load(w.build());
    EXPECT_EQ(transform(*model, 0)[12], 1.0f);
    EXPECT_EQ(transform(*model, 0)[13], 1.0f);
    EXPECT_EQ(transform(*model, 1)[14], 1.0f);
    EXPECT_EQ(transform(*model, 2)[12], 5.0f);
    EXPECT_EQ(transform(*model, 3), kIdentity);
    EXPECT_EQ(transform(*model, 4), kIdentity);
    EXPECT_EQ(transform(*model, 5)[12], 1.0f);
}

TEST(Model, ErrorsFromAnArchiveEntryNameTheArchive) {
    ChunkWriter w;
    w.begin(alo::kConnections).data(alo::kConnection, AloWriter::connection(0, 0)).end();
    MegWriter meg;
    meg.add("DATA\\ART\\MODELS\\BROKEN.ALO", w.bytes());
    RefPtr<MemoryFile> archiveFile = makeRef<MemoryFile>(meg.build(), "C:\\Game\\Data\\Models.meg");
    const MegaFile archive(archiveFile.get());
    RefPtr<File> entry = archive.find("Data\\Art\\Models\\Broken.alo");
    try {
        Model model(*entry);
        ADD_FAILURE();
    } catch (const BadFileException& e) {
        EXPECT_EQ(e.getMessage(), "Bad or corrupted file:\nC:\\Game\\Data\\Models.meg");
        EXPECT_EQ(e.getFile(), "model/model.cpp");
    }
}

TEST(Model, EveryTruncationOrCorruptionGivesAModelOrAnError) {
    AloWriter w;
    w.addBone(bone("root", -1, translation(1, 2, 3)));
    AloMesh mesh = triangle("Hull");
    mesh.parameters = {AloParameter::floatValue("Shininess", 8),
                       AloParameter::textureName("BaseTexture", "h.tga"),
                       AloParameter::float4Value("Diffuse", 1, 1, 1, 1)};
    w.addMesh(mesh);
    w.connect(0, 0);
    const std::string good = w.build();
    std::size_t loaded = 0;
    std::size_t refused = 0;
    auto attempt = [&](const std::string& bytes) {
        try {
            const auto model = load(bytes);
            for (std::size_t i = 0; i < model->getMeshCount(); ++i) {
                transform(*model, i);
            }
            ++loaded;
        } catch (const Exception&) {
            ++refused;
        }
    };
    for (std::size_t cut = 0; cut <= good.size(); ++cut) {
        attempt(good.substr(0, cut));
    }
    std::uint32_t seed = 12345;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = good;
        for (int flips = 0; flips < 3; ++flips) {
            seed = seed * 1664525u + 1013904223u;
            bytes[(seed >> 8) % bytes.size()] = static_cast<char>(seed >> 24);
        }
        attempt(bytes);
    }
    EXPECT_EQ(loaded + refused, good.size() + 1 + 3000);
    EXPECT_GT(refused, 0u);
}
