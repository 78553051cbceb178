#include "writers/expressionassembler.h"

#include "main/hextext.h"
#include "writers/bytewriter.h"

#include <cstring>
#include <stdexcept>

namespace {

using Op = ExpressionAssembler::Op;
using Table = ExpressionAssembler::Table;

constexpr std::uint32_t kSignature = 0x46580200;
constexpr std::uint32_t kEndToken = 0x0000FFFF;
constexpr std::uint32_t kCommentToken = 0xFFFE;
constexpr std::uint32_t kFourCCConstants = 0x42415443;    // 'CTAB'
constexpr std::uint32_t kFourCCLiterals = 0x54494C43;     // 'CLIT'
constexpr std::uint32_t kFourCCInstructions = 0x434C5846; // 'FXLC'
constexpr std::uint32_t kScalarFlag = 0x80000000;
constexpr std::uint32_t kOpcodeShift = 20;
constexpr std::uint32_t kCtabHeaderSize = 28;
constexpr std::uint32_t kConstantInfoSize = 20;
constexpr std::uint32_t kTypeInfoSize = 16;
constexpr std::uint32_t kComponents = 4;
constexpr std::size_t kMaxCommentWords = 0x7FFF;

// Inputs each instruction takes; 0 for a number that is no instruction.
std::size_t inputCount(Op op) {
    switch (op) {
    case Op::Mov:
    case Op::Neg:
    case Op::Rcp:
    case Op::Frc:
    case Op::Exp:
    case Op::Log:
    case Op::Rsq:
    case Op::Sin:
    case Op::Cos:
        return 1;
    case Op::Min:
    case Op::Max:
    case Op::Lt:
    case Op::Ge:
    case Op::Add:
    case Op::Mul:
    case Op::Dot:
        return 2;
    case Op::Cmp:
        return 3;
    }
    return 0;
}

const char* tableName(Table table) {
    switch (table) {
    case Table::Literal:
        return "l";
    case Table::Input:
        return "c";
    case Table::Output:
        return "oc";
    case Table::Temporary:
        return "r";
    }
    return "?";
}

std::string registerName(Table table, std::uint32_t component) {
    return tableName(table) + std::to_string(component / kComponents) + "." + "xyzw"[component % kComponents];
}

// The constant table of the expression's inputs, as shaders carry one; offsets count from its
// first byte. Names, creator and target follow the records.
std::string constantTable(const std::vector<ShaderAssembler::Constant>& constants) {
    const std::string creator = "Kestrin";
    const std::string target = "fx_2_0";
    const auto count = static_cast<std::uint32_t>(constants.size());
    const std::uint32_t typesAt = kCtabHeaderSize + kConstantInfoSize * count;
    std::uint32_t textAt = typesAt + kTypeInfoSize * count;

    ByteWriter records;
    ByteWriter types;
    ByteWriter text;
    auto place = [&](const std::string& s) {
        const std::uint32_t at = textAt + static_cast<std::uint32_t>(text.size());
        text.cstring(s);
        return at;
    };
    for (std::uint32_t i = 0; i < count; ++i) {
        const ShaderAssembler::Constant& c = constants[i];
        records.u32(place(c.name))
            .u16(static_cast<std::uint32_t>(c.registerSet))
            .u16(c.registerIndex)
            .u16(c.registerCount)
            .u16(0)
            .u32(typesAt + kTypeInfoSize * i)
            .u32(0);
        types.u16(c.typeClass).u16(c.type).u16(c.rows).u16(c.columns).u16(1).u16(0).u32(0);
    }
    const std::uint32_t creatorAt = place(creator);
    const std::uint32_t targetAt = place(target);

    ByteWriter table;
    table.u32(kCtabHeaderSize)
        .u32(creatorAt)
        .u32(kSignature)
        .u32(count)
        .u32(kCtabHeaderSize)
        .u32(0)
        .u32(targetAt);
    table.bytes(records.data()).bytes(types.data()).bytes(text.data());
    while (table.size() % 4 != 0) {
        table.u8(0);
    }
    return table.data();
}

// A comment block: its token with the length in words, the four-character code, then body.
void comment(ByteWriter& out, std::uint32_t fourCC, const std::string& body) {
    const std::size_t words = 1 + body.size() / 4;
    if (words > kMaxCommentWords) {
        throw std::invalid_argument("an expression too long for its comment block");
    }
    out.u32(kCommentToken | static_cast<std::uint32_t>(words) << 16).u32(fourCC).bytes(body);
}

// Checks code against the registers that hold something: literals, bound inputs, and output
// and temporary components written before.
class Checker {
public:
    // Throws std::invalid_argument at the first problem.
    static void check(const ExpressionAssembler::Code& code,
                      const std::vector<ShaderAssembler::Constant>& constants, std::uint32_t outputs,
                      std::uint32_t literalCount) {
        static_cast<void>(Checker(code, constants, outputs, literalCount));
    }

private:
    Checker(const ExpressionAssembler::Code& code, const std::vector<ShaderAssembler::Constant>& constants,
            std::uint32_t outputs, std::uint32_t literalCount)
        : m_constants(constants), m_outputs(outputs), m_literalCount(literalCount) {
        if (outputs == 0) {
            throw std::invalid_argument("an expression must compute at least one number");
        }
        for (std::size_t i = 0; i < code.instructions.size(); ++i) {
            m_where = "instruction " + std::to_string(i) + " (opcode " +
                      hexText(static_cast<std::uint32_t>(code.instructions[i].op)) + "): ";
            check(code.instructions[i]);
        }
        for (std::uint32_t c = 0; c < outputs; ++c) {
            if (!isWritten(m_output, c)) {
                throw std::invalid_argument("the expression never writes " + registerName(Table::Output, c) +
                                            " of the " + std::to_string(outputs) + " numbers it computes");
            }
        }
    }

