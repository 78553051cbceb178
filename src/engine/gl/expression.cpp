#include "engine/gl/expression.h"

#include "main/hextext.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

constexpr std::uint32_t kFourCCLiterals = 0x54494C43;     // 'CLIT'
constexpr std::uint32_t kFourCCInstructions = 0x434C5846; // 'FXLC'
constexpr std::uint32_t kOpcodeMask = 0x7FF00000;
constexpr std::uint32_t kOpcodeShift = 20;
constexpr std::uint32_t kScalarFlag = 0x80000000;
constexpr std::uint32_t kComponentMask = 0x0000FFFF;
// Registers an operand may name; the limit keeps the tables small whatever a file claims.
constexpr std::uint32_t kMaxRegisters = 4096;

enum Op {
    Nop,
    Mov,
    Neg,
    Rcp,
    Frc,
    Exp,
    Log,
    Rsq,
    Sin,
    Cos,
    Asin,
    Acos,
    Atan,
    Min,
    Max,
    Lt,
    Ge,
    Add,
    Mul,
    Atan2,
    Div,
    Cmp,
    Dot,
    DotSwiz6,
    DotSwiz8
};

struct OpInfo {
    std::uint32_t opcode;
    std::uint32_t inputs;
    bool allComponents; // one result from all components of the inputs
};

// By Op; the two swizzled dot products share an opcode and differ in their input count.
constexpr OpInfo kOps[] = {
    {0x000, 0, false}, {0x100, 1, false}, {0x101, 1, false}, {0x103, 1, false}, {0x104, 1, false},
    {0x105, 1, false}, {0x106, 1, false}, {0x107, 1, false}, {0x108, 1, false}, {0x109, 1, false},
    {0x10A, 1, false}, {0x10B, 1, false}, {0x10C, 1, false}, {0x200, 2, false}, {0x201, 2, false},
    {0x202, 2, false}, {0x203, 2, false}, {0x204, 2, false}, {0x205, 2, false}, {0x206, 2, false},
    {0x208, 2, false}, {0x300, 3, false}, {0x500, 2, true},  {0x70E, 6, false}, {0x70E, 8, false},
};

struct Invalid : std::runtime_error {
    using std::runtime_error::runtime_error;
};

double signedNan(double v) {
    return std::isnan(v) ? -std::numeric_limits<double>::quiet_NaN() : v;
}

double dot(const double* a, int n) {
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        sum += a[i] * a[i + n];
    }
    return sum;
}

double apply(int op, const double* a, int n) {
    switch (op) {
    case Mov:
        return a[0];
    case Neg:
        return -a[0];
    case Rcp:
        return 1.0 / a[0];
    case Frc:
        return a[0] - std::floor(a[0]);
    case Exp:
        return std::pow(2.0, a[0]);
    case Log:
        return std::fabs(a[0]) == 0.0 ? 0.0 : std::log2(std::fabs(a[0]));
    case Rsq:
        return std::fabs(a[0]) == 0.0 ? HUGE_VAL : 1.0 / std::sqrt(std::fabs(a[0]));
    case Sin:
        return std::sin(a[0]);
    case Cos:
        return std::cos(a[0]);
    case Asin:
        return signedNan(std::asin(a[0]));
    case Acos:
        return signedNan(std::acos(a[0]));
    case Atan:
        return std::atan(a[0]);
    case Min:
        return std::fmin(a[0], a[1]);
    case Max:
        return std::fmax(a[0], a[1]);
    case Lt:
        return a[0] < a[1] ? 1.0 : 0.0;
    case Ge:
        return a[0] >= a[1] ? 1.0 : 0.0;
    case Add:
        return a[0] + a[1];
    case Mul:
        return a[0] * a[1];
    case Atan2:
        return std::atan2(a[0], a[1]);
    case Div:
        return 0.0; // D3DX's own divide gives 0; compilers emit rcp and mul instead
    case Cmp:
        return a[0] >= 0.0 ? a[1] : a[2];
    case Dot:
        return dot(a, n);
    case DotSwiz6:
        return dot(a, 3);
    case DotSwiz8:
        return dot(a, 4);
    default:
        return 0.0;
    }
}

} // namespace

