#include "engine/gl/gleffect.h"
#include "glfixture.h"
#include "writers/ddswriter.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace d3d;

namespace {

using Op = ExpressionAssembler::Op;
using Table = ExpressionAssembler::Table;

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

EffectWriter::Technique technique(const std::string& name, std::vector<EffectWriter::State> states,
                                  EffectWriter::Shader vs = {}, EffectWriter::Shader ps = {}) {
    return {name, {{"P0", std::move(states), std::move(vs), std::move(ps), {}}}, {}};
}

// A flat colour (Color, read as c0) through a vertex and a pixel shader: named variables in
// technique "Named", a pixel shader 1.1 the translator refuses (rcp) in "Refused", and the
// fixed-function pipeline in "Fixed", whose world matrix and emissive colour are expressions over
// Shift (a float4x4, rows read) and Glow (halved), lit without normals.
std::string shapesEffect() {
    const EffectWriter::Shader vs = {"vs_1_1\ndcl_position v0\nmov oPos, v0\n", {}};
    const EffectWriter::Shader ps = {"ps_2_0\nmov oC0, c0\n", {{"Color", 0}}};
    using T = EffectWriter::Type;
    EffectWriter w;
    w.addParameter({"Color", T::Float4, "", {0.2f, 0.4f, 0.6f, 1}, "", {}, {}});
    w.addParameter({"Glow", T::Float4, "", {1.6f, 0.8f, 0.4f, 2}, "", {}, {}});
    w.addParameter(
        {"Shift", T::Float4x4, "", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1}, "", {}, {}});
    w.addParameter({"Unread", T::Float4, "", {}, "", {}, {}});
    w.addParameter({"VS", T::VertexShader, "", {}, "", {}, {}, vs});
    w.addParameter({"PS", T::PixelShader, "", {}, "", {}, {}, ps});
    EffectWriter::State world{"WorldTransform", 0, 0, {}, {}, {{{"Shift", 0, false}}, {}, {}}};
    for (std::uint32_t r = 0; r < 4; ++r) {
        world.expression.instructions.push_back(
            {Op::Mov, 4, false, {{Table::Input, r, 0}}, {Table::Output, r, 0}});
    }
    const EffectWriter::State emissive{
        "MaterialEmissive",
        0,
        0,
        {},
        {},
        {{{"Glow", 0, false}},
         {0.5, 0, 0, 0},
         {{Op::Mul, 4, true, {{Table::Literal, 0, 0}, {Table::Input, 0, 0}}, {Table::Output, 0, 0}}}}};
    w.addTechnique(technique("Named", {{"VertexShader", 0, 0, {}, "VS"}, {"PixelShader", 0, 0, {}, "PS"}}));
    w.addTechnique(technique("Refused", {}, vs, {"ps_1_1\nrcp r0, c0\n", {{"Color", 0}}}));
    w.addTechnique(technique("Fixed", {{"VertexShader", 0},
                                       {"PixelShader", 0},
                                       {"Lighting", 1},
                                       {"ColorOp", 2},   // SELECTARG1
                                       {"ColorArg1", 0}, // DIFFUSE
                                       world,
                                       emissive}));
    return w.build();
}

} // namespace

TEST(GlEffect, ParametersAreUsedWhenStatesShadersOrExpressionsReadThemAndFoundByHandleOrName) {
    GlFixture f;
    RefPtr<ID3DXEffect> effect = f.effect(shapesEffect());
    ASSERT_TRUE(effect);
    const std::map<std::string, std::vector<BOOL>> used = {
        // by Named, Refused, Fixed
        {"Color", {1, 1, 0}},  {"Glow", {0, 0, 1}}, {"Shift", {0, 0, 1}},
        {"Unread", {0, 0, 0}}, {"VS", {1, 0, 0}},   {"PS", {1, 0, 0}},
    };
    for (const auto& [name, by] : used) {
        const D3DXHANDLE p = effect->GetParameterByName(nullptr, name.c_str());
        ASSERT_NE(p, nullptr) << name;
        for (UINT t = 0; t < 3; ++t) {
            EXPECT_EQ(effect->IsParameterUsed(p, effect->GetTechnique(t)), by[t]) << name << " " << t;
        }
        // A name stands for its handle.
        EXPECT_EQ(effect->IsParameterUsed(name.c_str(), "Named"), by[0]) << name;
    }
    D3DXPARAMETER_DESC d{};
    EXPECT_EQ(effect->GetParameterDesc("NoSuch", &d), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->GetParameterByName(nullptr, "NoSuch"), nullptr);
    EXPECT_EQ(effect->IsParameterUsed("Color", "NoSuchTechnique"), 0);
}

