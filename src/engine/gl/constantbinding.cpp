#include "engine/gl/constantbinding.h"

#include "engine/d3d/d3dx9effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

using namespace d3d;

namespace {

struct Mismatch : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::uint32_t wordsOf(const EffectFile::Type& t) {
    if (!t.members.empty()) {
        std::uint32_t words = 0;
        for (const EffectFile::Type& m : t.members) {
            words += (m.elements == 0 ? 1 : m.elements) * wordsOf(m);
        }
        return words;
    }
    return t.rows * t.columns;
}

// Pairs a constant with a part of a parameter (the whole, an element or a member), as deep as
// both go, and records a part for every pair of leaves.
void pair(const ConstantTable::Constant& c, const EffectFile::Type& t, bool isElement, int parameter,
          std::uint32_t word, const ConstantBinding::Target (&sets)[3], ConstantBinding& binding) {
    const std::uint32_t elements = isElement ? 0 : t.elements;
    std::size_t count = 0;
    if (elements != 0) {
        count = elements;
        if (c.elements != elements) {
            throw Mismatch("constant " + c.name + " and its parameter differ in elements");
        }
    } else {
        if (c.elements > 1) {
            throw Mismatch("constant " + c.name + " is an array and its parameter is not");
        }
        count = t.members.size();
        if (c.members.size() != count) {
            throw Mismatch("constant " + c.name + " and its parameter differ in members");
        }
    }
    if (count > 0) {
        // Elements repeat the whole's type; members each have their own.
        for (std::size_t i = 0; i < count; ++i) {
            const EffectFile::Type& part = elements != 0 ? t : t.members[i];
            // A one-element array constant is its own element.
            const ConstantTable::Constant& constant = c.members.empty() ? c : c.members[i];
            pair(constant, part, elements != 0, parameter, word, sets, binding);
            word += elements != 0 ? wordsOf(t) : (part.elements == 0 ? 1 : part.elements) * wordsOf(part);
        }
        return;
    }
    if (c.registerCount == 0) {
        return;
    }
    if (t.type != D3DXPT_BOOL && t.type != D3DXPT_INT && t.type != D3DXPT_FLOAT) {
        throw Mismatch("constant " + c.name + " names a parameter that is no number");
    }
    const ConstantBinding::Target target = sets[c.set];
    if (target == ConstantBinding::Target::None) {
        return;
    }
    if (c.klass == D3DXPC_MATRIX_ROWS || c.klass == D3DXPC_MATRIX_COLUMNS) {
        // The constant's registers may not ask for more rows or columns than the parameter has.
        const std::uint32_t major = c.klass == D3DXPC_MATRIX_COLUMNS ? t.columns : t.rows;
        const std::uint32_t minor = c.klass == D3DXPC_MATRIX_COLUMNS ? t.rows : t.columns;
        const bool single = target == ConstantBinding::Target::Bools;
        const std::uint32_t majorCount =
            single ? (minor == 0 ? 0 : c.registerCount / minor) : c.registerCount;
        const std::uint32_t remainder = single && minor != 0 ? c.registerCount % minor : 0;
        if (majorCount > major || (majorCount == major && remainder != 0)) {
            throw Mismatch("constant " + c.name + " takes more registers than its parameter fills");
        }
    }
    binding.parts.push_back({parameter, word, static_cast<std::uint16_t>(t.klass),
                             static_cast<std::uint16_t>(t.type), static_cast<std::uint16_t>(t.rows),
                             static_cast<std::uint16_t>(t.columns), c.klass, target, c.registerIndex,
                             c.registerCount});
}

float toFloat(std::uint32_t word, std::uint32_t type) {
    switch (type) {
    case D3DXPT_INT:
        return static_cast<float>(static_cast<std::int32_t>(word));
    case D3DXPT_BOOL:
        return word != 0 ? 1.0f : 0.0f;
    default: {
        float f = 0;
        std::memcpy(&f, &word, 4);
        return f;
    }
    }
}

std::int32_t toInt(std::uint32_t word, std::uint32_t type) {
    if (type == D3DXPT_FLOAT) {
        const float f = toFloat(word, type);
        // Truncation toward zero, as a C conversion; out of range and NaN give the int limits / 0.
        if (std::isnan(f)) {
            return 0;
        }
        if (f >= 2147483648.0f) {
            return std::numeric_limits<std::int32_t>::max();
        }
        if (f <= -2147483648.0f) {
            return std::numeric_limits<std::int32_t>::min();
        }
        return static_cast<std::int32_t>(f);
    }
    return type == D3DXPT_BOOL ? (word != 0 ? 1 : 0) : static_cast<std::int32_t>(word);
}

// Stores one component into the register file of target at component offset.
void store(ConstantBinding::Registers& r, ConstantBinding::Target target, std::size_t offset,
           std::uint32_t word, std::uint32_t type) {
    switch (target) {
    case ConstantBinding::Target::Floats:
        if (offset < r.floats.size()) {
            r.floats[offset] = toFloat(word, type);
        }
        break;
    case ConstantBinding::Target::Ints:
        if (offset < r.ints.size()) {
            r.ints[offset] = toInt(word, type);
        }
        break;
    case ConstantBinding::Target::Bools:
        if (offset < r.bools.size()) {
            r.bools[offset] = word != 0 ? 1 : 0;
        }
        break;
    case ConstantBinding::Target::None:
        break;
    }
}

} // namespace

