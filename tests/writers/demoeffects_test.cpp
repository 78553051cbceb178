#include "engine/gl/effectfile.h"
#include "engine/gl/expression.h"
#include "writers/demoeffects.h"

#include <gtest/gtest.h>

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
    {"Default", {{"BaseTexture", kObject}}}};

// The semantics the renderer sets: these matrices (rows), TIME a scalar, the others vectors.
const std::set<std::string> kMatrices = {"WORLDVIEWPROJECTION", "WORLD", "VIEW", "PROJECTION"};
const std::set<std::string> kVectors = {"DIR_LIGHT_VEC_0", "DIR_LIGHT_DIFFUSE_0", "DIR_LIGHT_SPECULAR_0",
                                        "LIGHT_SCALE", "EYE_POSITION"};

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
    {"Default", {{kVs11, kPs11}, {kFixed, kFixed}}}};

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

} // namespace

// Each effect declares the material parameters of its models and takes the scene by semantic. The
// first technique is the one drawn; the others are there as in the game's files. Every shader is a
// named shader variable but MeshAdditive's, written in its pass, as the game's are.
TEST(DemoEffects, EachTakesItsParametersAndGoesFromTheRichestShadersToFixedFunction) {
    const std::map<std::string, std::string> effects = buildDemoEffects();
    ASSERT_EQ(effects.size(), kMaterials.size());
    for (const auto& [name, materials] : kMaterials) {
        SCOPED_TRACE(name);
        const EffectFile file = read(effects.at(name));
        for (const auto& [parameter, klass] : materials) {
            const int index = file.parameterNamed(parameter);
            ASSERT_GE(index, 0) << parameter;
            EXPECT_EQ(file.parameters[static_cast<std::size_t>(index)].type.klass, klass) << parameter;
        }
        std::set<std::string> semantics = {"TIME"}; // only for effects that move with time
        for (const EffectFile::Parameter& p : file.parameters) {
            for (const auto& sampler : p.samplers) { // samplers sample textures the models set
                for (const EffectFile::State& s : sampler) {
                    EXPECT_TRUE(s.operation != 0xA4 || materials.count(s.parameter) == 1) << s.parameter;
                }
            }
            const std::string& semantic = p.type.semantic;
            if (!semantic.empty()) {
                semantics.insert(semantic);
                EXPECT_EQ(p.type.klass, kMatrices.count(semantic) ? kRows
                                        : semantic == "TIME"      ? kScalar
                                                                  : kVector);
            }
        }
        EXPECT_EQ(semantics.size(), 10u);

        const Techniques& expected = kTechniques.at(name);
        ASSERT_EQ(file.techniques.size(), expected.size());
        for (std::size_t t = 0; t < expected.size(); ++t) {
            ASSERT_EQ(file.techniques[t].passes.size(), 1u);
            for (const std::uint32_t operation : {0x92u, 0x93u}) {
                const EffectFile::State* s = state(file.techniques[t].passes[0], operation);
                ASSERT_NE(s, nullptr) << t << ": " << operation;
                bool named = false;
                const std::vector<std::uint8_t>* code = shaderCode(file, *s, named);
                const std::uint32_t wanted = operation == 0x92u ? expected[t].first : expected[t].second;
                if (wanted == kFixed) {
                    EXPECT_EQ(s->value, std::vector<std::uint32_t>{0}) << t;
                    continue;
                }
                ASSERT_NE(code, nullptr) << t;
                EXPECT_EQ(words(*code).at(0), wanted) << t;
                EXPECT_EQ(named, name != "MeshAdditive") << t;
            }
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
    const std::map<std::string, std::vector<float>> set = {{"World", world},
                                                           {"View", view},
                                                           {"Projection", projection},
                                                           {"LightDirection", {-1, 0, -1, 1}},
                                                           {"LightDiffuse", {0.6f, 0.6f, 0.6f, 1}},
                                                           {"LightScale", {0.5f, 1, 2, 1}},
                                                           {"Diffuse", {0.5f, 0.6f, 0.9f, 0.6f}},
                                                           {"Emissive", {0.1f, -0.5f, 1.5f, 0}}};
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
    const std::map<std::uint32_t, std::vector<float>> expected = {{0x7D, world},
                                                                  {0x7C, view},
                                                                  {0x7B, projection},
                                                                  {0x89, {-s, 0, -s}},
                                                                  {0x85, {0.3f, 0.6f, 1.2f, 1}},
                                                                  {0x7F, {0.5f, 0.6f, 0.9f, 0.6f}},
                                                                  {0x80, {0.25f, 0.3f, 0.45f, 0.3f}},
                                                                  {0x82, {0.1f, 0, 1, 0}}};
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
    // The rest are plain: a lit directional light 0, the base texture times the lit colour, blended
    // by source alpha over what is behind without writing depth.
    const std::uint32_t plain[][3] = {{0x30, 0, 1}, {0x84, 0, 3}, {0x91, 0, 1}, {0x67, 0, 4},
                                      {0x69, 0, 2}, {0x6A, 0, 0}, {0x6B, 0, 4}, {0x67, 1, 1},
                                      {0x0D, 0, 1}, {0x06, 0, 5}, {0x07, 0, 6}, {0x03, 0, 0}};
    for (const auto& [operation, index, v] : plain) {
        ASSERT_NE(state(pass, operation, index), nullptr) << operation;
        EXPECT_EQ(state(pass, operation, index)->value, std::vector<std::uint32_t>{v}) << operation;
    }
    EXPECT_EQ(state(pass, 0xA4)->parameter, "BaseTexture");
    EXPECT_EQ(state(pass, 0x83)->parameter, "Shininess");
}
