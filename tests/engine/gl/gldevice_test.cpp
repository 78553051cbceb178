#include "glfixture.h"
#include "writers/ddswriter.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace d3d;

namespace {

void setColour(ID3DXEffect& effect, std::uint32_t rgb, float alpha = 1) {
    const float colour[4] = {static_cast<float>(rgb >> 16 & 0xFF) / 255,
                             static_cast<float>(rgb >> 8 & 0xFF) / 255, static_cast<float>(rgb & 0xFF) / 255,
                             alpha};
    ASSERT_EQ(effect.SetFloatArray("Color", colour, 4), D3D_OK);
}

// Fails for every pixel that is not inside where (x0, y0) to (x1, y1) covers it, outside elsewhere.
void expectPainted(const GlFixture& f, int x0, int y0, int x1, int y1, std::uint32_t inside,
                   std::uint32_t outside = 0) {
    const std::vector<std::uint32_t> frame = f.frame();
    for (int y = 0; y < f.surface.height(); ++y) {
        for (int x = 0; x < f.surface.width(); ++x) {
            const bool in = x >= x0 && x <= x1 && y >= y0 && y <= y1;
            EXPECT_EQ(frame[static_cast<std::size_t>(y * f.surface.width() + x)], in ? inside : outside)
                << x << "," << y;
        }
    }
}

} // namespace

TEST(GlDevice, CoversThePixelsDirect3DCovers) {
    GlFixture f;
    RefPtr<ID3DXEffect> effect = f.effect(GlFixture::flatEffect());
    ASSERT_TRUE(effect);
    setColour(*effect, 0xFF0000);
    // Edges on the boundaries between pixels (Direct3D's pixel centres are whole numbers); edges
    // through pixel centres: those on left and top edges are drawn, on right and bottom not; a
    // quarter pixel in: the centres at 2 and 3 are inside, 1 and 4 not.
    struct Case {
        float x0, y0, x1, y1;
        int left, top, right, bottom;
    };
    for (const Case& c : {Case{3.5f, 5.5f, 9.5f, 8.5f, 4, 6, 9, 8}, Case{4, 4, 8, 12, 4, 4, 7, 11},
                          Case{1.25f, 1.25f, 3.25f, 3.25f, 2, 2, 3, 3}}) {
        f.clear();
        f.drawRectangle(*effect, c.x0, c.y0, c.x1, c.y1);
        expectPainted(f, c.left, c.top, c.right, c.bottom, 0xFF0000);
    }
    // Another surface of the process's one EGL display comes and goes; this one draws on.
    { EglSurface(8, 8).makeCurrent(); }
    f.clear();
    f.drawRectangle(*effect, 3.5f, 3.5f, 9.5f, 9.5f);
    EXPECT_EQ(f.rgb(5, 5), 0xFF0000u);
}

TEST(GlDevice, DepthRunsFromZeroToOneAndCullingFollowsScreenWinding) {
    GlFixture f;
    RefPtr<ID3DXEffect> effect = f.effect(GlFixture::flatEffect({{"CullMode", D3DCULL_CCW}}));
    ASSERT_TRUE(effect);
    f.clear();
    setColour(*effect, 0xFF0000);
    f.drawRectangle(*effect, -0.5f, -0.5f, 15.5f, 15.5f, 0.5f);
    setColour(*effect, 0x00FF00);
    f.drawRectangle(*effect, -0.5f, -0.5f, 7.5f, 15.5f, 0.75f); // behind
    setColour(*effect, 0x0000FF);
    f.drawRectangle(*effect, 7.5f, -0.5f, 15.5f, 15.5f, 0.25f);  // in front
    f.drawRectangle(*effect, -0.5f, -0.5f, 7.5f, 15.5f, -0.25f); // nearer than the near plane
    expectPainted(f, 8, 0, 15, 15, 0x0000FF, 0xFF0000);

    // The same rectangle both ways round: clockwise on screen is drawn, counter-clockwise culled.
    f.clear();
    f.drawRectangle(*effect, 15.5f, -0.5f, -0.5f, 15.5f);
    EXPECT_EQ(f.rgb(2, 2), 0u);
    f.drawRectangle(*effect, -0.5f, -0.5f, 15.5f, 15.5f);
    EXPECT_EQ(f.rgb(2, 2), 0x0000FFu);
}

