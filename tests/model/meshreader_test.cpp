#include "main/badfileexception.h"
#include "model/alochunks.h"
#include "model/model.h"
#include "support/memoryfile.h"
#include "writers/alowriter.h"

#include <gtest/gtest.h>

namespace {

// A model file of one mesh whose geometry chunk holds the given children.
std::string meshWithGeometry(const std::function<void(ChunkWriter&)>& children) {
    ChunkWriter w;
    w.begin(alo::kMesh).text(alo::kMeshName, "m").begin(alo::kGeometry);
    children(w);
    w.end().end();
    return w.bytes();
}

// A model file of one mesh whose material chunk holds the given children.
std::string meshWithMaterial(const std::function<void(ChunkWriter&)>& children) {
    ChunkWriter w;
    w.begin(alo::kMesh).begin(alo::kMaterial);
    children(w);
    w.end().end();
    return w.bytes();
}

std::unique_ptr<Model> load(const std::string& bytes) {
    RefPtr<MemoryFile> file = makeRef<MemoryFile>(bytes, "m.alo");
    return std::make_unique<Model>(*file);
}

bool refused(const std::string& bytes) {
    try {
        load(bytes);
    } catch (const BadFileException& e) {
        EXPECT_EQ(e.getMessage(), "Bad or corrupted file:\nm.alo");
        return true;
    }
    return false;
}

std::string vertices(std::size_t bytes) {
    return std::string(bytes, '\x11');
}

} // namespace

TEST(Geometry, ArraysMustHoldWhatTheCountsDeclare) {
    auto geometry = [](std::uint32_t vertexCount, std::uint32_t triangles, std::size_t vertexBytes,
                       std::size_t indexBytes) {
        return meshWithGeometry([=](ChunkWriter& w) {
            w.data(alo::kGeometryCounts, AloWriter::counts(vertexCount, triangles));
            w.data(alo::kVertices, vertices(vertexBytes)).data(alo::kIndices, std::string(indexBytes, '\0'));
        });
    };
    // 1,000 bytes hold six whole 144-byte records; the rest is kept but not counted.
    const auto six = load(geometry(6, 1, 1000, 6));
    EXPECT_EQ(six->getMesh(0).getVertexBytes(), 1000u);
    EXPECT_TRUE(refused(geometry(7, 1, 1000, 6)));
    // An odd last byte is no index.
    EXPECT_TRUE(refused(geometry(3, 1, 432, 5)));
    EXPECT_FALSE(refused(geometry(3, 1, 432, 7)));
    // Three indices per triangle, not wrapped at 32 bits: 3 x 0x55555556 is 2 modulo 2^32.
    EXPECT_TRUE(refused(geometry(0, 0x55555556u, 0, 4)));
}

TEST(Geometry, MissingChunksAreCheckedAgainstWhatWasDeclared) {
    const auto empty =
        load(meshWithGeometry([](ChunkWriter& w) { w.data(alo::kGeometryCounts, AloWriter::counts(0, 0)); }));
    EXPECT_EQ(empty->getMesh(0).getVertexCount(), 0u);
    EXPECT_EQ(empty->getMesh(0).getVertices(), nullptr);
    EXPECT_EQ(empty->getMesh(0).getIndices(), nullptr);
    EXPECT_TRUE(refused(meshWithGeometry([](ChunkWriter& w) {
        w.data(alo::kGeometryCounts, AloWriter::counts(3, 1)).data(alo::kIndices, std::string(6, '\0'));
    })));
    // Without counts the all-ones defaults are what the arrays are held against.
    EXPECT_TRUE(refused(meshWithGeometry([](ChunkWriter& w) { w.data(alo::kVertices, vertices(144)); })));
    try {
        load(meshWithGeometry([](ChunkWriter& w) { w.data(alo::kGeometryCounts, std::string(7, '\0')); }));
        ADD_FAILURE();
    } catch (const IOException& e) {
        EXPECT_EQ(e.getMessage(), "Unable to read chunk data");
    }
}

TEST(Geometry, LaterChunksReplaceEarlierOnes) {
    const auto model = load(meshWithGeometry([](ChunkWriter& w) {
        w.data(alo::kGeometryCounts, AloWriter::counts(9, 9)).text(alo::kVertexFormat, "first");
        w.data(alo::kVertices, vertices(144)).data(alo::kVertices, vertices(288));
        w.data(alo::kGeometryCounts, AloWriter::counts(2, 0)).text(alo::kVertexFormat, "second");
    }));
    const Mesh& mesh = model->getMesh(0);
    EXPECT_EQ(mesh.getVertexCount(), 2u);
    EXPECT_EQ(mesh.getTriangleCount(), 0u);
    EXPECT_EQ(mesh.getVertexBytes(), 288u);
    EXPECT_EQ(mesh.getVertexFormat(), "second");
}