TEST(GlEffect, NamedShadersDrawAsInlineOnesAndATechniqueThatCannotRunDrawsNothing) {
    GlFixture f;
    RefPtr<ID3DXEffect> effect = f.effect(shapesEffect());
    ASSERT_TRUE(effect);
    f.clear();
    f.drawRectangle(*f.effect(GlFixture::flatEffect()), -0.5f, -0.5f, 15.5f, 15.5f);
    const std::uint32_t flat = f.rgb(8, 8);
    EXPECT_NE(flat, 0u);
    EXPECT_EQ(effect->SetFloatArray("Color", std::vector<float>{1, 1, 1, 1}.data(), 4), D3D_OK);
    f.clear();
    f.drawRectangle(*effect, -0.5f, -0.5f, 15.5f, 15.5f, 0.5f, 0);
    EXPECT_EQ(f.rgb(8, 8), flat);
    // The refused shader fails only its technique: its passes begin with an error and draw nothing.
    const auto& gl = static_cast<GlEffect&>(*effect);
    EXPECT_EQ(gl.techniqueProblem(0), "");
    EXPECT_NE(gl.techniqueProblem(1).find("pixel shader: "), std::string::npos);
    f.clear();
    f.drawRectangle(*effect, -0.5f, -0.5f, 15.5f, 15.5f, 0.5f, 1);
    EXPECT_EQ(f.rgb(8, 8), 0u);
    EXPECT_EQ(f.gl().drawProblem(), "the pass cannot be drawn");
}

TEST(GlEffect, FixedFunctionStatesComeFromExpressionsComputedAgainWhenTheirParametersChange) {
    GlFixture f;
    RefPtr<ID3DXEffect> effect = f.effect(shapesEffect());
    ASSERT_TRUE(effect);
    f.clear();
    // Shift moves the rectangle (x from 0 to 8 pixels) half the clip space, 4 pixels, right.
    f.drawRectangle(*effect, -0.5f, -0.5f, 7.5f, 15.5f, 0.5f, 2);
    EXPECT_EQ(f.rgb(2, 8), 0u);
    EXPECT_EQ(f.rgb(10, 8), 0xCC6633u); // Glow / 2
    // Between CommitChanges the expression sees the new value.
    UINT passes = 0;
    ASSERT_EQ(effect->SetTechnique("Fixed"), D3D_OK); // the third, by name
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    effect->SetFloatArray("Glow", std::vector<float>{0.4f, 1.2f, 0.8f, 2}.data(), 4);
    effect->CommitChanges();
    f.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
    effect->End();
    EXPECT_EQ(f.rgb(10, 8), 0x339966u);
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
    // As D3DX: End and CommitChanges with nothing begun do nothing and succeed.
    EXPECT_EQ(effect->SetTechnique("NoSuch"), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->End(), D3D_OK);
    EXPECT_EQ(effect->Begin(nullptr, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(effect->Begin(&passes, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTechnique(effect->GetTechnique(0)), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->CommitChanges(), D3D_OK);
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

TEST(GlEffect, RefusesWhatDoesNotHoldTakesWhatD3DXTakesAndNeverCrashes) {
    GlFixture f;
    const std::string good = GlFixture::flatEffect();
    ASSERT_TRUE(f.effect(good));
    std::vector<std::string> bad = {"This is not an effect.\n"};
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        bad.push_back(good.substr(0, cut));
    }
    // After the pool: the counts (the object count last), Color's type and value, the technique,
    // the pass, the vertex and pixel shader states (operation, index, type, value), the object and
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
             {colourType, 5},     // a vector of textures
             {colourType + 8, 0}, // a parameter without a name
             {code + 16, 3},      // code of an unknown use
             {records + 40, 0xB3} // an operation past the state table
         }) {
        bad.push_back(patched(good, at, word));
    }
    // The Texture state of a sampler holding a string.
    const std::string textured = GlFixture::texturedEffect();
    bad.push_back(replaced(textured, {5, 4, 0, 0, 0}, {4, 4, 0, 0, 0}));
    for (const std::string& bytes : bad) {
        RefPtr<ID3DXEffect> effect;
        EXPECT_EQ(D3DXCreateEffect(f.device.get(), bytes.data(), static_cast<UINT>(bytes.size()), nullptr,
                                   nullptr, 0, nullptr, effect.put(), nullptr),
                  D3DXERR_INVALIDDATA)
            << &bytes - bad.data();
        EXPECT_FALSE(effect);
    }
    // D3DX makes these: a constant no parameter holds stays 0, a shader without code leaves its
    // stage to the fixed-function pipeline, a pixel shader on the vertex shader's state fails only
    // the technique, states of any kind may sit in a sampler.
    for (const std::string& bytes :
         {patched(good, colourName, 0x6F6C6F58), // Xolor
          patched(good, vertexShaderId, wordAt(good, pixelShaderId)), patched(good, code + 12, 1),
          patched(good, records + 76, 1), replaced(textured, {0xAA, 0}, {0x9F, 0}),
          replaced(textured, {0xAA, 0}, {0xB2, 0})}) {
        EXPECT_TRUE(f.effect(bytes));
    }
    // Whatever any one word says, the effect is refused or made and drawn with.
    for (const std::string& effect : {good, textured, shapesEffect()}) {
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
