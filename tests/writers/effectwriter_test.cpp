#include "engine/gl/effectfile.h"
#include "parsedeffect.h"
#include "writers/effectwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <tuple>

namespace {

using Type = EffectWriter::Type;
using Kind = EffectWriter::Annotation::Kind;

const char* const kVertexCode =
    "vs_2_0\ndcl_position v0\ndcl_texcoord v1\nm4x4 oPos, v0, c0\nmul oT0.xy, v1, c4\n";
const char* const kPixelCode =
    "ps_2_0\ndcl t0.xy\ndcl_2d s0\ntexld r0, t0, s0\nmul r0, r0, c0.x\nmov oC0, r0\n";
const char* const kFlatPixelCode = "ps_2_0\ndef c0, 1, 0, 0, 1\nmov oC0, c0\n";

struct Description {
    std::vector<EffectWriter::Parameter> parameters;
    std::vector<EffectWriter::Technique> techniques;

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

// Every kind of parameter and annotation, two techniques, and a pass without shaders.
Description sample() {
    std::vector<float> matrix;
    for (int i = 1; i <= 16; ++i) {
        matrix.push_back(static_cast<float>(i));
    }
    Description d;
    d.parameters = {
        {"Matrix", Type::Float4x4, "WORLDVIEWPROJECTION", matrix, "", {}, {}},
        {"Tint",
         Type::Float4,
         "",
         {0.25f, 0.5f, 0.75f, 1},
         "",
         {},
         {{"UIName", Kind::String, 0, 0, "Tint colour"},
          {"UIMin", Kind::Float, 0, 0.5f, ""},
          {"Steps", Kind::Int, 7, 0, ""}}},
        {"Power", Type::Float, "", {8}, "", {}, {}},
        {"Picture", Type::Texture, "", {}, "", {}, {}},
        {"PictureSampler", Type::Sampler, "", {}, "Picture", {{"AddressU", 3}, {"MinFilter", 2}}, {}},
    };
    const EffectWriter::Pass first{
        "First",
        {{"ZEnable", 1}, {"AlphaBlendEnable", 1}, {"SrcBlend", 5}, {"DestBlend", 6}},
        {kVertexCode, {{"Matrix", 0}, {"Tint", 4}}},
        {kPixelCode, {{"Power", 0}, {"PictureSampler", 0}}},
        {}};
    const EffectWriter::Pass second{"Second", {{"ZWriteEnable", 0}}, {}, {}, {}};
    const EffectWriter::Pass only{"Only", {}, {}, {kFlatPixelCode, {}}, {{"Order", Kind::Int, 3, 0, ""}}};
    d.techniques = {{"Render", {first, second}, {{"Quality", Kind::Float, 0, 2, ""}}}, {"Other", {only}, {}}};
    return d;
}

auto typeOf(const MOJOSHADER_effectValue& v) {
    return std::make_tuple(v.type.parameter_class, v.type.parameter_type, v.type.rows, v.type.columns);
}

// The instruction tokens of bytecode, without the version token and comment blocks (the CTAB).
std::vector<std::uint32_t> instructions(const char* bytes, int size) {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(size) / 4), out;
    std::memcpy(words.data(), bytes, words.size() * 4);
    for (std::size_t i = 1; i < words.size(); ++i) {
        if ((words[i] & 0xFFFF) == 0xFFFE) {
            i += words[i] >> 16;
        } else {
            out.push_back(words[i]);
        }
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
Description gameSample() {
    using State = EffectWriter::State;
    Description d;
    EffectWriter::Parameter vs{"MainVS", Type::VertexShader, "", {}, "", {}, {}};
    vs.shader = {kVertexCode, {{"Matrix", 0}, {"Colour", 4}}};
    EffectWriter::Parameter ps{"MainPS", Type::PixelShader, "", {}, "", {}, {}};
    ps.shader = {kFlatPixelCode, {}};
    d.parameters = {{"Matrix", Type::Float4x4, "WORLD", {}, "", {}, {}},
                    {"Colour", Type::Float4, "", {0.5f, 0.25f, 1, 1}, "", {}, {}},
                    {"Power", Type::Float, "", {8}, "", {}, {}},
                    {"Picture", Type::Texture, "", {}, "", {}, {}},
                    vs,
                    ps};
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
    d.techniques = {
        {"Shaders",
         {{"Named", {{"VertexShader", 0, 0, {}, "MainVS"}, {"PixelShader", 0, 0, {}, "MainPS"}}, {}, {}, {}}},
         {}},
        {"Fixed", {{"Fixed", fixed, {}, {}, {}}}, {}}};
    return d;
}

EffectFile readBack(const std::string& bytes) {
    EffectFile file;
    std::string error;
    EXPECT_TRUE(
        EffectFile::read(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), file, error))
        << error;
    return file;
}

std::uint32_t firstWord(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t w = 0;
    std::memcpy(&w, bytes.data(), std::min<std::size_t>(bytes.size(), 4));
    return w;
}

} // namespace

TEST(EffectWriter, ParametersComeBackWithTypesSemanticsDefaultsAndAnnotations) {
    const std::string bytes = sample().build();
    ASSERT_EQ(bytes.substr(0, 4), std::string("\x01\x09\xFF\xFE", 4));
    const ParsedEffect parsed(bytes);
    ASSERT_EQ(parsed.error(), "");
    ASSERT_EQ(parsed.effect().param_count, 5);

    const MOJOSHADER_effectValue& matrix = parsed.parameter("Matrix")->value;
    EXPECT_STREQ(matrix.semantic, "WORLDVIEWPROJECTION");
    EXPECT_EQ(typeOf(matrix),
              std::make_tuple(MOJOSHADER_SYMCLASS_MATRIX_ROWS, MOJOSHADER_SYMTYPE_FLOAT, 4u, 4u));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(matrix.valuesF[i], i + 1.0f);
    }

