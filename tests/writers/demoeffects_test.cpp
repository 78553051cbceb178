#include "engine/gl/effectfile.h"
#include "engine/gl/expression.h"
#include "writers/demoeffects.h"

#include <mojoshader.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace {

constexpr std::uint32_t kScalar = 0;
constexpr std::uint32_t kVector = 1;
constexpr std::uint32_t kRows = 2;
constexpr std::uint32_t kObject = 4;
using Parameters = std::map<std::string, std::uint32_t>; // name: class

Parameters with(Parameters more) {
    more.insert({{"Emissive", kVector}, {"Diffuse", kVector}, {"Specular", kVector}, {"Shininess", kScalar}});
    return more;
}

// The material parameters the game's models set for each effect.
const std::map<std::string, Parameters> kMaterials = {
    {"MeshBumpColorize", with({{"Colorization", kVector},
                               {"UVOffset", kVector},
                               {"BaseTexture", kObject},
                               {"NormalTexture", kObject}})},
    {"MeshAlpha", with({{"BaseTexture", kObject}})},
    {"MeshGloss", with({{"BaseTexture", kObject}})},
    {"MeshGlossColorize",
     with({{"BaseTexture", kObject}, {"Colorization", kVector}, {"GlossTexture", kObject}})},
    {"MeshAdditive", {{"BaseTexture", kObject}, {"UVScrollRate", kVector}, {"Color", kVector}}},
    {"AlDefault", {{"BaseTexture", kObject}}},
    {"Default", {{"BaseTexture", kObject}}},
};

// The semantics the renderer sets, with the class of value it sets them with.
const Parameters kSemantics = {
    {"WORLDVIEWPROJECTION", kRows},
    {"WORLD", kRows},
    {"VIEW", kRows},
    {"PROJECTION", kRows},
    {"DIR_LIGHT_VEC_0", kVector},
    {"DIR_LIGHT_DIFFUSE_0", kVector},
    {"DIR_LIGHT_SPECULAR_0", kVector},
    {"LIGHT_SCALE", kVector},
    {"EYE_POSITION", kVector},
    {"TIME", kScalar},
};

// The shaders each technique runs, by version token; 0: the fixed-function pipeline.
constexpr std::uint32_t kFixed = 0;
constexpr std::uint32_t kVs11 = 0xFFFE0101;
constexpr std::uint32_t kPs11 = 0xFFFF0101;
constexpr std::uint32_t kPs14 = 0xFFFF0104;
constexpr std::uint32_t kPs20 = 0xFFFF0200;
using Techniques = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
const std::map<std::string, Techniques> kTechniques = {
    {"MeshBumpColorize", {{kVs11, kPs11}, {kVs11, kPs14}, {kFixed, kFixed}}},
    {"MeshGloss", {{kVs11, kPs20}, {kFixed, kFixed}}},
    {"MeshGlossColorize", {{kVs11, kPs11}, {kFixed, kFixed}}},
    {"MeshAlpha", {{kFixed, kFixed}}},
    {"MeshAdditive", {{kVs11, kPs11}, {kFixed, kFixed}}},
    {"AlDefault", {{kVs11, kPs11}, {kFixed, kFixed}}},
    {"Default", {{kVs11, kPs11}, {kFixed, kFixed}}},
};

EffectFile read(const std::string& bytes) {
    EffectFile file;
    std::string error;
    EXPECT_TRUE(
        EffectFile::read(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), file, error))
        << error;
    return file;
}

std::vector<std::uint32_t> words(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint32_t> w(bytes.size() / 4);
    std::memcpy(w.data(), bytes.data(), w.size() * 4);
    return w;
}

const EffectFile::State* state(const EffectFile::Pass& pass, std::uint32_t operation,
                               std::uint32_t index = 0) {
    for (const EffectFile::State& s : pass.states) {
        if (s.operation == operation && s.index == index) {
            return &s;
        }
    }
    return nullptr;
}

