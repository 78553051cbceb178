#include "main/badfileexception.h"
#include "model/alochunks.h"
#include "model/model.h"
#include "support/memoryfile.h"
#include "writers/alowriter.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// A model file of one mesh whose chunk of that id holds the given children.
std::string meshWith(std::uint32_t id, const std::function<void(ChunkWriter&)>& children) {
    ChunkWriter w;
    w.begin(alo::kMesh).text(alo::kMeshName, "m").begin(id);
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

std::string geometry(std::uint32_t vertexCount, std::uint32_t triangles, std::size_t vertexBytes,
                     std::size_t indexBytes) {
    return meshWith(alo::kGeometry, [=](ChunkWriter& w) {
        w.data(alo::kGeometryCounts, AloWriter::counts(vertexCount, triangles));
        w.data(alo::kVertices, std::string(vertexBytes, '\x11'))
            .data(alo::kIndices, std::string(indexBytes, '\0'));
    });
}

std::string material(std::uint32_t id, const std::string& data) {
    return meshWith(alo::kMaterial, [&](ChunkWriter& w) { w.data(id, data); });
}

} // namespace

TEST(Geometry, ArraysMustHoldWhatTheCountsDeclare) {
    // 1,000 bytes hold six whole 144-byte records; the rest is kept but not counted.
    EXPECT_EQ(load(geometry(6, 1, 1000, 6))->getMesh(0).getVertexBytes(), 1000u);
    EXPECT_TRUE(refused(geometry(7, 1, 1000, 6)));
    // An odd last byte is no index.
    EXPECT_TRUE(refused(geometry(3, 1, 432, 5)));
    EXPECT_FALSE(refused(geometry(3, 1, 432, 7)));
    // Three indices per triangle, not wrapped at 32 bits: 3 x 0x55555556 is 2 modulo 2^32.
    EXPECT_TRUE(refused(geometry(0, 0x55555556u, 0, 4)));
    // A missing array holds nothing; without counts the all-ones defaults are what it is held against.
    const auto empty = load(meshWith(
        alo::kGeometry, [](ChunkWriter& w) { w.data(alo::kGeometryCounts, AloWriter::counts(0, 0)); }));
    EXPECT_EQ(empty->getMesh(0).getVertices(), nullptr);
    EXPECT_EQ(empty->getMesh(0).getIndices(), nullptr);
    EXPECT_TRUE(refused(meshWith(alo::kGeometry, [](ChunkWriter& w) {
        w.data(alo::kGeometryCounts, AloWriter::counts(3, 1)).data(alo::kIndices, std::string(6, '\0'));
    })));
    EXPECT_TRUE(refused(
        meshWith(alo::kGeometry, [](ChunkWriter& w) { w.data(alo::kVertices, std::string(144, '\0')); })));
    EXPECT_THROW(load(meshWith(alo::kGeometry,
                               [](ChunkWriter& w) { w.data(alo::kGeometryCounts, std::string(7, '\0')); })),
                 IOException);
}

TEST(Material, ChildrenAreToldApartByTheLowByteOfTheirIdsAndMoreChunksAppend) {
    ChunkWriter w;
    w.begin(alo::kMesh).begin(alo::kMaterial).text(0x10101, "MeshGloss.fx").data(0x10102, "ignored");
    w.data(0x10103, AloWriter::parameterData(AloParameter::floatValue("Shininess", 16)));
    w.data(0xABCD03, AloWriter::parameterData(AloParameter::floatValue("Other", -0.5f)));
    w.data(0x10105, AloWriter::parameterData(AloParameter::textureName("BaseTexture", "Hull.tga")));
    w.data(0x10104, "ignored").end();
    w.begin(alo::kMaterial)
        .data(0x10106, AloWriter::parameterData(AloParameter::float4Value("Diffuse", 1, 0.5f, 0.25f, 1)));
    w.end().end();
    const auto model = load(w.bytes());
    const Material* m = model->getMesh(0).getMaterial();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->effectName, "MeshGloss.fx");
    ASSERT_EQ(m->parameters.size(), 4u);
    EXPECT_EQ(m->parameters[0].name, "Shininess");
    EXPECT_EQ(m->parameters[0].type, EffectParameter::kFloat);
    EXPECT_EQ(m->parameters[0].floatValue, 16.0f);
    EXPECT_EQ(m->parameters[1].floatValue, -0.5f);
    EXPECT_EQ(m->parameters[2].type, EffectParameter::kTexture);
    EXPECT_EQ(m->parameters[2].textureName, "Hull.tga");
    EXPECT_EQ(m->parameters[3].type, EffectParameter::kFloat4);
    EXPECT_EQ(m->parameters[3].float4Value[2], 0.25f);
}

TEST(Material, ValueLengthsAreCheckedForNumbersOnlyAndNothingIsReadPastTheData) {
    const std::string shininess = AloWriter::parameterData(AloParameter::floatValue("Shininess", 16));
    std::string eightBytes = shininess + "pad4";
    eightBytes[2 + 10 + 1] = 8;
    std::string wrongFloat4 = AloWriter::parameterData(AloParameter::float4Value("Diffuse", 1, 1, 1, 1));
    wrongFloat4[2 + 8 + 1] = 12;
    std::string longName = shininess;
    longName[1] = static_cast<char>(0x80);
    for (const std::string& bad :
         {eightBytes, shininess.substr(0, shininess.size() - 1), shininess.substr(0, 1), longName}) {
        EXPECT_TRUE(refused(material(0x10103, bad)));
    }
    EXPECT_TRUE(refused(material(0x10106, wrongFloat4)));

    // A texture's length byte is not looked at, and its name may end with the data.
    std::string texture = AloWriter::parameterData(AloParameter::textureName("BaseTexture", "Hull.tga"));
    texture[2 + 12 + 1] = 99;
    for (const std::string& data : {texture, texture.substr(0, texture.size() - 1)}) {
        EXPECT_EQ(load(material(0x10105, data))->getMesh(0).getMaterial()->parameters[0].textureName,
                  "Hull.tga");
    }
    EXPECT_EQ(load(material(0x10105, texture.substr(0, 2 + 12 + 2)))
                  ->getMesh(0)
                  .getMaterial()
                  ->parameters[0]
                  .textureName,
              "");
    EXPECT_TRUE(refused(material(0x10105, texture.substr(0, 2 + 12 + 1))));
}