    static bool isWritten(const std::vector<bool>& written, std::uint32_t component) {
        return component < written.size() && written[component];
    }

    static void markWritten(std::vector<bool>& written, std::uint32_t component) {
        if (written.size() <= component) {
            written.resize(component + 1, false);
        }
        written[component] = true;
    }

    bool covered(std::uint32_t reg) const {
        for (const ShaderAssembler::Constant& c : m_constants) {
            if (reg >= c.registerIndex && reg - c.registerIndex < c.registerCount) {
                return true;
            }
        }
        return false;
    }

    void read(const ExpressionAssembler::Operand& o, std::uint32_t count) const {
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint32_t component = o.reg * kComponents + o.component + k;
            bool holds = false;
            switch (o.table) {
            case Table::Literal:
                holds = component < m_literalCount;
                break;
            case Table::Input:
                holds = covered(component / kComponents);
                break;
            case Table::Output:
                holds = isWritten(m_output, component);
                break;
            case Table::Temporary:
                holds = isWritten(m_temporary, component);
                break;
            }
            if (!holds) {
                throw std::invalid_argument(m_where + "reads " + registerName(o.table, component) +
                                            ", which holds nothing");
            }
        }
    }

    void check(const ExpressionAssembler::Instruction& in) {
        const std::size_t wanted = inputCount(in.op);
        if (wanted == 0) {
            throw std::invalid_argument(m_where + "is no instruction an expression runs");
        }
        if (in.inputs.size() != wanted) {
            throw std::invalid_argument(m_where + "takes " + std::to_string(wanted) + " inputs, not " +
                                        std::to_string(in.inputs.size()));
        }
        if (in.components < 1 || in.components > kComponents) {
            throw std::invalid_argument(m_where + "works on 1 to 4 components, not " +
                                        std::to_string(in.components));
        }
        std::vector<const ExpressionAssembler::Operand*> operands{&in.output};
        for (const ExpressionAssembler::Operand& o : in.inputs) {
            operands.push_back(&o);
        }
        for (const ExpressionAssembler::Operand* o : operands) {
            if (o->component >= kComponents) {
                throw std::invalid_argument(m_where + "names component " + std::to_string(o->component) +
                                            " of a register of four");
            }
        }
        for (std::size_t k = 0; k < in.inputs.size(); ++k) {
            read(in.inputs[k], in.scalar && k == 0 ? 1 : in.components);
        }
        const std::uint32_t written = in.op == Op::Dot ? 1 : in.components;
        if (in.output.component + written > kComponents) {
            throw std::invalid_argument(m_where + "writes past the end of " +
                                        registerName(in.output.table, in.output.reg * kComponents));
        }
        const std::uint32_t first = in.output.reg * kComponents + in.output.component;
        switch (in.output.table) {
        case Table::Output:
            if (first + written > m_outputs) {
                throw std::invalid_argument(m_where + "writes " +
                                            registerName(Table::Output, first + written - 1) +
                                            " but the value has " + std::to_string(m_outputs) + " numbers");
            }
            for (std::uint32_t k = 0; k < written; ++k) {
                markWritten(m_output, first + k);
            }
            break;
        case Table::Temporary:
            for (std::uint32_t k = 0; k < written; ++k) {
                markWritten(m_temporary, first + k);
            }
            break;
        default:
            throw std::invalid_argument(m_where + "writes " + tableName(in.output.table) +
                                        " registers, which are only read");
        }
    }

