#include "engine/gl/constantbinding.h"
#include "engine/gl/expression.h"
#include "writers/expressionassembler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using Op = ExpressionAssembler::Op;
using Table = ExpressionAssembler::Table;
using Constant = ShaderAssembler::Constant;

// A float parameter of rows x columns (class 0 scalar, 1 vector, 2 matrix rows) and its value.
EffectFile::Parameter parameter(const std::string& name, std::uint32_t klass, std::uint32_t rows,
                                std::uint32_t columns, const std::vector<float>& value) {
    EffectFile::Parameter p;
    p.type.name = name;
    p.type.klass = klass;
    p.type.type = 3;
    p.type.rows = rows;
    p.type.columns = columns;
    for (const float f : value) {
        std::uint32_t word = 0;
        std::memcpy(&word, &f, 4);
        p.value.push_back(word);
    }
    return p;
}

const std::vector<EffectFile::Parameter> kParameters = {
    parameter("Colour", 1, 1, 4, {0.25f, 0.5f, 0.75f, 1}),
    parameter("Scale", 0, 1, 1, {2}),
    parameter("M", 2, 4, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
};

ExpressionAssembler::Operand reg(Table table, std::uint32_t r, std::uint32_t component = 0) {
    return {table, r, component};
}

// Runs code that reads constants and computes outputs numbers.
std::vector<float> run(const ExpressionAssembler::Code& code, const std::vector<Constant>& constants,
                       std::uint32_t outputs) {
    const std::string bytes = ExpressionAssembler::assemble(code, constants, outputs);
    std::vector<std::uint32_t> words(bytes.size() / 4);
    std::memcpy(words.data(), bytes.data(), words.size() * 4);
    Expression e;
    std::string error;
    EXPECT_TRUE(Expression::read(words.data(), words.size(), kParameters, e, error)) << error;
    ConstantBinding::Values values;
    for (const auto& p : kParameters) {
        values.push_back(p.value);
    }
    ConstantBinding::Registers out;
    e.run(values, out);
    out.floats.resize(outputs);
    return out.floats;
}

} // namespace

TEST(Expression, ComputesFromParametersLiteralsAndTemporariesAsD3DXDoes) {
    const Constant colour{"Colour", ShaderAssembler::RegisterSet::Float4, 0, 1, 1, 3, 1, 4};
    const Constant scale{"Scale", ShaderAssembler::RegisterSet::Float4, 1, 1, 0, 3, 1, 1};
    struct Case {
        const char* what;
        ExpressionAssembler::Code code;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {"a scalar times a vector",
         {{}, {{Op::Mul, 4, true, {reg(Table::Input, 1), reg(Table::Input, 0)}, reg(Table::Output, 0)}}},
         {0.5f, 1, 1.5f, 2}},
        {"literals through a temporary",
         {{10, 20, 30, 40},
          {{Op::Add, 4, false, {reg(Table::Input, 0), reg(Table::Literal, 0)}, reg(Table::Temporary, 0)},
           {Op::Neg, 4, false, {reg(Table::Temporary, 0)}, reg(Table::Output, 0)}}},
         {-10.25f, -20.5f, -30.75f, -41}},
        {"a dot product gives one number",
         {{}, {{Op::Dot, 3, false, {reg(Table::Input, 0), reg(Table::Input, 0)}, reg(Table::Output, 0)}}},
         {0.875f}},
        {"rsq of 0 is infinite, rcp of 2 a half, max and min",
         {{0, 2, 0, 0},
          {{Op::Rsq, 1, false, {reg(Table::Literal, 0)}, reg(Table::Output, 0)},
           {Op::Rcp, 1, false, {reg(Table::Literal, 0, 1)}, reg(Table::Output, 0, 1)},
           {Op::Max, 1, false, {reg(Table::Input, 0, 2), reg(Table::Input, 1)}, reg(Table::Output, 0, 2)},
           {Op::Min, 1, false, {reg(Table::Input, 0, 2), reg(Table::Input, 1)}, reg(Table::Output, 0, 3)}}},
         {INFINITY, 0.5f, 2, 0.75f}},
        {"cmp picks by the sign, lt and ge give 1 or 0",
         {{-1, 0, 3, 0},
          {{Op::Cmp,
            1,
            false,
            {reg(Table::Literal, 0), reg(Table::Input, 1), reg(Table::Input, 0)},
            reg(Table::Output, 0)},
           {Op::Lt, 1, false, {reg(Table::Literal, 0), reg(Table::Literal, 0, 1)}, reg(Table::Output, 0, 1)},
           {Op::Ge,
            1,
            false,
            {reg(Table::Literal, 0, 1), reg(Table::Literal, 0, 2)},
            reg(Table::Output, 0, 2)},
           {Op::Cmp,
            1,
            false,
            {reg(Table::Literal, 0, 1), reg(Table::Input, 1), reg(Table::Input, 0)},
            reg(Table::Output, 0, 3)}}},
         {0.25f, 1, 0, 2}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.code, {colour, scale}, static_cast<std::uint32_t>(c.expected.size())), c.expected)
            << c.what;
    }
}

TEST(Expression, MatricesAreReadByRowsOrTransposedByColumns) {
    ExpressionAssembler::Code copy;
    for (std::uint32_t r = 0; r < 4; ++r) {
        copy.instructions.push_back({Op::Mov, 4, false, {reg(Table::Input, r)}, reg(Table::Output, r)});
    }
    const std::vector<float> rows =
        run(copy, {{"M", ShaderAssembler::RegisterSet::Float4, 0, 4, 2, 3, 4, 4}}, 16);
    const std::vector<float> columns =
        run(copy, {{"M", ShaderAssembler::RegisterSet::Float4, 0, 4, 3, 3, 4, 4}}, 16);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(rows[r * 4 + c], static_cast<float>(r * 4 + c + 1));
            EXPECT_EQ(columns[c * 4 + r], static_cast<float>(r * 4 + c + 1));
        }
    }
}

TEST(Expression, RefusesCodeThatDoesNotHold) {
    ExpressionAssembler::Code code;
    code.instructions = {{Op::Mov, 4, false, {reg(Table::Input, 0)}, reg(Table::Output, 0)}};
    const std::string good = ExpressionAssembler::assemble(
        code, {{"Colour", ShaderAssembler::RegisterSet::Float4, 0, 1, 1, 3, 1, 4}}, 4);
    std::vector<std::uint32_t> words(good.size() / 4);
    std::memcpy(words.data(), good.data(), words.size() * 4);
    std::size_t length = 0;
    const std::uint32_t* block = ConstantTable::findComment(words.data(), words.size(), 0x434C5846, length);
    ASSERT_NE(block, nullptr);
    const std::size_t at = static_cast<std::size_t>(block - words.data()); // the 'FXLC' word
    Expression e;
    std::string error;
    for (const auto& [offset, word] : std::vector<std::pair<std::size_t, std::uint32_t>>{
             {2, 0x7FF00004u}, // an opcode no instruction has
             {2, 0x01000000u}, // an instruction of no components
             {4, 2},           // relative addressing of an unknown kind
             {5, 9},           // a register table that is none
             {6, 4},           // an input register nothing fills
             {1, 1000},        // more instructions than the block holds
             {8, 2},           // an output into the input registers
         }) {
        std::vector<std::uint32_t> bad = words;
        bad[at + offset] = word;
        EXPECT_FALSE(Expression::read(bad.data(), bad.size(), kParameters, e, error)) << offset;
    }
}
