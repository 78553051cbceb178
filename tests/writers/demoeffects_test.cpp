#include "parsedeffect.h"
#include "writers/demoeffects.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace {

const MOJOSHADER_symbolClass kFloat = MOJOSHADER_SYMCLASS_SCALAR;
const MOJOSHADER_symbolClass kFloat4 = MOJOSHADER_SYMCLASS_VECTOR;
const MOJOSHADER_symbolClass kTexture = MOJOSHADER_SYMCLASS_OBJECT;
using Parameters = std::map<std::string, MOJOSHADER_symbolClass>;

Parameters with(Parameters more) {
    more.insert({{"Emissive", kFloat4}, {"Diffuse", kFloat4}, {"Specular", kFloat4}, {"Shininess", kFloat}});
    return more;
}

// The material parameters the game's models set for each effect.
const std::map<std::string, Parameters> kMaterials = {
    {"MeshBumpColorize", with({{"Colorization", kFloat4},
                               {"UVOffset", kFloat4},
                               {"BaseTexture", kTexture},
                               {"NormalTexture", kTexture}})},
    {"MeshAlpha", with({{"BaseTexture", kTexture}})},
    {"MeshGloss", with({{"BaseTexture", kTexture}})},
    {"MeshGlossColorize",
     with({{"BaseTexture", kTexture}, {"Colorization", kFloat4}, {"GlossTexture", kTexture}})},
    {"MeshAdditive", {{"BaseTexture", kTexture}, {"UVScrollRate", kFloat4}, {"Color", kFloat4}}},
    {"AlDefault", {{"BaseTexture", kTexture}}},
    {"Default", {{"BaseTexture", kTexture}}},
};

// The semantics the renderer sets, with the class of value it sets them with.
const Parameters kSemantics = {
    {"WORLDVIEWPROJECTION", MOJOSHADER_SYMCLASS_MATRIX_ROWS},
    {"WORLD", MOJOSHADER_SYMCLASS_MATRIX_ROWS},
    {"DIR_LIGHT_VEC_0", kFloat4},
    {"DIR_LIGHT_DIFFUSE_0", kFloat4},
    {"DIR_LIGHT_SPECULAR_0", kFloat4},
    {"LIGHT_SCALE", kFloat4},
    {"EYE_POSITION", kFloat4},
    {"TIME", kFloat},
};

int stateValue(const MOJOSHADER_effectPass& pass, MOJOSHADER_renderStateType type) {
    const MOJOSHADER_effectState* s = ParsedEffect::state(pass, type);
    return s ? s->value.valuesI[0] : -1;
}

} // namespace

TEST(DemoEffects, EachDeclaresItsMaterialParametersAndShadersReadOnlyWhatTheRendererFeeds) {
    const std::map<std::string, std::string> effects = buildDemoEffects();
    ASSERT_EQ(effects.size(), kMaterials.size());
    for (const auto& [name, expected] : kMaterials) {
        SCOPED_TRACE(name);
        ASSERT_EQ(effects.count(name), 1u);
        const ParsedEffect parsed(effects.at(name));
        ASSERT_EQ(parsed.error(), "");
        for (const auto& [parameter, typeClass] : expected) {
            ASSERT_NE(parsed.parameter(parameter), nullptr) << parameter;
            EXPECT_EQ(parsed.parameter(parameter)->value.type.parameter_class, typeClass) << parameter;
        }
        std::set<std::string> semantics;
        for (int i = 0; i < parsed.effect().param_count; ++i) {
            const MOJOSHADER_effectValue& v = parsed.effect().params[i].value;
            if (v.semantic != nullptr) {
                ASSERT_EQ(kSemantics.count(v.semantic), 1u) << v.semantic;
                EXPECT_EQ(v.type.parameter_class, kSemantics.at(v.semantic)) << v.semantic;
                semantics.insert(v.semantic);
            }
        }
        semantics.insert("TIME"); // only for effects that move with time
        EXPECT_EQ(semantics.size(), kSemantics.size());

        ASSERT_EQ(parsed.effect().technique_count, 1);
        ASSERT_EQ(parsed.effect().techniques[0].pass_count, 1u);
        const MOJOSHADER_effectPass& pass = parsed.effect().techniques[0].passes[0];
        const MOJOSHADER_effectState* vs = ParsedEffect::state(pass, MOJOSHADER_RS_VERTEXSHADER);
        const MOJOSHADER_effectState* ps = ParsedEffect::state(pass, MOJOSHADER_RS_PIXELSHADER);
        ASSERT_TRUE(vs != nullptr && ps != nullptr);
        // The vertex declaration has a position, a normal and one texture coordinate.
        const MOJOSHADER_parseData& vertex = parsed.shader(*vs);
        for (int i = 0; i < vertex.attribute_count; ++i) {
            const MOJOSHADER_attribute& a = vertex.attributes[i];
            EXPECT_TRUE(a.usage == MOJOSHADER_USAGE_POSITION || a.usage == MOJOSHADER_USAGE_NORMAL ||
                        a.usage == MOJOSHADER_USAGE_TEXCOORD);
            EXPECT_EQ(a.index, 0);
        }
        const MOJOSHADER_effectShader& pixel = parsed.effect().objects[ps->value.valuesI[0]].shader;
        ASSERT_GE(pixel.sampler_count, 1u);
        for (unsigned int i = 0; i < pixel.sampler_count; ++i) {
            const std::string texture =
                parsed.samplerTexture(*parsed.parameter(pixel.samplers[i].sampler_name));
            ASSERT_EQ(expected.count(texture), 1u)
                << pixel.samplers[i].sampler_name << " samples " << texture;
            EXPECT_EQ(expected.at(texture), kTexture);
        }
    }
}

TEST(DemoEffects, AlphaAndAdditiveEffectsBlendWithoutWritingDepthAndTheOthersDoNotBlend) {
    const std::map<std::string, std::string> effects = buildDemoEffects();
    const std::map<std::string, std::pair<int, int>> blending = {
        {"MeshAlpha", {MOJOSHADER_BLEND_SRCALPHA, MOJOSHADER_BLEND_INVSRCALPHA}},
        {"MeshAdditive", {MOJOSHADER_BLEND_ONE, MOJOSHADER_BLEND_ONE}},
    };
    for (const auto& [name, bytes] : effects) {
        SCOPED_TRACE(name);
        const ParsedEffect parsed(bytes);
        const MOJOSHADER_effectPass& pass = parsed.effect().techniques[0].passes[0];
        const auto found = blending.find(name);
        if (found == blending.end()) {
            EXPECT_EQ(stateValue(pass, MOJOSHADER_RS_ALPHABLENDENABLE), 0);
            continue;
        }
        EXPECT_EQ(stateValue(pass, MOJOSHADER_RS_ALPHABLENDENABLE), 1);
        EXPECT_EQ(stateValue(pass, MOJOSHADER_RS_SRCBLEND), found->second.first);
        EXPECT_EQ(stateValue(pass, MOJOSHADER_RS_DESTBLEND), found->second.second);
        EXPECT_EQ(stateValue(pass, MOJOSHADER_RS_ZWRITEENABLE), 0);
    }
}
