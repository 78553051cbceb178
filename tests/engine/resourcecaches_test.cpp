#include "support/renderfixture.h"

#include <gtest/gtest.h>

using namespace d3d;

TEST(ResourceCaches, ReadTexturesByTheirTgaOrDdsNameAndShareOneEntryPerName) {
    RenderFixture f;
    f.addTexture("HULL.DDS");
    f.addTexture("A.TGA.B.DDS");
    auto engine = f.engine();
    IDirect3DDevice9* const device = engine->getDevice();
    RefPtr<IDirect3DTexture9> first = f.textures->getTexture(device, "Hull.tga");
    ASSERT_TRUE(first);
    EXPECT_EQ(first, f.textures->getTexture(device, "HULL.TGA"));
    EXPECT_NE(first, f.textures->getTexture(device, "hull.dds"));
    EXPECT_TRUE(f.textures->getTexture(device, "a.tga.b.tga"));
    EXPECT_EQ(f.fake.callsStartingWith("D3DXCreateTextureFromFileInMemory").size(), 3u);
    // Missing or undecodable files are looked for again on every request.
    EXPECT_FALSE(f.textures->getTexture(device, "late.tga"));
    f.dir.write("Data/Art/Textures/BROKEN.DDS", "not a texture");
    EXPECT_FALSE(f.textures->getTexture(device, "broken.dds"));
    f.addTexture("LATE.DDS");
    EXPECT_TRUE(f.textures->getTexture(device, "late.tga"));
    // Our reference keeps a texture alive through clear; the next request decodes again.
    const int live = f.fake.liveObjects();
    f.textures->clear();
    EXPECT_EQ(f.fake.liveObjects(), live - 3);
    EXPECT_NE(f.textures->getTexture(device, "hull.tga"), first);
}

TEST(ResourceCaches, ReadCompiledEffectsWhateverTheExtensionCase) {
    RenderFixture f;
    f.addEffect("MESHGLOSS.FXO", "pass\n");
    f.dir.write("Data/Art/Shaders/BROKEN.FXO", "");
    auto engine = f.engine();
    IDirect3DDevice9* const device = engine->getDevice();
    RefPtr<ID3DXEffect> fx = f.shaders->getEffect(device, "MeshGloss.fx");
    ASSERT_TRUE(fx);
    EXPECT_EQ(fx, f.shaders->getEffect(device, "meshgloss.FX"));
    RefPtr<ID3DXEffect> compiled = f.shaders->getEffect(device, "MeshGloss.fxo");
    ASSERT_TRUE(compiled);
    EXPECT_NE(fx, compiled);
    EXPECT_FALSE(f.shaders->getEffect(device, "Missing.fx"));
    EXPECT_FALSE(f.shaders->getEffect(device, "Broken.fx"));
    EXPECT_EQ(f.fake.callsStartingWith("D3DXCreateEffect").size(), 3u);
}