TEST(GlDevice, PassStatesBlendAndTestAlphaOnlyWhileTheirPassRuns) {
    GlFixture f;
    RefPtr<ID3DXEffect> additive =
        f.effect(GlFixture::flatEffect({{"AlphaBlendEnable", 1}, {"SrcBlend", 2}, {"DestBlend", 2}}));
    RefPtr<ID3DXEffect> opaque = f.effect(GlFixture::flatEffect({{"AlphaFunc", 1}})); // never, were it on
    RefPtr<ID3DXEffect> tested =
        f.effect(GlFixture::flatEffect({{"AlphaTestEnable", 1}, {"AlphaRef", 128}, {"AlphaFunc", 5}}));
    ASSERT_TRUE(additive && opaque && tested);
    f.clear(0xFF402000);
    setColour(*additive, 0x408020);
    f.drawRectangle(*additive, -0.5f, -0.5f, 7.5f, 15.5f);
    f.drawRectangle(*additive, -0.5f, -0.5f, 3.5f, 15.5f);
    // This pass sets no blending: End has put the device's own states back.
    setColour(*opaque, 0x102030, 0.25f);
    f.drawRectangle(*opaque, 11.5f, -0.5f, 15.5f, 7.5f);
    // Only alpha above 128/255 passes the test.
    setColour(*tested, 0xFFFFFF, 0.25f);
    f.drawRectangle(*tested, 7.5f, -0.5f, 15.5f, 15.5f);
    setColour(*tested, 0x00FFFF, 0.75f);
    f.drawRectangle(*tested, 11.5f, 11.5f, 15.5f, 15.5f);
    const std::vector<std::uint32_t> frame = f.frame();
    for (const auto& [x, y, expected] :
         {std::make_tuple(2, 8, 0xC0FF40u), std::make_tuple(6, 8, 0x80A020u),
          std::make_tuple(9, 8, 0x402000u), std::make_tuple(13, 4, 0x102030u),
          std::make_tuple(13, 8, 0x402000u), std::make_tuple(13, 13, 0x00FFFFu)}) {
        for (int shift = 0; shift < 24; shift += 8) {
            EXPECT_NEAR(static_cast<int>(frame[static_cast<std::size_t>(16 * y + x)] >> shift & 0xFF),
                        static_cast<int>(expected >> shift & 0xFF), 1)
                << x << "," << y;
        }
    }
}

TEST(GlDevice, TextureRowsRunFromTheTopOfTheFile) {
    GlFixture f(4, 4);
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            rgba.insert(rgba.end(),
                        {static_cast<std::uint8_t>(x * 80), static_cast<std::uint8_t>(y * 80), 50, 255});
        }
    }
    RefPtr<IDirect3DTexture9> texture = f.texture(DdsWriter(4, 4, rgba).build(DdsWriter::Format::A8R8G8B8));
    RefPtr<ID3DXEffect> effect = f.effect(GlFixture::texturedEffect());
    ASSERT_TRUE(texture && effect);
    EXPECT_FALSE(f.texture("DDS but no texture"));
    ASSERT_EQ(effect->SetTexture("Texture", texture.get()), D3D_OK);
    f.clear();
    // Texel centres fall on pixel centres: each pixel shows its own texel, v = 0 at the top.
    f.drawRectangle(*effect, -0.5f, -0.5f, 3.5f, 3.5f);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(f.rgb(x, y), static_cast<std::uint32_t>(x * 80 << 16 | y * 80 << 8 | 50))
                << x << "," << y;
        }
    }
}

TEST(GlDevice, RefusesDrawsReachingPastTheirBuffers) {
    GlFixture f;
    RefPtr<ID3DXEffect> effect = f.effect(GlFixture::flatEffect());
    ASSERT_TRUE(effect);
    // Four corners of the target; the second triangle names a fifth vertex.
    f.bind({-1, 1, 0.5f, 0, 0, 1, 1, 0.5f, 0, 0, 1, -1, 0.5f, 0, 0, -1, -1, 0.5f, 0, 0}, {0, 1, 2, 0, 2, 4});
    f.clear();
    UINT passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    // Stream offset, base vertex, first index, triangles.
    for (const auto& [offset, base, start, count] :
         {std::make_tuple(0u, 0, 0u, 2u), std::make_tuple(0u, 0, 3u, 2u), std::make_tuple(0u, 2, 0u, 1u),
          std::make_tuple(40u, 0, 0u, 1u)}) {
        f.device->SetStreamSource(0, f.vertexBuffer.get(), offset, 20);
        EXPECT_EQ(f.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, base, 0, 4, start, count),
                  D3DERR_INVALIDCALL)
            << offset << " " << base << " " << start << " " << count;
    }
    EXPECT_EQ(f.rgb(12, 4), 0u);
    f.device->SetStreamSource(0, f.vertexBuffer.get(), 0, 20);
    EXPECT_EQ(f.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3D_OK);
    EXPECT_EQ(f.rgb(12, 4), 0xFFFFFFu);
    effect->EndPass();
    effect->End();
}

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
