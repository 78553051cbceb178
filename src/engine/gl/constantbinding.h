#pragma once

#include "engine/gl/constanttable.h"
#include "engine/gl/effectfile.h"

#include <cstdint>
#include <string>
#include <vector>

// The constants of a table bound to an effect's parameters by name, and the writing of the
// parameters' current values into registers with D3DX's rules: matrices transposed where the
// parameter's and the constant's majors differ, numbers converted to the registers' type.
class ConstantBinding {
public:
    // The current values of the effect's top-level parameters, as words in the effect file's layout.
    using Values = std::vector<std::vector<std::uint32_t>>;

    // Register files: floats and ints four components a register, bools one.
    struct Registers {
        std::vector<float> floats;
        std::vector<std::int32_t> ints;
        std::vector<std::int32_t> bools;
    };

    // Which file a register set of the table lands in (shaders and expressions map them apart).
    enum class Target { Floats, Ints, Bools, None };

    // One part of a parameter written into registers.
    struct Part {
        int parameter;
        std::uint32_t word; // where the part begins in the parameter's value
        std::uint16_t klass, type, rows, columns;
        std::uint16_t constantClass;
        Target target;
        std::uint32_t registerIndex, registerCount;
    };

    // A sampler the code reads: registers registerIndex .. + registerCount - 1 take the samplers of
    // the parameter's elements.
    struct Sampler {
        int parameter;
        std::uint32_t registerIndex, registerCount;
    };

    std::vector<Part> parts;
    std::vector<Sampler> samplers;
    std::vector<int> parameters; // every parameter read, once

    // Binds table's constants to the parameters of the same names (constants without one are left
    // out, as D3DX leaves them); sets maps the table's bool, int4 and float4 sets to register files.
    // False with the reason when a constant and its parameter do not fit together.
    static bool bind(const ConstantTable& table, const std::vector<EffectFile::Parameter>& parameters,
                     const Target (&sets)[3], ConstantBinding& binding, std::string& error);
    // Writes the parameters' values into registers (writes past a file's size are dropped).
    void write(const Values& values, Registers& registers) const;
};
