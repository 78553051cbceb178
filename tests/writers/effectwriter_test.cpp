#include "engine/gl/effectfile.h"
#include "parsedeffect.h"
#include "writers/effectwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

using Kind = EffectWriter::Annotation::Kind;
using T = EffectWriter::Type;

const char* const kVertexCode = "vs_2_0\ndcl_position v0\nm4x4 oPos, v0, c0\nmov oD0, c4\n";
const char* const kPixelCode =
    "ps_2_0\ndcl t0.xy\ndcl_2d s0\ntexld r0, t0, s0\nmul r0, r0, c0.x\nmov oC0, r0\n";

const EffectWriter::Shader kVs = {kVertexCode, {{"Matrix", 0}, {"Tint", 4}}};
const EffectWriter::Shader kPs = {kPixelCode, {{"Power", 0}, {"PictureSampler", 0}}};

// Every kind of parameter and annotation, and two techniques, the second's pass without shaders.
struct Sample {
    std::vector<EffectWriter::Parameter> parameters = {
        {"Matrix", T::Float4x4, "WORLD", std::vector<float>(16, 2), "", {}, {}},
        {"Tint", T::Float4, "", {0.25f, 0.5f, 0.75f, 1}, "", {}, {{"UIName", Kind::String, 0, 0, "Tint"}}},
        {"Power", T::Float, "", {8}, "", {}, {{"Steps", Kind::Int, 7, 0, ""}}},
        {"Picture", T::Texture, "", {}, "", {}, {}},
        {"PictureSampler", T::Sampler, "", {}, "Picture", {{"MinFilter", 2}}, {}},
    };
    std::vector<EffectWriter::Technique> techniques = {
        {"Render", {{"P", {{"DestBlend", 6}}, kVs, kPs, {}}}, {{"Quality", Kind::Float, 0, 2, ""}}},
        {"Other", {{"Q", {{"ZWriteEnable", 0}}, {}, {}, {}}}, {}},
    };

    std::string build() const {
        EffectWriter w;
        for (const auto& p : parameters) {
            w.addParameter(p);
        }
        for (const auto& t : techniques) {
            w.addTechnique(t);
        }
        return w.build();
    }
};

// The instruction tokens of bytecode, without the version token and comment blocks (the CTAB).
std::vector<std::uint32_t> instructions(const char* bytes, int size) {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(size) / 4), out;
    std::memcpy(words.data(), bytes, words.size() * 4);
    for (std::size_t i = 1; i < words.size(); ++i) {
        (words[i] & 0xFFFF) == 0xFFFE ? void(i += words[i] >> 16) : out.push_back(words[i]);
    }
    return out;
}

