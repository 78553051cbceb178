#include "demodata/demodata.h"
#include "engine/engine.h"
#include "glfixture.h"
#include "managers/filemanager.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "model/model.h"
#include "support/tempdir.h"
#include "writers/ddswriter.h"

#include <gtest/gtest.h>

#include <memory>

using namespace d3d;

TEST(GlCounted, ObjectsOutliveTheDevicesOwnerAndTheLastOneTakesTheDevice) {
    GlFixture f;
    RefPtr<IDirect3DTexture9> texture =
        f.texture(DdsWriter(4, 4, std::vector<std::uint8_t>(64, 200)).build(DdsWriter::Format::Dxt1));
    RefPtr<ID3DXEffect> effect = f.effect(GlFixture::texturedEffect());
    ASSERT_TRUE(texture && effect);
    // Everything bound, and the effect left inside its pass with the texture on a sampler.
    f.bind(std::vector<float>(15), {0, 1, 2});
    ASSERT_EQ(effect->SetTexture("Texture", texture.get()), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);

    IDirect3DDevice9* device = f.device.detach();
    EXPECT_EQ(device->Release(), 5u); // the declaration, both buffers, the texture and the effect
    f.direct3d.reset();
    f.declaration.reset();
    EXPECT_EQ(texture.detach()->Release(), 1u); // the effect still holds it
    f.vertexBuffer.reset();
    f.indexBuffer.reset();
    // The effect ends its pass, lets the texture go and with it the device's last reference.
    effect.reset();
}

TEST(GlCounted, EngineAndCachesLeaveNothingOnceClearedAndDestroyed) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeDemoData(dir.path(), error)) << error;
    EglSurface surface(64, 48);
    FileManager files(dir.folder());
    TextureManager textures(&files, "Data\\Art\\Textures\\");
    ShaderManager shaders(&files, "Data\\Art\\Shaders\\");
    RefPtr<File> file = files.open("Data\\Art\\Models\\Demo_Ship.alo");
    ASSERT_TRUE(file);
    const Model model(*file);
    auto engine = std::make_unique<Engine>(&surface, 64, 48, textures, shaders);
    for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
        D3DXMATRIX world;
        model.getMeshTransform(i, &world.m[0][0]);
        engine->addMesh(&model.getMesh(i), world, true);
    }
    ASSERT_TRUE(engine->render());
    const std::vector<std::uint8_t> frame = surface.readPixels();
    std::size_t lit = 0;
    for (std::size_t i = 0; i < frame.size(); i += 4) {
        lit += frame[i] + frame[i + 1] + frame[i + 2] > 0 ? 1 : 0;
    }
    EXPECT_GT(lit, 50u);

    // What the frame made, each with one more reference of ours.
    IDirect3DDevice9* device = engine->getDevice();
    device->AddRef();
    RefPtr<ID3DXEffect> effect = shaders.getEffect(device, "MeshGloss.fx");
    RefPtr<IDirect3DTexture9> texture = textures.getTexture(device, "Demo_Hull.tga");
    ASSERT_TRUE(effect && texture);
    textures.clear();
    shaders.clear();
    engine.reset();
    EXPECT_EQ(effect.detach()->Release(), 0u);
    EXPECT_EQ(texture.detach()->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
}
