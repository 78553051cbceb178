#include "glfixture.h"
#include "writers/ddswriter.h"
#include "writers/demoeffects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

using namespace d3d;

namespace {

std::uint32_t wordAt(const std::string& bytes, std::size_t at) {
    std::uint32_t word = 0;
    std::memcpy(&word, bytes.data() + at, 4);
    return word;
}

std::string patched(std::string bytes, std::size_t at, std::uint32_t word) {
    std::memcpy(&bytes[at], &word, 4);
    return bytes;
}

// bytes with the one run of words `from` (at a multiple of 4) replaced by `to`, as long.
std::string replaced(std::string bytes, const std::vector<std::uint32_t>& from,
                     const std::vector<std::uint32_t>& to) {
    std::vector<std::size_t> found;
    for (std::size_t at = 0; at + 4 * from.size() <= bytes.size(); at += 4) {
        if (std::memcmp(&bytes[at], from.data(), 4 * from.size()) == 0) {
            found.push_back(at);
        }
    }
    EXPECT_EQ(found.size(), 1u) << "words to replace";
    for (const std::size_t at : found) {
        std::memcpy(&bytes[at], to.data(), 4 * to.size());
    }
    return bytes;
}

} // namespace

TEST(GlEffect, ParametersAreUsedWhenTheShadersReadThemAndLookedUpByHandleOrName) {
    GlFixture f;
    const auto effects = buildDemoEffects();
    const std::map<std::string, std::vector<std::string>> unread = {
        {"AlDefault", {"LightSpecular", "EyePosition"}},
        {"MeshAdditive",
         {"World", "LightDirection", "LightDiffuse", "LightSpecular", "LightScale", "EyePosition"}},
        {"MeshGlossColorize", {}},
    };
    for (const auto& [name, names] : unread) {
        RefPtr<ID3DXEffect> effect = f.effect(effects.at(name));
        ASSERT_TRUE(effect) << name;
        for (UINT i = 0; D3DXHANDLE p = effect->GetParameter(nullptr, i); ++i) {
            D3DXPARAMETER_DESC d{};
            effect->GetParameterDesc(p, &d);
            // Constants, samplers and the textures samplers take are all read.
            const BOOL read = std::find(names.begin(), names.end(), d.Name) == names.end() ? 1 : 0;
            EXPECT_EQ(effect->IsParameterUsed(p, effect->GetTechnique(0)), read) << name << " " << d.Name;
            EXPECT_EQ(effect->IsParameterUsed(d.Name, "Main"), read) << name << " " << d.Name;
        }
        // Names no parameter or technique has are refused.
        D3DXPARAMETER_DESC d{};
        EXPECT_EQ(effect->GetParameterDesc("NoSuch", &d), D3DERR_INVALIDCALL);
        EXPECT_EQ(effect->GetParameterByName(nullptr, "NoSuch"), nullptr);
        EXPECT_EQ(effect->IsParameterUsed("WorldViewProjection", "NoSuchTechnique"), 0);
    }
    // A pass that sets nothing reads nothing, and drawing with it draws nothing.
    EffectWriter::Parameter colour;
    colour.name = "Color";
    RefPtr<ID3DXEffect> idle = f.effect(GlFixture::onePassEffect({colour}, {}, {}, {}));
    ASSERT_TRUE(idle);
    EXPECT_EQ(idle->IsParameterUsed("Color", "Main"), 0);
    f.clear();
    f.drawRectangle(*idle, -0.5f, -0.5f, 15.5f, 15.5f);
    EXPECT_EQ(f.rgb(8, 8), 0u);
}

TEST(GlEffect, TexturesGoToTextureParametersAndReachShadersThroughSamplersOfEveryShape) {
    GlFixture f(4, 4);
    RefPtr<IDirect3DTexture9> texture =
        f.texture(DdsWriter(4, 4, std::vector<std::uint8_t>(64, 200)).build(DdsWriter::Format::A8R8G8B8));
    ASSERT_TRUE(texture);
    // The sampler's type (12, sampler2D) and that of its Texture state (5, texture) changed.
    const std::string textured = GlFixture::texturedEffect();
    std::vector<std::string> effects = {textured};
    for (const std::uint32_t type : {10u, 11u, 13u, 14u}) {
        effects.push_back(replaced(textured, {12, 4}, {type, 4}));
    }
    for (const std::uint32_t type : {6u, 9u}) {
        effects.push_back(replaced(textured, {5, 4, 0, 0, 0}, {type, 4, 0, 0, 0}));
    }
    for (const std::string& bytes : effects) {
        RefPtr<ID3DXEffect> effect = f.effect(bytes);
        ASSERT_TRUE(effect) << &bytes - effects.data();
        EXPECT_EQ(effect->IsParameterUsed("Sampler", "Main") + effect->IsParameterUsed("Texture", "Main"), 2);
        EXPECT_EQ(effect->SetTexture("Sampler", texture.get()), D3DERR_INVALIDCALL);
        ASSERT_EQ(effect->SetTexture("Texture", texture.get()), D3D_OK);
        f.clear();
        f.drawRectangle(*effect, -0.5f, -0.5f, 3.5f, 3.5f);
        EXPECT_EQ(f.rgb(1, 1), 0xC8C8C8u) << &bytes - effects.data();
    }
    EXPECT_EQ(f.effect(GlFixture::flatEffect())->SetTexture("Color", texture.get()), D3DERR_INVALIDCALL);
}