// Expects the shader of a pass state to hold the instructions that code assembles to.
void expectCode(const ParsedEffect& parsed, const MOJOSHADER_effectState& state, const char* code) {
    const MOJOSHADER_parseData* d =
        MOJOSHADER_assemble(nullptr, code, static_cast<unsigned int>(std::strlen(code)), nullptr, 0, nullptr,
                            0, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
    const MOJOSHADER_parseData& shader = parsed.shader(state);
    EXPECT_EQ(instructions(shader.output, shader.output_len), instructions(d->output, d->output_len)) << code;
    MOJOSHADER_freeParseData(d);
}

// The game's shapes: shader variables named by a pass, and a fixed-function pass whose states take
// indices, name parameters, hold floats or compute an expression.
std::string gameSample() {
    using State = EffectWriter::State;
    using Type = EffectWriter::Type;
    EffectWriter::Parameter vs{"MainVS", Type::VertexShader, "", {}, "", {}, {}};
    vs.shader = {"vs_2_0\ndcl_position v0\nm4x4 oPos, v0, c0\nmov oD0, c4\n", {{"Matrix", 0}, {"Colour", 4}}};
    EffectWriter::Parameter ps{"MainPS", Type::PixelShader, "", {}, "", {}, {}};
    ps.shader = {"ps_2_0\ndef c0, 1, 0, 0, 1\nmov oC0, c0\n", {}};
    EffectWriter w;
    for (const EffectWriter::Parameter& p :
         std::vector<EffectWriter::Parameter>{{"Matrix", Type::Float4x4, "WORLD", {}, "", {}, {}},
                                              {"Colour", Type::Float4, "", {0.5f, 0.25f, 1, 1}, "", {}, {}},
                                              {"Power", Type::Float, "", {8}, "", {}, {}},
                                              {"Picture", Type::Texture, "", {}, "", {}, {}},
                                              vs,
                                              ps}) {
        w.addParameter(p);
    }
    using Table = ExpressionAssembler::Table;
    State diffuse{"MaterialDiffuse"};
    diffuse.expression = {
        {{"Colour", 0, false}},
        {},
        {{ExpressionAssembler::Op::Mov, 4, false, {{Table::Input, 0, 0}}, {Table::Output, 0, 0}}}};
    const std::vector<State> fixed = {{"VertexShader", 0},
                                      {"PixelShader", 0},
                                      {"ColorOp", 4, 1},
                                      {"Texture", 0, 2, {}, "Picture"},
                                      {"WorldTransform", 0, 3, {}, "Matrix"},
                                      {"MaterialPower", 0, 0, {}, "Power"},
                                      {"LightDiffuse", 0, 5, {0.5f, 0.5f, 0.5f, 1}},
                                      diffuse};
    w.addTechnique(
        {"Shaders",
         {{"Named", {{"VertexShader", 0, 0, {}, "MainVS"}, {"PixelShader", 0, 0, {}, "MainPS"}}, {}, {}, {}}},
         {}});
    w.addTechnique({"Fixed", {{"Fixed", fixed, {}, {}, {}}}, {}});
    return w.build();
}

} // namespace

TEST(EffectWriter, ParametersTechniquesAndShadersComeBackAsWritten) {
    const ParsedEffect parsed(Sample().build());
    ASSERT_EQ(parsed.error(), "");
    const MOJOSHADER_effectValue& matrix = parsed.parameter("Matrix")->value;
    EXPECT_STREQ(matrix.semantic, "WORLD");
    EXPECT_EQ(matrix.type.parameter_class, MOJOSHADER_SYMCLASS_MATRIX_ROWS);
    EXPECT_EQ(std::vector<float>(matrix.valuesF, matrix.valuesF + 16), std::vector<float>(16, 2));
    const MOJOSHADER_effectParam& tint = *parsed.parameter("Tint");
    EXPECT_EQ(tint.value.type.parameter_class, MOJOSHADER_SYMCLASS_VECTOR);
    EXPECT_EQ(tint.value.valuesF[2], 0.75f);
    EXPECT_STREQ(parsed.effect().objects[tint.annotations[0].valuesI[0]].string.string, "Tint");
    const MOJOSHADER_effectParam& power = *parsed.parameter("Power");
    EXPECT_EQ(power.value.type.parameter_class, MOJOSHADER_SYMCLASS_SCALAR);
    EXPECT_EQ(power.value.valuesF[0], 8.0f);
    EXPECT_EQ(power.annotations[0].valuesI[0], 7);
    const MOJOSHADER_effectParam& sampler = *parsed.parameter("PictureSampler");
    EXPECT_EQ(sampler.value.type.parameter_type, MOJOSHADER_SYMTYPE_SAMPLER2D);
    EXPECT_EQ(parsed.samplerTexture(sampler), "Picture");
    EXPECT_EQ(sampler.value.valuesSS[1].type, MOJOSHADER_SAMP_MINFILTER);

    const MOJOSHADER_effect& e = parsed.effect();
    ASSERT_EQ(e.technique_count, 2);
    EXPECT_EQ(e.techniques[0].annotations[0].valuesF[0], 2.0f);
    const MOJOSHADER_effectPass& pass = e.techniques[0].passes[0];
    EXPECT_EQ(ParsedEffect::state(pass, MOJOSHADER_RS_DESTBLEND)->value.valuesBM[0],
              MOJOSHADER_BLEND_INVSRCALPHA);
    const MOJOSHADER_effectState& vs = *ParsedEffect::state(pass, MOJOSHADER_RS_VERTEXSHADER);
    expectCode(parsed, vs, kVertexCode);
    EXPECT_STREQ(parsed.shader(vs).symbols[1].name, "Tint");
    EXPECT_EQ(parsed.shader(vs).symbols[1].register_index, 4u);
    const MOJOSHADER_effectState& ps = *ParsedEffect::state(pass, MOJOSHADER_RS_PIXELSHADER);
    expectCode(parsed, ps, kPixelCode);
    EXPECT_STREQ(e.objects[ps.value.valuesI[0]].shader.samplers[0].sampler_name, "PictureSampler");
    ASSERT_EQ(e.techniques[1].passes[0].state_count, 1u);
    EXPECT_EQ(e.techniques[1].passes[0].states[0].type, MOJOSHADER_RS_ZWRITEENABLE);
}