    const std::vector<ShaderAssembler::Constant>& m_constants;
    std::uint32_t m_outputs;
    std::uint32_t m_literalCount;
    std::vector<bool> m_output;
    std::vector<bool> m_temporary;
    std::string m_where;
};

} // namespace

// Layout, little-endian words:
//   signature 0x46580200
//   comment 'CTAB': the constant table of the inputs, all in the float4 register set
//   comment 'CLIT': literal count n (a multiple of 4), then n doubles, low word first
//   comment 'FXLC': instruction count, then per instruction: opcode << 20 | scalar flag
//                   0x80000000 | component count, input count, then each input and the output as
//                   relative flag 0, register table, offset in components
//   end token 0x0000FFFF
std::string ExpressionAssembler::assemble(const Code& code,
                                          const std::vector<ShaderAssembler::Constant>& constants,
                                          std::uint32_t outputs) {
    std::vector<double> literals = code.literals;
    while (literals.size() % kComponents != 0) {
        literals.push_back(0.0);
    }
    for (std::size_t i = 0; i < constants.size(); ++i) {
        const ShaderAssembler::Constant& a = constants[i];
        if (a.registerSet != ShaderAssembler::RegisterSet::Float4 || a.registerCount == 0) {
            throw std::invalid_argument("expression input '" + a.name + "' is not in float4 registers");
        }
        for (std::size_t j = 0; j < i; ++j) {
            const ShaderAssembler::Constant& b = constants[j];
            if (a.registerIndex < b.registerIndex + b.registerCount &&
                b.registerIndex < a.registerIndex + a.registerCount) {
                throw std::invalid_argument("expression inputs '" + b.name + "' and '" + a.name +
                                            "' share a register");
            }
        }
    }
    Checker::check(code, constants, outputs, static_cast<std::uint32_t>(literals.size()));

    ByteWriter literalBlock;
    literalBlock.u32(static_cast<std::uint32_t>(literals.size()));
    for (const double d : literals) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        literalBlock.u32(static_cast<std::uint32_t>(bits)).u32(static_cast<std::uint32_t>(bits >> 32));
    }

    ByteWriter instructions;
    instructions.u32(static_cast<std::uint32_t>(code.instructions.size()));
    auto operand = [&instructions](const Operand& o) {
        instructions.u32(0).u32(static_cast<std::uint32_t>(o.table)).u32(o.reg * kComponents + o.component);
    };
    for (const Instruction& in : code.instructions) {
        instructions.u32(static_cast<std::uint32_t>(in.op) << kOpcodeShift | (in.scalar ? kScalarFlag : 0) |
                         in.components);
        instructions.u32(static_cast<std::uint32_t>(in.inputs.size()));
        for (const Operand& o : in.inputs) {
            operand(o);
        }
        operand(in.output);
    }

    ByteWriter out;
    out.u32(kSignature);
    comment(out, kFourCCConstants, constantTable(constants));
    comment(out, kFourCCLiterals, literalBlock.data());
    comment(out, kFourCCInstructions, instructions.data());
    out.u32(kEndToken);
    return out.data();
}
