#include "glfixture.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace d3d;

namespace {

const D3DVERTEXELEMENT9 kElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END_ELEMENT,
};

} // namespace

GlFixture::GlFixture(int width, int height) : surface(width, height) {
    direct3d = RefPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS parameters{};
    parameters.hDeviceWindow = static_cast<GlSurface*>(&surface);
    EXPECT_EQ(
        direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &parameters, device.put()),
        D3D_OK);
    EXPECT_EQ(device->CreateVertexDeclaration(kElements, declaration.put()), D3D_OK);
}

RefPtr<ID3DXEffect> GlFixture::effect(const std::string& bytes) {
    RefPtr<ID3DXEffect> made;
    D3DXCreateEffect(device.get(), bytes.data(), static_cast<UINT>(bytes.size()), nullptr, nullptr, 0,
                     nullptr, made.put(), nullptr);
    return made;
}

RefPtr<IDirect3DTexture9> GlFixture::texture(const std::string& bytes) {
    RefPtr<IDirect3DTexture9> made;
    D3DXCreateTextureFromFileInMemory(device.get(), bytes.data(), static_cast<UINT>(bytes.size()),
                                      made.put());
    return made;
}

void GlFixture::bind(const std::vector<float>& vertices, const std::vector<std::uint16_t>& indices) {
    const auto fill = [](auto& buffer, const void* bytes, std::size_t size) {
        void* data = nullptr;
        ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, bytes, size);
        buffer->Unlock();
    };
    const auto vertexBytes = static_cast<UINT>(vertices.size() * sizeof(float));
    ASSERT_EQ(device->CreateVertexBuffer(vertexBytes, 0, 0, D3DPOOL_MANAGED, vertexBuffer.put(), nullptr),
              D3D_OK);
    fill(vertexBuffer, vertices.data(), vertexBytes);
    const auto indexBytes = static_cast<UINT>(indices.size() * 2);
    ASSERT_EQ(
        device->CreateIndexBuffer(indexBytes, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, indexBuffer.put(), nullptr),
        D3D_OK);
    fill(indexBuffer, indices.data(), indexBytes);
    device->SetVertexDeclaration(declaration.get());
    device->SetStreamSource(0, vertexBuffer.get(), 0, 5 * sizeof(float));
    device->SetIndices(indexBuffer.get());
}

void GlFixture::drawRectangle(ID3DXEffect& effect, float x0, float y0, float x1, float y1, float z,
                              UINT technique) {
    const float left = x0 * 2 / static_cast<float>(surface.width()) - 1;
    const float right = x1 * 2 / static_cast<float>(surface.width()) - 1;
    const float top = 1 - y0 * 2 / static_cast<float>(surface.height());
    const float bottom = 1 - y1 * 2 / static_cast<float>(surface.height());
    bind({left, top, z, 0, 0, right, top, z, 1, 0, right, bottom, z, 1, 1, left, bottom, z, 0, 1},
         {0, 1, 2, 0, 2, 3});
    ASSERT_EQ(effect.SetTechnique(effect.GetTechnique(technique)), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(effect.Begin(&passes, 0), D3D_OK);
    for (UINT pass = 0; pass < passes; ++pass) {
        effect.BeginPass(pass);
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
        effect.EndPass();
    }
    effect.End();
}

void GlFixture::clear(D3DCOLOR colour) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
}

std::vector<std::uint32_t> GlFixture::frame() const {
    const std::vector<std::uint8_t> rgba = surface.readPixels();
    std::vector<std::uint32_t> rgb;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        rgb.push_back(std::uint32_t{rgba[i]} << 16 | std::uint32_t{rgba[i + 1]} << 8 | rgba[i + 2]);
    }
    return rgb;
}

std::string GlFixture::onePassEffect(const std::vector<EffectWriter::Parameter>& parameters,
                                     const std::vector<EffectWriter::State>& states,
                                     const EffectWriter::Shader& vs, const EffectWriter::Shader& ps) {
    EffectWriter w;
    for (const EffectWriter::Parameter& p : parameters) {
        w.addParameter(p);
    }
    w.addTechnique({"Main", {{"P0", states, vs, ps, {}}}, {}});
    return w.build();
}

std::string GlFixture::flatEffect(const std::vector<EffectWriter::State>& states) {
    const EffectWriter::Parameter colour{"Color", EffectWriter::Type::Float4, "", {1, 1, 1, 1}, "", {}, {}};
    return onePassEffect({colour}, states, {"vs_2_0\ndcl_position v0\nmov oPos, v0\n", {}},
                         {"ps_2_0\nmov oC0, c0\n", {{"Color", 0}}});
}

std::string GlFixture::texturedEffect() {
    const EffectWriter::Parameter texture{"Texture", EffectWriter::Type::Texture, "", {}, "", {}, {}};
    EffectWriter::Parameter sampler{"Sampler", EffectWriter::Type::Sampler, "", {}, "Texture", {}, {}};
    sampler.samplerStates = {{"MinFilter", 1}, {"MagFilter", 1}, {"MipFilter", 0}};
    return onePassEffect({texture, sampler}, {{"CullMode", D3DCULL_NONE}},
                         {"vs_2_0\ndcl_position v0\ndcl_texcoord v1\nmov oPos, v0\nmov oT0.xy, v1\n", {}},
                         {"ps_2_0\ndcl t0.xy\ndcl_2d s0\ntexld r0, t0, s0\nmov oC0, r0\n", {{"Sampler", 0}}});
}
