#include "engine/gl/effectfile.h"
#include "engine/gl/expression.h"
#include "writers/effectwriter.h"

#include <mojoshader.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>

namespace {

using Op = ExpressionAssembler::Op;
using Table = ExpressionAssembler::Table;
using Instruction = ExpressionAssembler::Instruction;
using Type = EffectWriter::Type;

ExpressionAssembler::Operand at(Table table, std::uint32_t reg, std::uint32_t component = 0) {
    return {table, reg, component};
}

// Parameters an expression can read: a matrix of 1 .. 16 by rows, a vector and a scalar.
std::vector<EffectWriter::Parameter> parameters() {
    std::vector<float> matrix;
    for (int i = 1; i <= 16; ++i) {
        matrix.push_back(static_cast<float>(i));
    }
    return {{"M", Type::Float4x4, "", matrix, "", {}, {}},
            {"V", Type::Float4, "", {3, -4, 12, 0.5f}, "", {}, {}},
            {"S", Type::Float, "", {-2}, "", {}, {}}};
}

// An effect whose one pass sets state to expression.
std::string effectWith(const std::string& state, const EffectWriter::Expression& expression) {
    EffectWriter w;
    for (const EffectWriter::Parameter& p : parameters()) {
        w.addParameter(p);
    }
    EffectWriter::State s;
    s.name = state;
    s.expression = expression;
    w.addTechnique({"T", {{"P", {s}, {}, {}, {}}}, {}});
    return w.build();
}

std::vector<std::uint32_t> words(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint32_t> w(bytes.size() / 4);
    std::memcpy(w.data(), bytes.data(), w.size() * 4);
    return w;
}

// The numbers the written expression computes from the parameters' defaults, read and run by our
// reader as D3DX runs it.
std::vector<float> computed(const std::string& bytes, std::size_t count) {
    EffectFile file;
    std::string error;
    EXPECT_TRUE(
        EffectFile::read(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), file, error))
        << error;
    const EffectFile::State& state = file.techniques.at(0).passes.at(0).states.at(0);
    EXPECT_EQ(state.source, EffectFile::Source::Expression);
    const std::vector<std::uint32_t> code = words(state.code);
    Expression e;
    EXPECT_TRUE(Expression::read(code.data(), code.size(), file.parameters, e, error)) << error;
    ConstantBinding::Values values;
    for (const EffectFile::Parameter& p : file.parameters) {
        values.push_back(p.value);
    }
    ConstantBinding::Registers out;
    e.run(values, out);
    out.floats.resize(count);
    return out.floats;
}

struct Case {
    const char* what;
    const char* state;
    EffectWriter::Expression expression;
    std::vector<float> expected;
};

} // namespace

