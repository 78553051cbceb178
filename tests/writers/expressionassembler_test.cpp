#include "writers/effectwriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

using Op = ExpressionAssembler::Op;
using Table = ExpressionAssembler::Table;
using Type = EffectWriter::Type;

ExpressionAssembler::Operand at(Table table, std::uint32_t reg, std::uint32_t component = 0) {
    return {table, reg, component};
}

// An effect whose one pass sets state to expression, which can read a vector and a scalar.
std::string effectWith(const std::string& state, const EffectWriter::Expression& expression) {
    EffectWriter w;
    w.addParameter({"V", Type::Float4, "", {}, "", {}, {}});
    w.addParameter({"S", Type::Float, "", {}, "", {}, {}});
    EffectWriter::State s;
    s.name = state;
    s.expression = expression;
    w.addTechnique({"T", {{"P", {s}, {}, {}, {}}}, {}});
    return w.build();
}

} // namespace

// What expressions compute, run by our reader as D3DX runs them, is checked on the demo effects
// (DemoEffects.MeshAlphaTakesTransformsLightAndMaterialFromItsParameters).
TEST(ExpressionAssembler, RefusesCodeThatComputesWhatItDoesNotSay) {
    using Change = std::function<void(EffectWriter::Expression&)>;
    const std::pair<const char*, Change> cases[] = {
        {"takes 2 inputs, not 1", [](EffectWriter::Expression& e) { e.instructions[0].inputs.pop_back(); }},
        {"opcode 0x102", [](EffectWriter::Expression& e) { e.instructions[0].op = static_cast<Op>(0x102); }},
        {"reads c1.x, which holds nothing",
         [](EffectWriter::Expression& e) { e.instructions[0].inputs[0] = at(Table::Input, 1); }},
        {"reads r1.x, which holds nothing",
         [](EffectWriter::Expression& e) { e.instructions[1].inputs[0] = at(Table::Temporary, 1); }},
        {"never writes oc0.w", [](EffectWriter::Expression& e) { e.instructions[1].components = 3; }},
        {"writes oc1.w but the value has 4 numbers",
         [](EffectWriter::Expression& e) { e.instructions[1].output = at(Table::Output, 1); }},
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