// The code a shader state runs: the named shader variable's, or its own; none for the integer 0.
const std::vector<std::uint8_t>* shaderCode(const EffectFile& file, const EffectFile::State& s, bool& named) {
    named = s.source == EffectFile::Source::Parameter;
    std::uint32_t id = s.value.empty() ? 0 : s.value[0];
    if (named) {
        id = file.parameters.at(static_cast<std::size_t>(file.parameterNamed(s.parameter))).value.at(0);
    } else if (s.type.klass != kObject) {
        return nullptr;
    }
    const auto found = file.objects.find(id);
    return found == file.objects.end() ? nullptr : &found->second;
}

bool contains(const std::vector<std::uint32_t>& code, const std::vector<std::uint32_t>& run) {
    return std::search(code.begin(), code.end(), run.begin(), run.end()) != code.end();
}

} // namespace

TEST(DemoEffects, EachDeclaresItsMaterialParametersAndTakesTheSceneBySemantic) {
    const std::map<std::string, std::string> effects = buildDemoEffects();
    ASSERT_EQ(effects.size(), kMaterials.size());
    for (const auto& [name, expected] : kMaterials) {
        SCOPED_TRACE(name);
        ASSERT_EQ(effects.count(name), 1u);
        const EffectFile file = read(effects.at(name));
        for (const auto& [parameter, klass] : expected) {
            const int index = file.parameterNamed(parameter);
            ASSERT_GE(index, 0) << parameter;
            EXPECT_EQ(file.parameters[static_cast<std::size_t>(index)].type.klass, klass) << parameter;
        }
        std::set<std::string> semantics;
        for (const EffectFile::Parameter& p : file.parameters) {
            if (!p.type.semantic.empty()) {
                ASSERT_EQ(kSemantics.count(p.type.semantic), 1u) << p.type.semantic;
                EXPECT_EQ(p.type.klass, kSemantics.at(p.type.semantic)) << p.type.semantic;
                semantics.insert(p.type.semantic);
            }
        }
        semantics.insert("TIME"); // only for effects that move with time
        EXPECT_EQ(semantics.size(), kSemantics.size());
    }
}

// The first technique is the one drawn; the others are there as in the game's files. Every shader
// is a named shader variable but MeshAdditive's, written in its pass, as the game's are.
TEST(DemoEffects, TechniquesGoFromTheRichestShadersToTheFixedFunctionPipeline) {
    for (const auto& [name, bytes] : buildDemoEffects()) {
        SCOPED_TRACE(name);
        const EffectFile file = read(bytes);
        const Techniques& expected = kTechniques.at(name);
        ASSERT_EQ(file.techniques.size(), expected.size());
        for (std::size_t t = 0; t < expected.size(); ++t) {
            SCOPED_TRACE(file.techniques[t].name);
            ASSERT_EQ(file.techniques[t].passes.size(), 1u);
            const EffectFile::Pass& pass = file.techniques[t].passes[0];
            for (const std::uint32_t operation : {0x92u, 0x93u}) {
                const EffectFile::State* s = state(pass, operation);
                ASSERT_NE(s, nullptr) << operation;
                bool named = false;
                const std::vector<std::uint8_t>* code = shaderCode(file, *s, named);
                const std::uint32_t wanted = operation == 0x92u ? expected[t].first : expected[t].second;
                if (wanted == kFixed) {
                    EXPECT_EQ(code, nullptr);
                    EXPECT_EQ(s->value, std::vector<std::uint32_t>{0});
                    continue;
                }
                ASSERT_NE(code, nullptr);
                EXPECT_EQ(words(*code).at(0), wanted);
                EXPECT_EQ(named, name != "MeshAdditive");
                const MOJOSHADER_parseData* parsed = MOJOSHADER_parse(
                    "bytecode", nullptr, code->data(), static_cast<unsigned int>(code->size()), nullptr, 0,
                    nullptr, 0, nullptr, nullptr, nullptr);
                EXPECT_EQ(parsed->error_count, 0) << (parsed->error_count ? parsed->errors[0].error : "");
                // The vertex has a position, a normal and one texture coordinate.
                for (int i = 0; operation == 0x92u && i < parsed->attribute_count; ++i) {
                    const MOJOSHADER_attribute& a = parsed->attributes[i];
                    EXPECT_TRUE(a.usage == MOJOSHADER_USAGE_POSITION || a.usage == MOJOSHADER_USAGE_NORMAL ||
                                a.usage == MOJOSHADER_USAGE_TEXCOORD);
                    EXPECT_EQ(a.index, 0);
                }
                MOJOSHADER_freeParseData(parsed);
            }
        }
    }
}