TEST(EffectWriter, GameShapesComeBackThroughOurReader) {
    const EffectFile file = readEffectFile(gameSample());
    // Shader variables hold an object id whose code lies in the object section.
    for (const auto& [name, version] :
         {std::pair<const char*, std::uint32_t>{"MainVS", 0xFFFE0200}, {"MainPS", 0xFFFF0200}}) {
        const EffectFile::Parameter& p =
            file.parameters.at(static_cast<std::size_t>(file.parameterNamed(name)));
        EXPECT_EQ(p.type.type, version == 0xFFFE0200 ? 16u : 15u);
        EXPECT_EQ(words(file.objects.at(p.value.at(0))).at(0), version) << name;
    }
    struct Expected {
        std::size_t technique;
        std::uint32_t operation, index, type, klass;
        EffectFile::Source source;
        std::string parameter;
    };
    using Source = EffectFile::Source;
    const Expected expected[] = {
        {0, 0x92, 0, 16, 4, Source::Parameter, "MainVS"}, {0, 0x93, 0, 15, 4, Source::Parameter, "MainPS"},
        {1, 0x92, 0, 2, 0, Source::Constant, ""},         {1, 0x93, 0, 2, 0, Source::Constant, ""},
        {1, 0x67, 1, 2, 0, Source::Constant, ""},         {1, 0xA4, 2, 5, 4, Source::Parameter, "Picture"},
        {1, 0x7D, 3, 3, 2, Source::Parameter, "Matrix"},  {1, 0x83, 0, 3, 0, Source::Parameter, "Power"},
        {1, 0x85, 5, 3, 1, Source::Constant, ""},         {1, 0x7F, 0, 3, 1, Source::Expression, ""},
    };
    std::size_t at[2] = {0, 0};
    for (const Expected& e : expected) {
        const EffectFile::State& s =
            file.techniques.at(e.technique).passes.at(0).states.at(at[e.technique]++);
        EXPECT_EQ(std::make_tuple(s.operation, s.index, s.type.type, s.type.klass, s.source, s.parameter),
                  std::make_tuple(e.operation, e.index, e.type, e.klass, e.source, e.parameter));
    }
    const std::vector<EffectFile::State>& fixed = file.techniques.at(1).passes.at(0).states;
    EXPECT_EQ(fixed.size(), at[1]);
    EXPECT_EQ(fixed[0].value, std::vector<std::uint32_t>{0}); // no shader: the fixed-function pipeline
    EXPECT_EQ(fixed[6].value, (std::vector<std::uint32_t>{0x3F000000, 0x3F000000, 0x3F000000, 0x3F800000}));
    EXPECT_EQ(fixed[7].value.size(), 4u);
    EXPECT_EQ(words(fixed[7].code).at(0), 0x46580200u);
}