    const MOJOSHADER_effectParam& tint = *parsed.parameter("Tint");
    EXPECT_EQ(tint.value.semantic, nullptr);
    EXPECT_EQ(typeOf(tint.value),
              std::make_tuple(MOJOSHADER_SYMCLASS_VECTOR, MOJOSHADER_SYMTYPE_FLOAT, 1u, 4u));
    EXPECT_EQ(tint.value.valuesF[2], 0.75f);
    ASSERT_EQ(tint.annotation_count, 3u);
    EXPECT_STREQ(tint.annotations[0].name, "UIName");
    EXPECT_STREQ(parsed.effect().objects[tint.annotations[0].valuesI[0]].string.string, "Tint colour");
    EXPECT_EQ(tint.annotations[1].valuesF[0], 0.5f);
    EXPECT_EQ(tint.annotations[2].type.parameter_type, MOJOSHADER_SYMTYPE_INT);
    EXPECT_EQ(tint.annotations[2].valuesI[0], 7);

    const MOJOSHADER_effectValue& power = parsed.parameter("Power")->value;
    EXPECT_EQ(typeOf(power), std::make_tuple(MOJOSHADER_SYMCLASS_SCALAR, MOJOSHADER_SYMTYPE_FLOAT, 1u, 1u));
    EXPECT_EQ(power.valuesF[0], 8.0f);
    EXPECT_EQ(parsed.parameter("Picture")->value.type.parameter_type, MOJOSHADER_SYMTYPE_TEXTURE);

    const MOJOSHADER_effectValue& sampler = parsed.parameter("PictureSampler")->value;
    EXPECT_EQ(sampler.type.parameter_type, MOJOSHADER_SYMTYPE_SAMPLER2D);
    EXPECT_EQ(parsed.samplerTexture(*parsed.parameter("PictureSampler")), "Picture");
    ASSERT_EQ(sampler.value_count, 3u);
    EXPECT_EQ(sampler.valuesSS[1].type, MOJOSHADER_SAMP_ADDRESSU);
    EXPECT_EQ(sampler.valuesSS[1].value.valuesI[0], 3);
    EXPECT_EQ(sampler.valuesSS[2].type, MOJOSHADER_SAMP_MINFILTER);
    EXPECT_EQ(sampler.valuesSS[2].value.valuesI[0], 2);
}