TEST(Material, ChildrenAreToldApartByTheLowByteOfTheirIds) {
    const auto model = load(meshWithMaterial([](ChunkWriter& w) {
        w.text(0x10101, "MeshGloss.fx");
        w.data(0x10102, "ignored");
        w.data(0x10103, AloWriter::parameterData(AloParameter::floatValue("Shininess", 16)));
        w.data(0xABCD03, AloWriter::parameterData(AloParameter::floatValue("Other", -0.5f)));
        w.data(0x10105, AloWriter::parameterData(AloParameter::textureName("BaseTexture", "Hull.tga")));
        w.data(0x10106, AloWriter::parameterData(AloParameter::float4Value("Diffuse", 1, 0.5f, 0.25f, 1)));
        w.data(0x10104, "ignored");
    }));
    const Material* material = model->getMesh(0).getMaterial();
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(material->effectName, "MeshGloss.fx");
    ASSERT_EQ(material->parameters.size(), 4u);
    EXPECT_EQ(material->parameters[0].name, "Shininess");
    EXPECT_EQ(material->parameters[0].type, EffectParameter::kFloat);
    EXPECT_EQ(material->parameters[0].floatValue, 16.0f);
    EXPECT_EQ(material->parameters[1].floatValue, -0.5f);
    EXPECT_EQ(material->parameters[2].type, EffectParameter::kTexture);
    EXPECT_EQ(material->parameters[2].textureName, "Hull.tga");
    EXPECT_EQ(material->parameters[3].type, EffectParameter::kFloat4);
    EXPECT_EQ(material->parameters[3].float4Value[2], 0.25f);
}

TEST(Material, SecondMaterialChunkAppendsAndMayRenameTheEffect) {
    ChunkWriter w;
    w.begin(alo::kMesh);
    w.begin(alo::kMaterial).text(0x10101, "A.fx");
    w.data(0x10103, AloWriter::parameterData(AloParameter::floatValue("One", 1))).end();
    w.begin(alo::kMaterial).data(0x10103, AloWriter::parameterData(AloParameter::floatValue("Two", 2))).end();
    w.end();
    const auto model = load(w.bytes());
    const Material* material = model->getMesh(0).getMaterial();
    EXPECT_EQ(material->effectName, "A.fx");
    ASSERT_EQ(material->parameters.size(), 2u);
    EXPECT_EQ(material->parameters[1].name, "Two");
}

TEST(Material, ValueLengthsAreCheckedForNumbersOnlyAndNothingIsReadPastTheData) {
    const std::string floatData = AloWriter::parameterData(AloParameter::floatValue("Shininess", 16));
    std::string eightBytes = floatData + "pad4";
    eightBytes[2 + 10 + 1] = 8;
    EXPECT_TRUE(refused(meshWithMaterial([&](ChunkWriter& w) { w.data(0x10103, eightBytes); })));
    std::string wrongFloat4 = AloWriter::parameterData(AloParameter::float4Value("Diffuse", 1, 1, 1, 1));
    wrongFloat4[2 + 8 + 1] = 12;
    EXPECT_TRUE(refused(meshWithMaterial([&](ChunkWriter& w) { w.data(0x10106, wrongFloat4); })));

    // A texture's length byte is not looked at.
    std::string texture = AloWriter::parameterData(AloParameter::textureName("BaseTexture", "Hull.tga"));
    texture[2 + 12 + 1] = 99;
    const auto model = load(meshWithMaterial([&](ChunkWriter& w) { w.data(0x10105, texture); }));
    EXPECT_EQ(model->getMesh(0).getMaterial()->parameters[0].textureName, "Hull.tga");

    // Texts without a terminator end with the data; numbers that would lie past it are refused.
    const std::string unterminated = texture.substr(0, texture.size() - 1);
    const auto cut = load(meshWithMaterial([&](ChunkWriter& w) { w.data(0x10105, unterminated); }));
    EXPECT_EQ(cut->getMesh(0).getMaterial()->parameters[0].textureName, "Hull.tga");
    EXPECT_TRUE(refused(meshWithMaterial(
        [&](ChunkWriter& w) { w.data(0x10103, floatData.substr(0, floatData.size() - 1)); })));
    EXPECT_TRUE(refused(meshWithMaterial([&](ChunkWriter& w) { w.data(0x10103, floatData.substr(0, 1)); })));
    std::string longName = floatData;
    longName[1] = static_cast<char>(0x80);
    EXPECT_TRUE(refused(meshWithMaterial([&](ChunkWriter& w) { w.data(0x10103, longName); })));
}
