#include "engine/gl/expression.h"
#include "parsedeffect.h"
#include "writers/demoeffects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace {

const EffectFile::State* state(const EffectFile::Pass& pass, std::uint32_t operation) {
    for (const EffectFile::State& s : pass.states) {
        if (s.operation == operation) {
            return &s;
        }
    }
    return nullptr;
}

} // namespace

// MeshAlpha draws with the fixed-function pipeline, its transforms, light and material computed
// from what the renderer sets; run here as D3DX runs them.
TEST(DemoEffects, MeshAlphaTakesTransformsLightAndMaterialFromItsParameters) {
    const EffectFile file = readEffectFile(buildDemoEffects().at("MeshAlpha"));
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
    EXPECT_EQ(state(pass, 0xA4)->parameter, "BaseTexture");
    EXPECT_EQ(state(pass, 0x83)->parameter, "Shininess");
}