// Every sampler a shader reads or a fixed-function stage takes samples a texture the models set.
TEST(DemoEffects, TexturesComeFromTheMaterialsTextureParameters) {
    for (const auto& [name, bytes] : buildDemoEffects()) {
        SCOPED_TRACE(name);
        const EffectFile file = read(bytes);
        std::set<std::string> sampled;
        for (const EffectFile::Parameter& p : file.parameters) {
            for (const auto& sampler : p.samplers) {
                for (const EffectFile::State& s : sampler) {
                    if (s.operation == 0xA4) {
                        sampled.insert(s.parameter);
                    }
                }
            }
        }
        for (const EffectFile::Technique& t : file.techniques) {
            if (const EffectFile::State* s = state(t.passes.at(0), 0xA4)) {
                sampled.insert(s->parameter);
            }
        }
        ASSERT_FALSE(sampled.empty());
        for (const std::string& texture : sampled) {
            ASSERT_EQ(kMaterials.at(name).count(texture), 1u) << texture;
            EXPECT_EQ(kMaterials.at(name).at(texture), kObject);
        }
    }
}

// ps_1_1 reads its coordinates as a colour with texcoord (opcode 0x40, here spelled texcrd), ps_1_4
// with texcrd, and samples with tex and texld (0x42).
TEST(DemoEffects, BumpColorizeReadsCoordinatesAsColourInBothPixelShaderModels) {
    const EffectFile file = read(buildDemoEffects().at("MeshBumpColorize"));
    const std::pair<std::size_t, std::vector<std::vector<std::uint32_t>>> expected[] = {
        {0, {{0x42, 0xB00F0000}, {0x42, 0xB00F0001}, {0x40, 0xB00F0002}}}, // tex t0, tex t1, texcoord t2
        {1, {{0x40, 0x80070002, 0xB0E40002}, {0x0000FFFD}, {0x42, 0x800F0000, 0xB0E40000}}},
    };
    for (const auto& [technique, runs] : expected) {
        bool named = false;
        const std::vector<std::uint8_t>* code =
            shaderCode(file, *state(file.techniques.at(technique).passes.at(0), 0x93), named);
        ASSERT_NE(code, nullptr);
        for (const std::vector<std::uint32_t>& run : runs) {
            EXPECT_TRUE(contains(words(*code), run)) << technique << ": " << std::hex << run[0];
        }
    }
}