TEST(GlEffect, PassesRunInOrderBetweenBeginWhichSavesTheDevicesStatesAndEndWhichRestoresThem) {
    GlFixture f;
    RefPtr<ID3DXEffect> effect = f.effect(GlFixture::flatEffect({{"ZEnable", 0},
                                                                 {"AlphaBlendEnable", 1},
                                                                 {"SrcBlend", 5},
                                                                 {"CullMode", D3DCULL_NONE},
                                                                 {"ZFunc", 8}}));
    RefPtr<ID3DXEffect> textured = f.effect(GlFixture::texturedEffect());
    ASSERT_TRUE(effect && textured);
    f.device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    f.gl().samplerStates(0).magFilter = 2;
    const GlDevice::RenderStates before = f.gl().renderStates();
    GlDevice::RenderStates pass = before;
    pass.zEnable = 0;
    pass.alphaBlendEnable = 1;
    pass.srcBlend = 5;
    pass.cullMode = D3DCULL_NONE;
    pass.zFunc = 8;
    UINT passes = 0;
    EXPECT_EQ(effect->SetTechnique("NoSuch"), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->End(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->Begin(nullptr, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(effect->Begin(&passes, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTechnique(effect->GetTechnique(0)), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->CommitChanges(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->BeginPass(1), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->BeginPass(0), D3D_OK);
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->EndPass(), D3D_OK);
    EXPECT_EQ(effect->EndPass(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->End(), D3D_OK);
    for (ID3DXEffect* e : {effect.get(), textured.get()}) {
        ASSERT_EQ(e->Begin(&passes, 0), D3D_OK);
        ASSERT_EQ(e->BeginPass(0), D3D_OK);
        // The first pass sets render states, the second a sampler's.
        EXPECT_TRUE(e != effect.get() || std::memcmp(&f.gl().renderStates(), &pass, sizeof pass) == 0);
        EXPECT_EQ(f.gl().samplerStates(0).magFilter, e == effect.get() ? 2u : 1u);
        // End without EndPass ends the pass too.
        EXPECT_EQ(e->End(), D3D_OK);
        EXPECT_EQ(std::memcmp(&f.gl().renderStates(), &before, sizeof before), 0);
        EXPECT_EQ(f.gl().samplerStates(0).magFilter, 2u);
    }
}

TEST(GlEffect, RefusesWhatItCannotRunAndNeverCrashes) {
    GlFixture f;
    const std::string good = GlFixture::flatEffect();
    ASSERT_TRUE(f.effect(good));
    std::vector<std::string> bad = {"This is not an effect.\n"};
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        bad.push_back(good.substr(0, cut));
    }
    // After the pool: the counts (the object count last), Color's type and value, the technique,
    // the pass, the vertex and pixel shader states (operation, index, type, value), the string and
    // code counts, then each shader's code (technique, pass, element, state, usage, size, bytes).
    const std::size_t records = 8 + wordAt(good, 4) + 16;
    const std::size_t colourType = 8 + wordAt(good, records);
    const std::size_t colourName = 8 + wordAt(good, colourType + 8) + 4;
    const std::size_t vertexShaderId = 8 + wordAt(good, records + 52);
    const std::size_t pixelShaderId = 8 + wordAt(good, records + 68);
    const std::size_t code = records + 80;
    ASSERT_EQ(good.substr(colourName, 5), "Color");
    ASSERT_EQ(wordAt(good, records + 40), 0x92u);
    ASSERT_EQ(wordAt(good, code + 12), 0u);
    for (const auto& [at, word] : std::vector<std::pair<std::size_t, std::uint32_t>>{
             {4, static_cast<std::uint32_t>(good.size())}, // the pool past the end
             {records, 0xFFFFFFF0u},                       // offsets past the pool
             {records + 4, wordAt(good, 4) - 8},
             {records + 48, wordAt(good, 4)},
             {vertexShaderId, wordAt(good, records - 4)}, // object ids past the count
             {records - 4, 1},
             {colourType, 5},          // a vector of textures
             {colourType + 8, 0},      // a parameter without a name
             {colourName, 0x6F6C6F58}, // Xolor: the pixel shader's Color names none
             {vertexShaderId, wordAt(good, pixelShaderId)},
             {code + 12, 1},    // both shaders' code on the pixel shader's state
             {code + 16, 2},    // code of an unknown use
             {records + 76, 1}, // the pixel shader without its code
         }) {
        bad.push_back(patched(good, at, word));
    }
    // A sampler state (MinFilter, 0xAA) of an operation that is no sampler state; the Texture
    // state of a sampler holding a string where the parameter it names is taken for a texture.
    const std::string textured = GlFixture::texturedEffect();
    for (const std::uint32_t operation : {0x9Fu, 0xB2u}) {
        bad.push_back(replaced(textured, {0xAA, 0}, {operation, 0}));
    }
    bad.push_back(replaced(textured, {5, 4, 0, 0, 0}, {4, 4, 0, 0, 0}));
    for (const std::string& bytes : bad) {
        RefPtr<ID3DXEffect> effect;
        EXPECT_EQ(D3DXCreateEffect(f.device.get(), bytes.data(), static_cast<UINT>(bytes.size()), nullptr,
                                   nullptr, 0, nullptr, effect.put(), nullptr),
                  D3DXERR_INVALIDDATA)
            << &bytes - bad.data();
        EXPECT_FALSE(effect);
    }
    // Whatever any one word says, the effect is refused or made and drawn with.
    for (const std::string& effect : {good, GlFixture::texturedEffect()}) {
        for (std::size_t at = 0; at + 4 <= effect.size(); at += 4) {
            for (const std::uint32_t word : {0u, 1u, 2u, 4u, 5u, 16u}) {
                RefPtr<ID3DXEffect> made = f.effect(patched(effect, at, word));
                if (made && made->GetTechnique(0) != nullptr) {
                    f.drawRectangle(*made, 0, 0, 4, 4);
                }
            }
        }
    }
}