TEST(EffectWriter, TechniquesPassesStatesAndShadersComeBackAsWritten) {
    const ParsedEffect parsed(sample().build());
    ASSERT_EQ(parsed.error(), "");
    const MOJOSHADER_effect& e = parsed.effect();
    // Ids 1 to 6 (texture, the sampler's reference to it, string annotation, three shaders) and 0.
    EXPECT_EQ(e.object_count, 7);
    ASSERT_EQ(e.technique_count, 2);
    EXPECT_STREQ(e.techniques[0].name, "Render");
    EXPECT_EQ(e.techniques[0].annotations[0].valuesF[0], 2.0f);
    ASSERT_EQ(e.techniques[0].pass_count, 2u);
    const MOJOSHADER_effectPass& first = e.techniques[0].passes[0];
    EXPECT_STREQ(first.name, "First");
    ASSERT_EQ(first.state_count, 6u);
    EXPECT_EQ(ParsedEffect::state(first, MOJOSHADER_RS_ZENABLE)->value.valuesI[0], 1);
    EXPECT_EQ(ParsedEffect::state(first, MOJOSHADER_RS_ALPHABLENDENABLE)->value.valuesI[0], 1);
    EXPECT_EQ(ParsedEffect::state(first, MOJOSHADER_RS_SRCBLEND)->value.valuesBM[0],
              MOJOSHADER_BLEND_SRCALPHA);
    EXPECT_EQ(ParsedEffect::state(first, MOJOSHADER_RS_DESTBLEND)->value.valuesBM[0],
              MOJOSHADER_BLEND_INVSRCALPHA);

    const MOJOSHADER_effectState& vs = *ParsedEffect::state(first, MOJOSHADER_RS_VERTEXSHADER);
    expectCode(parsed, vs, kVertexCode);
    const MOJOSHADER_parseData& vsData = parsed.shader(vs);
    ASSERT_EQ(vsData.symbol_count, 2);
    const MOJOSHADER_symbol& matrix = vsData.symbols[0];
    EXPECT_STREQ(matrix.name, "Matrix");
    EXPECT_EQ(std::make_tuple(matrix.register_set, matrix.register_index, matrix.register_count),
              std::make_tuple(MOJOSHADER_SYMREGSET_FLOAT4, 0u, 4u));
    EXPECT_EQ(matrix.info.parameter_class, MOJOSHADER_SYMCLASS_MATRIX_COLUMNS);
    EXPECT_STREQ(vsData.symbols[1].name, "Tint");
    EXPECT_EQ(vsData.symbols[1].register_index, 4u);

    const MOJOSHADER_effectState& ps = *ParsedEffect::state(first, MOJOSHADER_RS_PIXELSHADER);
    expectCode(parsed, ps, kPixelCode);
    const MOJOSHADER_effectShader& psObject = e.objects[ps.value.valuesI[0]].shader;
    ASSERT_EQ(psObject.sampler_count, 1u);
    EXPECT_STREQ(psObject.samplers[0].sampler_name, "PictureSampler");
    EXPECT_EQ(psObject.samplers[0].sampler_register, 0u);

    const MOJOSHADER_effectPass& second = e.techniques[0].passes[1];
    EXPECT_STREQ(second.name, "Second");
    ASSERT_EQ(second.state_count, 1u);
    EXPECT_EQ(second.states[0].type, MOJOSHADER_RS_ZWRITEENABLE);
    EXPECT_EQ(second.states[0].value.valuesI[0], 0);

    const MOJOSHADER_effectPass& only = e.techniques[1].passes[0];
    EXPECT_EQ(only.annotations[0].valuesI[0], 3);
    ASSERT_EQ(only.state_count, 1u);
    expectCode(parsed, only.states[0], kFlatPixelCode);
}