bool ConstantBinding::bind(const ConstantTable& table, const std::vector<EffectFile::Parameter>& parameters,
                           const Target (&sets)[3], ConstantBinding& binding, std::string& error) {
    binding = ConstantBinding{};
    try {
        for (const ConstantTable::Constant& c : table.constants) {
            int found = -1;
            for (std::size_t i = 0; i < parameters.size() && found < 0; ++i) {
                if (parameters[i].type.name == c.name) {
                    found = static_cast<int>(i);
                }
            }
            if (found < 0) {
                continue;
            }
            const EffectFile::Type& t = parameters[static_cast<std::size_t>(found)].type;
            if (std::find(binding.parameters.begin(), binding.parameters.end(), found) ==
                binding.parameters.end()) {
                binding.parameters.push_back(found);
            }
            if (c.klass == D3DXPC_OBJECT) {
                const bool sampler =
                    t.klass == D3DXPC_OBJECT && t.type >= D3DXPT_SAMPLER && t.type <= D3DXPT_SAMPLERCUBE;
                if (c.set != ConstantTable::Sampler || !sampler ||
                    std::max<std::uint32_t>(t.elements, 1) < c.registerCount) {
                    throw Mismatch("sampler " + c.name + " does not fit its parameter");
                }
                binding.samplers.push_back({found, c.registerIndex, c.registerCount});
                continue;
            }
            if (c.set == ConstantTable::Sampler) {
                throw Mismatch("constant " + c.name + " in the sampler registers is no sampler");
            }
            pair(c, t, false, found, 0, sets, binding);
        }
    } catch (const Mismatch& e) {
        error = e.what();
        binding = ConstantBinding{};
        return false;
    }
    return true;
}

void ConstantBinding::write(const Values& values, Registers& registers) const {
    for (const Part& p : parts) {
        const std::vector<std::uint32_t>& v = values[static_cast<std::size_t>(p.parameter)];
        auto word = [&](std::uint32_t i) { return p.word + i < v.size() ? v[p.word + i] : 0u; };
        const std::size_t components = p.target == Target::Bools ? 1 : 4;
        const std::size_t start = std::size_t{p.registerIndex} * components;
        if (p.constantClass == D3DXPC_SCALAR || p.constantClass == D3DXPC_VECTOR) {
            const std::uint32_t count = std::max(p.rows, p.columns);
            for (std::uint32_t i = 0; i < count; ++i) {
                store(registers, p.target, start + i, word(i), p.type);
            }
            continue;
        }
        const bool transpose = (p.constantClass == D3DXPC_MATRIX_COLUMNS && p.klass == D3DXPC_MATRIX_ROWS) ||
                               (p.klass == D3DXPC_MATRIX_COLUMNS && p.constantClass == D3DXPC_MATRIX_ROWS);
        const std::uint32_t major = p.constantClass == D3DXPC_MATRIX_COLUMNS ? p.columns : p.rows;
        const std::uint32_t minor = p.constantClass == D3DXPC_MATRIX_COLUMNS ? p.rows : p.columns;
        std::uint32_t stride = 4;
        std::uint32_t majorCount = p.registerCount;
        std::uint32_t remainder = 0;
        if (components == 1) {
            stride = minor;
            majorCount = minor == 0 ? 0 : p.registerCount / minor;
            remainder = minor == 0 ? 0 : p.registerCount % minor;
        }
        std::uint32_t i = 0;
        for (; i < majorCount; ++i) {
            for (std::uint32_t j = 0; j < minor; ++j) {
                store(registers, p.target, start + i * stride + j,
                      word(transpose ? i + j * major : i * minor + j), p.type);
            }
        }
        if (transpose) {
            for (std::uint32_t j = 0; j < remainder; ++j) {
                store(registers, p.target, start + i * stride + j, word(i + j * major), p.type);
            }
        }
    }
}
