#include "parsedeffect.h"
#include "writers/demoeffects.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

namespace {

const std::string kLit = " Emissive Diffuse Specular Shininess";

// The material parameters the game's models set for each effect.
const std::map<std::string, std::string> kMaterials = {
    {"MeshBumpColorize", "Colorization UVOffset BaseTexture NormalTexture" + kLit},
    {"MeshAlpha", "BaseTexture" + kLit},
    {"MeshGloss", "BaseTexture" + kLit},
    {"MeshGlossColorize", "BaseTexture Colorization GlossTexture" + kLit},
    {"MeshAdditive", "BaseTexture UVScrollRate Color"},
    {"AlDefault", "BaseTexture"},
    {"Default", "BaseTexture"},
};

// The semantics the renderer sets.
const std::set<std::string> kSemantics = {
    "WORLDVIEWPROJECTION",  "WORLD",       "DIR_LIGHT_VEC_0", "DIR_LIGHT_DIFFUSE_0",
    "DIR_LIGHT_SPECULAR_0", "LIGHT_SCALE", "EYE_POSITION",    "TIME"};

// The class of value a parameter or semantic of that name takes.
MOJOSHADER_symbolClass classOf(const std::string& name) {
    if (name.find("Texture") != std::string::npos) {
        return MOJOSHADER_SYMCLASS_OBJECT;
    }
    if (name.rfind("WORLD", 0) == 0) {
        return MOJOSHADER_SYMCLASS_MATRIX_ROWS;
    }
    return name == "Shininess" || name == "TIME" ? MOJOSHADER_SYMCLASS_SCALAR : MOJOSHADER_SYMCLASS_VECTOR;
}

// Alpha blending, source and destination blend, depth writes; the effects not named do not blend.
const std::map<std::string, std::vector<int>> kBlending = {
    {"MeshAlpha", {1, MOJOSHADER_BLEND_SRCALPHA, MOJOSHADER_BLEND_INVSRCALPHA, 0}},
    {"MeshAdditive", {1, MOJOSHADER_BLEND_ONE, MOJOSHADER_BLEND_ONE, 0}},
};

} // namespace

TEST(DemoEffects, EachTakesItsMaterialAndTheRenderersSemanticsAndBlendsAsItsKindDoes) {
    const std::map<std::string, std::string> effects = buildDemoEffects();
    ASSERT_EQ(effects.size(), kMaterials.size());
    for (const auto& [name, material] : kMaterials) {
        SCOPED_TRACE(name);
        const ParsedEffect parsed(effects.at(name));
        ASSERT_EQ(parsed.error(), "");
        std::istringstream names(material);
        for (std::string parameter; names >> parameter;) {
            ASSERT_NE(parsed.parameter(parameter), nullptr) << parameter;
            EXPECT_EQ(parsed.parameter(parameter)->value.type.parameter_class, classOf(parameter))
                << parameter;
        }
        std::set<std::string> semantics = {"TIME"}; // only for effects that move with time
        for (int i = 0; i < parsed.effect().param_count; ++i) {
            const MOJOSHADER_effectValue& v = parsed.effect().params[i].value;
            if (v.semantic != nullptr) {
                EXPECT_EQ(kSemantics.count(v.semantic), 1u) << v.semantic;
                EXPECT_EQ(v.type.parameter_class, classOf(v.semantic)) << v.semantic;
                semantics.insert(v.semantic);
            }
        }
        EXPECT_EQ(semantics, kSemantics);

        ASSERT_EQ(parsed.effect().technique_count, 1);
        const MOJOSHADER_effectPass& pass = parsed.effect().techniques[0].passes[0];
        // The vertex declaration has a position, a normal and one texture coordinate.
        const MOJOSHADER_parseData& vertex =
            parsed.shader(*ParsedEffect::state(pass, MOJOSHADER_RS_VERTEXSHADER));
        for (int i = 0; i < vertex.attribute_count; ++i) {
            const MOJOSHADER_usage usage = vertex.attributes[i].usage;
            EXPECT_TRUE(usage == MOJOSHADER_USAGE_POSITION || usage == MOJOSHADER_USAGE_NORMAL ||
                        usage == MOJOSHADER_USAGE_TEXCOORD);
            EXPECT_EQ(vertex.attributes[i].index, 0);
        }
        // Every sampler samples one of the material's textures.
        const MOJOSHADER_effectState& ps = *ParsedEffect::state(pass, MOJOSHADER_RS_PIXELSHADER);
        const MOJOSHADER_effectShader& pixel = parsed.effect().objects[ps.value.valuesI[0]].shader;
        ASSERT_GE(pixel.sampler_count, 1u);
        for (unsigned int i = 0; i < pixel.sampler_count; ++i) {
            const std::string texture =
                parsed.samplerTexture(*parsed.parameter(pixel.samplers[i].sampler_name));
            EXPECT_NE((" " + material + " ").find(" " + texture + " "), std::string::npos) << texture;
            EXPECT_EQ(classOf(texture), MOJOSHADER_SYMCLASS_OBJECT) << texture;
        }

        std::vector<int> blending;
        for (const auto state : {MOJOSHADER_RS_ALPHABLENDENABLE, MOJOSHADER_RS_SRCBLEND,
                                 MOJOSHADER_RS_DESTBLEND, MOJOSHADER_RS_ZWRITEENABLE}) {
            const MOJOSHADER_effectState* s = ParsedEffect::state(pass, state);
            blending.push_back(s ? s->value.valuesI[0] : -1);
        }
        EXPECT_EQ(blending[0], kBlending.count(name));
        EXPECT_TRUE(!kBlending.count(name) || blending == kBlending.at(name));
    }
}