// MeshAlpha draws with the fixed-function pipeline, its transforms, light and material computed
// from what the renderer sets; run here as D3DX runs them.
TEST(DemoEffects, MeshAlphaTakesTransformsLightAndMaterialFromItsParameters) {
    const EffectFile file = read(buildDemoEffects().at("MeshAlpha"));
    std::vector<float> world(16), view(16), projection(16);
    for (int i = 0; i < 16; ++i) {
        world[i] = 1.0f + i;
        view[i] = 0.5f * i - 3.0f;
        projection[i] = 100.0f - i * i;
    }
    const std::map<std::string, std::vector<float>> set = {
        {"World", world},
        {"View", view},
        {"Projection", projection},
        {"LightDirection", {-1, 0, -1, 1}},
        {"LightDiffuse", {0.6f, 0.6f, 0.6f, 1}},
        {"LightScale", {0.5f, 1, 2, 1}},
        {"Diffuse", {0.5f, 0.6f, 0.9f, 0.6f}},
        {"Emissive", {0.1f, -0.5f, 1.5f, 0}},
    };
    ConstantBinding::Values values;
    for (const EffectFile::Parameter& p : file.parameters) {
        values.push_back(p.value);
        const auto found = set.find(p.type.name);
        if (found != set.end()) {
            values.back().resize(found->second.size());
            std::memcpy(values.back().data(), found->second.data(), found->second.size() * 4);
        }
    }
    const float s = 1.0f / std::sqrt(2.0f);
    const std::map<std::uint32_t, std::vector<float>> expected = {
        {0x7D, world},
        {0x7C, view},
        {0x7B, projection},
        {0x89, {-s, 0, -s}},
        {0x85, {0.3f, 0.6f, 1.2f, 1}},
        {0x7F, {0.5f, 0.6f, 0.9f, 0.6f}},
        {0x80, {0.25f, 0.3f, 0.45f, 0.3f}},
        {0x82, {0.1f, 0, 1, 0}},
    };
    const EffectFile::Pass& pass = file.techniques.at(0).passes.at(0);
    for (const auto& [operation, numbers] : expected) {
        SCOPED_TRACE(operation);
        const EffectFile::State* st = state(pass, operation);
        ASSERT_NE(st, nullptr);
        ASSERT_EQ(st->source, EffectFile::Source::Expression);
        ASSERT_EQ(st->value.size(), numbers.size());
        const std::vector<std::uint32_t> code = words(st->code);
        Expression e;
        std::string error;
        ASSERT_TRUE(Expression::read(code.data(), code.size(), file.parameters, e, error)) << error;
        ConstantBinding::Registers out;
        e.run(values, out);
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            EXPECT_NEAR(out.floats.at(i), numbers[i], 1e-6) << i;
        }
    }
    // The rest are plain: a lit directional light 0, the base texture times the lit colour.
    const std::map<std::pair<std::uint32_t, std::uint32_t>, int> plain = {
        {{0x30, 0}, 1}, {{0x84, 0}, 3}, {{0x91, 0}, 1}, {{0x67, 0}, 4}, {{0x69, 0}, 2}, {{0x6A, 0}, 0},
        {{0x6B, 0}, 4}, {{0x67, 1}, 1}, {{0x0D, 0}, 1}, {{0x06, 0}, 5}, {{0x07, 0}, 6}, {{0x03, 0}, 0},
    };
    for (const auto& [key, v] : plain) {
        const EffectFile::State* st = state(pass, key.first, key.second);
        ASSERT_NE(st, nullptr) << key.first;
        EXPECT_EQ(st->value, std::vector<std::uint32_t>{static_cast<std::uint32_t>(v)}) << key.first;
    }
    EXPECT_EQ(state(pass, 0xA4)->parameter, "BaseTexture");
    EXPECT_EQ(state(pass, 0x83)->parameter, "Shininess");
}

TEST(DemoEffects, AlphaAndAdditiveEffectsBlendWithoutWritingDepthAndTheOthersDoNotBlend) {
    const std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> blending = {
        {"MeshAlpha", {5, 6}},    // source alpha, inverse source alpha
        {"MeshAdditive", {2, 2}}, // one, one
    };
    for (const auto& [name, bytes] : buildDemoEffects()) {
        SCOPED_TRACE(name);
        const EffectFile file = read(bytes);
        for (const EffectFile::Technique& t : file.techniques) {
            const EffectFile::Pass& pass = t.passes.at(0);
            const auto found = blending.find(name);
            const std::uint32_t blend = found == blending.end() ? 0 : 1;
            ASSERT_NE(state(pass, 0x0D), nullptr);
            EXPECT_EQ(state(pass, 0x0D)->value.at(0), blend);
            EXPECT_EQ(state(pass, 0x03)->value.at(0), 1 - blend);
            if (blend != 0) {
                EXPECT_EQ(state(pass, 0x06)->value.at(0), found->second.first);
                EXPECT_EQ(state(pass, 0x07)->value.at(0), found->second.second);
            }
        }
    }
}
