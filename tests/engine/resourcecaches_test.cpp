#include "support/renderfixture.h"

#include <gtest/gtest.h>

using namespace d3d;

namespace {

// A device of the fake backend for the caches to create their objects on.
RefPtr<IDirect3DDevice9> makeDevice(RefPtr<IDirect3D9>& direct3d) {
    direct3d = RefPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS parameters{};
    RefPtr<IDirect3DDevice9> device;
    direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                           &parameters, device.put());
    return device;
}

} // namespace

TEST(TextureManager, ReadsTgaNamesFromDdsFilesAndSharesOneEntryPerName) {
    RenderFixture f;
    f.addTexture("HULL.DDS");
    f.addTexture("A.TGA.B.DDS");
    RefPtr<IDirect3D9> direct3d;
    RefPtr<IDirect3DDevice9> owner = makeDevice(direct3d);
    IDirect3DDevice9* const device = owner.get();
    RefPtr<IDirect3DTexture9> first = f.textures->getTexture(device, "Hull.tga");
    RefPtr<IDirect3DTexture9> again = f.textures->getTexture(device, "HULL.TGA");
    RefPtr<IDirect3DTexture9> dds = f.textures->getTexture(device, "hull.dds");
    ASSERT_TRUE(first);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, dds);
    EXPECT_TRUE(f.textures->getTexture(device, "a.tga.b.tga"));
    EXPECT_EQ(f.fake.callsStartingWith("D3DXCreateTextureFromFileInMemory").size(), 3u);
    // Missing or undecodable files are looked for again on every request.
    EXPECT_FALSE(f.textures->getTexture(device, "late.tga"));
    f.dir.write("Data/Art/Textures/BROKEN.DDS", "not a texture");
    EXPECT_FALSE(f.textures->getTexture(device, "broken.dds"));
    f.addTexture("LATE.DDS");
    EXPECT_TRUE(f.textures->getTexture(device, "late.tga"));
    // Our references keep the textures alive through clear; the next request decodes again.
    const int live = f.fake.liveObjects();
    f.textures->clear();
    EXPECT_EQ(f.fake.liveObjects(), live - 2); // late.tga and a.tga.b.tga were held by the cache only
    EXPECT_NE(f.textures->getTexture(device, "hull.tga"), first);
    first.reset();
    again.reset();
    dds.reset();
    f.textures->clear();
    owner.reset();
    direct3d.reset();
    EXPECT_EQ(f.fake.liveObjects(), 0);
    EXPECT_TRUE(f.fake.errors().empty());
}

TEST(ShaderManager, ReadsCompiledEffectsWhateverTheExtensionCase) {
    RenderFixture f;
    f.addEffect("MESHGLOSS.FXO", "pass\n");
    RefPtr<IDirect3D9> direct3d;
    RefPtr<IDirect3DDevice9> owner = makeDevice(direct3d);
    IDirect3DDevice9* const device = owner.get();
    RefPtr<ID3DXEffect> fx = f.shaders->getEffect(device, "MeshGloss.fx");
    RefPtr<ID3DXEffect> lower = f.shaders->getEffect(device, "meshgloss.FX");
    RefPtr<ID3DXEffect> compiled = f.shaders->getEffect(device, "MeshGloss.fxo");
    ASSERT_TRUE(fx);
    EXPECT_EQ(fx, lower);
    ASSERT_TRUE(compiled);
    EXPECT_NE(fx, compiled);
    EXPECT_FALSE(f.shaders->getEffect(device, "Missing.fx"));
    f.dir.write("Data/Art/Shaders/BROKEN.FXO", "");
    EXPECT_FALSE(f.shaders->getEffect(device, "Broken.fx"));
    EXPECT_EQ(f.fake.callsStartingWith("D3DXCreateEffect").size(), 3u);
    fx.reset();
    lower.reset();
    compiled.reset();
    f.shaders->clear();
    owner.reset();
    direct3d.reset();
    EXPECT_EQ(f.fake.liveObjects(), 0);
}