TEST(ExpressionAssembler, ExpressionsComputeTheirValuesFromTheParameters) {
    std::vector<Instruction> transposed;
    for (std::uint32_t row = 0; row < 4; ++row) {
        for (std::uint32_t column = 0; column < 4; ++column) {
            transposed.push_back(
                {Op::Mov, 1, false, {at(Table::Input, column, row)}, at(Table::Output, row, column)});
        }
    }
    const Case cases[] = {
        {"a matrix by rows, copied",
         "WorldTransform",
         {{{"M", 4, false}},
          {},
          {{Op::Mov, 4, false, {at(Table::Input, 4)}, at(Table::Output, 0)},
           {Op::Mov, 4, false, {at(Table::Input, 5)}, at(Table::Output, 1)},
           {Op::Mov, 4, false, {at(Table::Input, 6)}, at(Table::Output, 2)},
           {Op::Mov, 4, false, {at(Table::Input, 7)}, at(Table::Output, 3)}}},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        {"a matrix read by columns holds its columns in the registers",
         "ViewTransform",
         {{{"M", 0, true}}, {}, transposed},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        {"the first three components normalised: dot, rsq, a scalar times a vector",
         "LightDirection",
         {{{"V", 0, false}},
          {},
          {{Op::Dot, 3, false, {at(Table::Input, 0), at(Table::Input, 0)}, at(Table::Temporary, 0, 0)},
           {Op::Rsq, 1, false, {at(Table::Temporary, 0, 0)}, at(Table::Temporary, 0, 1)},
           {Op::Mul, 3, true, {at(Table::Temporary, 0, 1), at(Table::Input, 0)}, at(Table::Output, 0)}}},
         {3.0f / 13, -4.0f / 13, 12.0f / 13}},
        {"literals, a scalar parameter and cmp",
         "MaterialDiffuse",
         {{{"S", 2, false}, {"V", 0, false}},
          {0.25, 1, 2, 3, -1, -1, -1, -1},
          {{Op::Add, 4, true, {at(Table::Input, 2), at(Table::Literal, 0)}, at(Table::Temporary, 1)},
           {Op::Cmp,
            4,
            false,
            {at(Table::Temporary, 1), at(Table::Input, 0), at(Table::Literal, 1)},
            at(Table::Output, 0)}}},
         {-1, -1, 12, 0.5f}},
        {"one number of an integer state, from two components",
         "AlphaRef",
         {{{"V", 0, false}},
          {},
          {{Op::Mul, 1, false, {at(Table::Input, 0, 1), at(Table::Input, 0, 2)}, at(Table::Output, 0)}}},
         {-48}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<float> got = computed(effectWith(c.state, c.expression), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_NEAR(got[i], c.expected[i], 1e-6) << i;
        }
    }
}

TEST(ExpressionAssembler, MojoShaderReadsTheSameInputsLiteralsAndInstructions) {
    const EffectWriter::Expression e = {
        {{"M", 0, true}, {"S", 4, false}},
        {0.5, -3},
        {{Op::Mul, 4, true, {at(Table::Literal, 0), at(Table::Input, 1)}, at(Table::Temporary, 0)},
         {Op::Dot, 4, false, {at(Table::Temporary, 0), at(Table::Input, 4)}, at(Table::Output, 0, 0)}}};
    const std::vector<ShaderAssembler::Constant> constants = {
        {"M", ShaderAssembler::RegisterSet::Float4, 0, 4, 3, 3, 4, 4},
        {"S", ShaderAssembler::RegisterSet::Float4, 4, 1, 0, 3, 1, 1}};
    const std::string code = ExpressionAssembler::assemble({e.literals, e.instructions}, constants, 1);
    const MOJOSHADER_preshader* p =
        MOJOSHADER_parsePreshader(reinterpret_cast<const unsigned char*>(code.data()),
                                  static_cast<unsigned int>(code.size()), nullptr, nullptr, nullptr);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->symbol_count, 2u);
    EXPECT_STREQ(p->symbols[0].name, "M");
    EXPECT_EQ(p->symbols[0].info.parameter_class, MOJOSHADER_SYMCLASS_MATRIX_COLUMNS);
    EXPECT_EQ(p->symbols[0].register_count, 4u);
    EXPECT_STREQ(p->symbols[1].name, "S");
    EXPECT_EQ(p->symbols[1].register_index, 4u);
    ASSERT_EQ(p->literal_count, 4u); // padded to a whole register
    EXPECT_EQ(p->literals[0], 0.5);
    EXPECT_EQ(p->literals[1], -3.0);
    EXPECT_EQ(p->literals[3], 0.0);
    ASSERT_EQ(p->instruction_count, 2u);
    EXPECT_EQ(p->instructions[0].opcode, MOJOSHADER_PRESHADEROP_MUL_SCALAR);
    EXPECT_EQ(p->instructions[0].element_count, 4u);
    EXPECT_EQ(p->instructions[1].opcode, MOJOSHADER_PRESHADEROP_DOT);
    EXPECT_EQ(p->instructions[1].operands[2].type, MOJOSHADER_PRESHADEROPERAND_OUTPUT);
    MOJOSHADER_freePreshader(p);
}

TEST(ExpressionAssembler, RefusesCodeThatComputesWhatItDoesNotSay) {
    using Change = std::function<void(EffectWriter::Expression&)>;
    const std::pair<const char*, Change> cases[] = {
        {"takes 2 inputs, not 1", [](EffectWriter::Expression& e) { e.instructions[0].inputs.pop_back(); }},
        {"opcode 0x102", [](EffectWriter::Expression& e) { e.instructions[0].op = static_cast<Op>(0x102); }},
        {"1 to 4 components, not 5", [](EffectWriter::Expression& e) { e.instructions[0].components = 5; }},
        {"reads l1.x, which holds nothing",
         [](EffectWriter::Expression& e) { e.instructions[0].inputs[1] = at(Table::Literal, 1); }},
        {"reads c1.x, which holds nothing",
         [](EffectWriter::Expression& e) { e.instructions[0].inputs[0] = at(Table::Input, 1); }},
        {"reads r1.x, which holds nothing",
         [](EffectWriter::Expression& e) { e.instructions[1].inputs[0] = at(Table::Temporary, 1); }},
        {"never writes oc0.w", [](EffectWriter::Expression& e) { e.instructions[1].components = 3; }},
        {"writes oc1.w but the value has 4 numbers",
         [](EffectWriter::Expression& e) { e.instructions[1].output = at(Table::Output, 1); }},
        {"writes past the end of r0.x",
         [](EffectWriter::Expression& e) { e.instructions[0].output = at(Table::Temporary, 0, 2); }},
        {"writes c registers, which are only read",
         [](EffectWriter::Expression& e) { e.instructions[1].output = at(Table::Input, 0); }},
        {"reads 'Missing', which is no parameter",
         [](EffectWriter::Expression& e) { e.inputs[0].parameter = "Missing"; }},
        {"reads 'V' by columns, but it is no matrix",
         [](EffectWriter::Expression& e) { e.inputs[0].byColumns = true; }},
        {"'V' and 'S' share a register",
         [](EffectWriter::Expression& e) {
             e.inputs.push_back({"S", 0, false});
         }},
    };
    for (const auto& [expected, change] : cases) {
        // Colour = V * 0.5 through a temporary.
        EffectWriter::Expression e = {
            {{"V", 0, false}},
            {0.5},
            {{Op::Mul, 4, true, {at(Table::Literal, 0), at(Table::Input, 0)}, at(Table::Temporary, 0)},
             {Op::Mov, 4, false, {at(Table::Temporary, 0)}, at(Table::Output, 0)}}};
        ASSERT_NO_THROW(effectWith("MaterialDiffuse", e));
        change(e);
        try {
            effectWith("MaterialDiffuse", e);
            ADD_FAILURE() << "accepted; expected: " << expected;
        } catch (const std::invalid_argument& x) {
            EXPECT_NE(std::string(x.what()).find(expected), std::string::npos) << x.what();
        }
    }
}
