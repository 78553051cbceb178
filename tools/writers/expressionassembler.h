#pragma once

#include "writers/shaderassembler.h"

#include <cstdint>
#include <string>
#include <vector>

// Assembles FX expression code, what compiled effects compute a state's value with from the
// effect's parameters: a signature word, a constant table naming the parameters read into the input
// registers (c), the literals (doubles) and the instructions, each comment block as D3DX reads it.
// The instructions write the output registers (oc), whose components in order become the value.
class ExpressionAssembler {
public:
    // Instructions by their opcode in the code.
    enum class Op : std::uint32_t {
        Mov = 0x100,
        Neg = 0x101,
        Rcp = 0x103,
        Frc = 0x104,
        Exp = 0x105,
        Log = 0x106,
        Rsq = 0x107,
        Sin = 0x108,
        Cos = 0x109,
        Min = 0x200,
        Max = 0x201,
        Lt = 0x202,
        Ge = 0x203,
        Add = 0x204,
        Mul = 0x205,
        Cmp = 0x300,
        Dot = 0x500, // one result from all components of both inputs
    };

    // Register tables by their number in the code.
    enum class Table : std::uint32_t { Literal = 1, Input = 2, Output = 4, Temporary = 7 };

    // A register and the first of its components an operand reads or writes (0 x .. 3 w).
    struct Operand {
        Table table = Table::Temporary;
        std::uint32_t reg = 0;
        std::uint32_t component = 0;
    };

    // components consecutive components of each input give as many of the output, or one for Dot;
    // scalar: the first input's one component is used for all.
    struct Instruction {
        Op op = Op::Mov;
        std::uint32_t components = 4;
        bool scalar = false;
        std::vector<Operand> inputs;
        Operand output;
    };

    struct Code {
        std::vector<double> literals; // literal register l# holds literals 4# .. 4# + 3
        std::vector<Instruction> instructions;
    };

    // The expression code of code reading constants (float4 registers), whose value is the first
    // outputs components of the output registers. Throws std::invalid_argument naming the problem
    // for an instruction of the wrong input count or size, a read of a register nothing fills, an
    // output that leaves one of the value's components unwritten or writes past them.
    static std::string assemble(const Code& code, const std::vector<ShaderAssembler::Constant>& constants,
                                std::uint32_t outputs);
};
