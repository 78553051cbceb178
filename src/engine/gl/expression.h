#pragma once

#include "engine/gl/constantbinding.h"

#include <cstdint>
#include <string>
#include <vector>

// Expression code of a compiled effect: what a state's value or a shader's constants are computed
// from (a state's code, or the 'PRES' block of a shader). A signature word, then comment blocks:
// 'CLIT' literal doubles, 'FXLC' the instructions, 'CTAB' the parameters read into the input
// registers. Runs as D3DX runs it: in double precision, reading input (c), literal, output (oc)
// and temporary (r) registers, writing output and temporary ones.
class Expression {
public:
    // Reads code of words words, binding its inputs to parameters; false with the reason in error.
    static bool read(const std::uint32_t* code, std::size_t words,
                     const std::vector<EffectFile::Parameter>& parameters, Expression& expression,
                     std::string& error);

    // Runs the instructions on the parameters' current values; the output registers land in out
    // (floats: oc, ints: oi, bools: ob), which are grown to hold every register written.
    void run(const ConstantBinding::Values& values, ConstantBinding::Registers& out);
    // The parameters the code reads.
    const std::vector<int>& parameters() const { return m_inputs.parameters; }
    // Output registers written: (file, register) pairs, the file 0 floats, 1 ints, 2 bools.
    const std::vector<std::pair<int, std::uint32_t>>& outputs() const { return m_outputs; }
    // Whether the code has any instruction.
    bool empty() const { return m_instructions.empty(); }

private:
    enum Table : std::uint8_t { Immediate, Input, Vertex, Output, OutputBool, OutputInt, Temporary, NoTable };

    struct Operand {
        Table table = NoTable;
        std::uint32_t offset = 0; // in components
        Table indexTable = NoTable;
        std::uint32_t indexOffset = 0;
    };

    struct Instruction {
        int op = 0;
        bool scalar = false; // the first input is one component, used for all
        std::uint32_t components = 1;
        std::vector<Operand> inputs;
        Operand output;
    };

    // Components a register of a table holds.
    static std::uint32_t perRegister(Table table) { return table == OutputBool ? 1 : 4; }
    double get(const Operand& operand, std::uint32_t component, const ConstantBinding::Registers& out) const;
    void set(const Operand& operand, std::uint32_t component, double value, ConstantBinding::Registers& out);

    std::vector<double> m_literals;
    ConstantBinding m_inputs;
    ConstantBinding::Registers m_inputRegisters;
    std::vector<float> m_temporaries;
    std::uint32_t m_inputSize = 0;
    std::vector<Instruction> m_instructions;
    std::vector<std::pair<int, std::uint32_t>> m_outputs;
    std::uint32_t m_outputSizes[3] = {};
};