TEST(EffectWriter, GameShapesComeBackThroughOurReader) {
    const EffectFile file = readBack(gameSample().build());
    // Shader variables hold an object id whose code lies in the object section.
    for (const auto& [name, version] :
         {std::pair<const char*, std::uint32_t>{"MainVS", 0xFFFE0200}, {"MainPS", 0xFFFF0200}}) {
        const EffectFile::Parameter& p =
            file.parameters.at(static_cast<std::size_t>(file.parameterNamed(name)));
        EXPECT_EQ(p.type.type, version == 0xFFFE0200 ? 16u : 15u);
        EXPECT_EQ(firstWord(file.objects.at(p.value.at(0))), version) << name;
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
    EXPECT_EQ(firstWord(fixed[7].code), 0x46580200u);
}

TEST(EffectWriter, SameDescriptionGivesSameBytes) {
    EXPECT_EQ(sample().build(), sample().build());
}

TEST(EffectWriter, RejectsWhatItCannotEncodeNamingTheProblem) {
    using Change = std::function<void(Description&)>;
    const std::pair<const char*, Change> cases[] = {
        {"line 2: ",
         [](Description& d) { d.techniques[0].passes[0].vertexShader.assembly = "vs_2_0\nfoo r0, v0\n"; }},
        {"unknown state 'ZEnabled'",
         [](Description& d) { d.techniques[0].passes[1].states[0].name = "ZEnabled"; }},
        {"unknown sampler state 'Texture'",
         [](Description& d) { d.parameters[4].samplerStates[0].name = "Texture"; }},
        {"'Missing', which is not a parameter",
         [](Description& d) { d.techniques[0].passes[0].pixelShader.bindings[0].parameter = "Missing"; }},
        {"binds texture 'Picture'",
         [](Description& d) { d.techniques[0].passes[0].pixelShader.bindings[1].parameter = "Picture"; }},
        {"uses c4 but no constant",
         [](Description& d) { d.techniques[0].passes[0].vertexShader.bindings.pop_back(); }},
        {"uses s0 but no constant",
         [](Description& d) { d.techniques[0].passes[0].pixelShader.bindings.pop_back(); }},
        {"'Matrix' and 'Tint' share a register",
         [](Description& d) { d.techniques[0].passes[0].vertexShader.bindings[1].reg = 3; }},
        {"the code is a vertex shader",
         [](Description& d) { d.techniques[1].passes[0].pixelShader.assembly = kVertexCode; }},
        {"parameter 2 has no name", [](Description& d) { d.parameters[2].name = ""; }},
        {"technique 1 has no name", [](Description& d) { d.techniques[1].name = ""; }},
        {"pass 1 of technique 'Render' has no name",
         [](Description& d) { d.techniques[0].passes[1].name = ""; }},
        {"annotation of parameter 'Tint' has no name",
         [](Description& d) { d.parameters[1].annotations[0].name = ""; }},
        {"two parameters are named 'Tint'", [](Description& d) { d.parameters[2].name = "Tint"; }},
        {"has 3 default values but takes 4", [](Description& d) { d.parameters[1].defaults.pop_back(); }},
        {"samples 'Tint', which is not a texture", [](Description& d) { d.parameters[4].texture = "Tint"; }},
        {"at least one technique", [](Description& d) { d.techniques.clear(); }},
    };
    for (const auto& [expected, change] : cases) {
        Description d = sample();
        change(d);
        try {
            d.build();
            ADD_FAILURE() << "accepted; expected: " << expected;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
}

TEST(EffectWriter, RefusesStatesItCannotEncodeNamingTheProblem) {
    using Change = std::function<void(Description&)>;
    auto fixed = [](Description& d) -> std::vector<EffectWriter::State>& {
        return d.techniques[1].passes[0].states;
    };
    const std::pair<const char*, Change> cases[] = {
        {"ColorOp[8]: takes an index below 8", [&](Description& d) { fixed(d)[2].index = 8; }},
        {"names 'Colour', which is no parameter of the type",
         [&](Description& d) { fixed(d)[4].parameter = "Colour"; }},
        {"Texture[2]: must name a texture parameter", [&](Description& d) { fixed(d)[3].parameter.clear(); }},
        {"takes a shader parameter, or 0 for none", [&](Description& d) { fixed(d)[0].value = 1; }},
        {"takes 4 numbers, not 3", [&](Description& d) { fixed(d)[6].numbers.pop_back(); }},
        {"sets 'ColorOp'[1] twice",
         [&](Description& d) {
             fixed(d).push_back({"ColorOp", 2, 1});
         }},
        {"never writes oc0.w",
         [&](Description& d) { fixed(d)[7].expression.instructions[0].components = 3; }},
        {"parameter 'MainVS', vertex shader: the code is a pixel shader",
         [](Description& d) {
             d.parameters[4].shader = {kFlatPixelCode, {}};
         }},
    };
    for (const auto& [expected, change] : cases) {
        Description d = gameSample();
        ASSERT_NO_THROW(d.build());
        change(d);
        try {
            d.build();
            ADD_FAILURE() << "accepted; expected: " << expected;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
}