// Layout of the instruction block ('FXLC'), in words:
//   instruction count, then per instruction:
//     opcode << 20 | scalar flag 0x80000000 | component count, input count,
//     the inputs, then the output, each: relative flag (0, or 1 followed by the index register's
//     table and offset), table, offset in components (registers for bools)
bool Expression::read(const std::uint32_t* code, std::size_t words,
                      const std::vector<EffectFile::Parameter>& parameters, Expression& e,
                      std::string& error) {
    e = Expression{};
    try {
        if (words == 0) {
            throw Invalid("expression: no code");
        }
        std::size_t length = 0;
        if (const std::uint32_t* literals =
                ConstantTable::findComment(code, words, kFourCCLiterals, length)) {
            const std::uint32_t count = literals[1];
            if (length < 2 || count > (length - 2) / 2 || count % 4 != 0) {
                throw Invalid("expression: literals that do not fit their block");
            }
            e.m_literals.resize(count);
            if (count > 0) {
                std::memcpy(e.m_literals.data(), literals + 2, count * sizeof(double));
            }
        }
        ConstantTable constants;
        if (!ConstantTable::read(code, words, constants, error)) {
            return false;
        }
        // Integer and boolean inputs are not offered; no compiled expression reads them.
        const ConstantBinding::Target sets[3] = {ConstantBinding::Target::None, ConstantBinding::Target::None,
                                                 ConstantBinding::Target::Floats};
        if (!ConstantBinding::bind(constants, parameters, sets, e.m_inputs, error)) {
            return false;
        }
        std::uint32_t sizes[NoTable] = {};
        sizes[Immediate] = static_cast<std::uint32_t>(e.m_literals.size() / 4);
        for (const ConstantBinding::Part& p : e.m_inputs.parts) {
            sizes[Input] = std::max(sizes[Input], std::min(p.registerIndex + p.registerCount, kMaxRegisters));
        }
        const std::uint32_t* block = ConstantTable::findComment(code, words, kFourCCInstructions, length);
        if (block == nullptr) {
            return true; // code without instructions computes nothing
        }
        const std::uint32_t* p = block + 1;
        const std::uint32_t* end = block + length;
        auto next = [&]() {
            if (p >= end) {
                throw Invalid("expression: the instructions run past their block");
            }
            return *p++;
        };
        auto table = [&](std::uint32_t number) {
            static constexpr Table kTables[8] = {NoTable, Immediate,  Input,     Vertex,
                                                 Output,  OutputBool, OutputInt, Temporary};
            if (number >= 8 || kTables[number] == NoTable) {
                throw Invalid("expression: an operand of unknown register table " + hexText(number));
            }
            return kTables[number];
        };
        auto operand = [&]() {
            Operand o;
            const std::uint32_t relative = next();
            if (relative > 1) {
                throw Invalid("expression: an operand of unknown addressing " + hexText(relative));
            }
            if (relative == 1) {
                o.indexTable = table(next());
                o.indexOffset = next();
            }
            o.table = table(next());
            o.offset = next();
            if (o.table == OutputBool) {
                o.offset /= 4;
            }
            return o;
        };
        const std::uint32_t count = next();
        if (count > static_cast<std::uint32_t>(end - p) / 2) {
            throw Invalid("expression: more instructions than its block holds");
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            Instruction in;
            const std::uint32_t token = next();
            const std::uint32_t inputs = next();
            const std::uint32_t opcode = (token & kOpcodeMask) >> kOpcodeShift;
            in.components = token & kComponentMask;
            in.scalar = (token & kScalarFlag) != 0;
            if (in.components < 1 || in.components > 4) {
                throw Invalid("expression: an instruction of " + std::to_string(in.components) +
                              " components");
            }
            in.op = -1;
            for (int op = 0; op < static_cast<int>(sizeof kOps / sizeof kOps[0]); ++op) {
                if (kOps[op].opcode == opcode && kOps[op].inputs == inputs) {
                    in.op = op;
                }
            }
            if (in.op < 0) {
                throw Invalid("expression: unknown instruction " + hexText(opcode) + " of " +
                              std::to_string(inputs) + " inputs");
            }
            for (std::uint32_t k = 0; k < inputs; ++k) {
                in.inputs.push_back(operand());
            }
            in.output = operand();
            const OpInfo& info = kOps[in.op];
            if (in.output.indexTable != NoTable ||
                (in.output.table != Output && in.output.table != OutputBool && in.output.table != OutputInt &&
                 in.output.table != Temporary)) {
                throw Invalid("expression: an output into a register that takes none");
            }
            const std::uint32_t outComponents = perRegister(in.output.table);
            const std::uint32_t last = in.output.offset + (info.allComponents ? 0 : in.components - 1);
            if (last / outComponents != in.output.offset / outComponents) {
                throw Invalid("expression: an output across registers");
            }
            if (info.allComponents && info.inputs * in.components > 8) {
                throw Invalid("expression: a dot product of too many components");
            }
            // Every register read must exist: a literal, a bound input, or written before.
            for (std::size_t k = 0; k < in.inputs.size(); ++k) {
                const Operand& o = in.inputs[k];
                const std::uint32_t lastComponent = in.scalar && k == 0 ? 0 : in.components - 1;
                const Table t = o.indexTable == NoTable ? o.table : o.indexTable;
                const std::uint32_t at = o.indexTable == NoTable ? o.offset + lastComponent : o.indexOffset;
                if (at / perRegister(t) >= sizes[t]) {
                    throw Invalid("expression: an input register that holds nothing");
                }
            }
            const std::uint32_t written = in.output.offset / outComponents;
            if (written >= kMaxRegisters) {
                throw Invalid("expression: an output register past the last");
            }
            sizes[in.output.table] = std::max(sizes[in.output.table], written + 1);
            if (in.output.table != Temporary) {
                const int file = in.output.table == Output ? 0 : in.output.table == OutputInt ? 1 : 2;
                const std::pair<int, std::uint32_t> reg{file, written};
                if (std::find(e.m_outputs.begin(), e.m_outputs.end(), reg) == e.m_outputs.end()) {
                    e.m_outputs.push_back(reg);
                }
            }
            e.m_instructions.push_back(std::move(in));
        }
        e.m_inputSize = sizes[Input];
        e.m_inputRegisters.floats.assign(std::size_t{sizes[Input]} * 4, 0.0f);
        e.m_temporaries.assign(std::size_t{sizes[Temporary]} * 4, 0.0f);
        e.m_outputSizes[0] = sizes[Output];
        e.m_outputSizes[1] = sizes[OutputInt];
        e.m_outputSizes[2] = sizes[OutputBool];
    } catch (const Invalid& x) {
        error = x.what();
        e = Expression{};
        return false;
    }
    return true;
}

double Expression::get(const Operand& o, std::uint32_t component,
                       const ConstantBinding::Registers& out) const {
    std::uint32_t base = 0;
    if (o.indexTable != NoTable) {
        Operand index;
        index.table = o.indexTable;
        index.offset = o.indexOffset;
        const double v = get(index, 0, out);
        base = std::isfinite(v) && v >= 0 && v < 1e9 ? static_cast<std::uint32_t>(std::lrint(v)) : 0;
    }
    const std::uint32_t components = perRegister(o.table);
    std::uint64_t offset = std::uint64_t{base} * components + o.offset + component;
    std::uint64_t reg = offset / components;
    std::uint64_t size = 0;
    switch (o.table) {
    case Immediate:
        size = m_literals.size() / 4;
        break;
    case Input:
        size = m_inputSize;
        break;
    case Output:
        size = out.floats.size() / 4;
        break;
    case OutputInt:
        size = out.ints.size() / 4;
        break;
    case OutputBool:
        size = out.bools.size();
        break;
    case Temporary:
        size = m_temporaries.size() / 4;
        break;
    default:
        return 0.0;
    }
    if (reg >= size) {
        // Indices past a table wrap; past the input table to the next power of two of its size.
        std::uint64_t wrap = size;
        if (o.table == Input) {
            for (wrap = 1; wrap < size; wrap <<= 1) {
            }
        }
        if (wrap == 0) {
            return 0.0;
        }
        reg %= wrap;
        if (reg >= size) {
            return 0.0;
        }
        offset = reg * components + offset % components;
    }
    switch (o.table) {
    case Immediate:
        return m_literals[offset];
    case Input:
        return m_inputRegisters.floats[offset];
    case Output:
        return out.floats[offset];
    case OutputInt:
        return out.ints[offset];
    case OutputBool:
        return out.bools[offset];
    default:
        return m_temporaries[offset];
    }
}

void Expression::set(const Operand& o, std::uint32_t component, double value,
                     ConstantBinding::Registers& out) {
    const std::size_t at = std::size_t{o.offset} + component;
    switch (o.table) {
    case Output:
        out.floats[at] = static_cast<float>(value);
        break;
    case OutputInt:
        out.ints[at] = std::isfinite(value) && std::fabs(value) < 2147483647.0
                           ? static_cast<std::int32_t>(std::lrint(value))
                           : 0;
        break;
    case OutputBool:
        out.bools[at] = value != 0.0 ? 1 : 0;
        break;
    default:
        m_temporaries[at] = static_cast<float>(value);
        break;
    }
}

void Expression::run(const ConstantBinding::Values& values, ConstantBinding::Registers& out) {
    if (out.floats.size() < std::size_t{m_outputSizes[0]} * 4) {
        out.floats.resize(std::size_t{m_outputSizes[0]} * 4, 0.0f);
    }
    if (out.ints.size() < std::size_t{m_outputSizes[1]} * 4) {
        out.ints.resize(std::size_t{m_outputSizes[1]} * 4, 0);
    }
    if (out.bools.size() < m_outputSizes[2]) {
        out.bools.resize(m_outputSizes[2], 0);
    }
    m_inputs.write(values, m_inputRegisters);
    double args[8];
    for (const Instruction& in : m_instructions) {
        const OpInfo& info = kOps[in.op];
        if (info.allComponents) {
            for (std::uint32_t k = 0; k < info.inputs; ++k) {
                for (std::uint32_t j = 0; j < in.components; ++j) {
                    args[k * in.components + j] = get(in.inputs[k], in.scalar && k == 0 ? 0 : j, out);
                }
            }
            set(in.output, 0, apply(in.op, args, static_cast<int>(in.components)), out);
            continue;
        }
        for (std::uint32_t j = 0; j < in.components; ++j) {
            for (std::uint32_t k = 0; k < info.inputs; ++k) {
                args[k] = get(in.inputs[k], in.scalar && k == 0 ? 0 : j, out);
            }
            set(in.output, j, apply(in.op, args, static_cast<int>(in.components)), out);
        }
    }
}
