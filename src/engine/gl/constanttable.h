#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The constant table ('CTAB') of a shader or of an effect's expression code: the names of the
// parameters the code reads and the registers each one fills. Arrays and structures are split
// into their elements and members, each with the registers it takes of its whole's, as D3DX does.
class ConstantTable {
public:
    enum RegisterSet : std::uint16_t { Bool = 0, Int4 = 1, Float4 = 2, Sampler = 3 };

    struct Constant {
        std::string name;
        RegisterSet set = Float4;
        std::uint32_t registerIndex = 0;
        std::uint32_t registerCount = 0;
        std::uint16_t klass = 0; // parameter classes: 0 scalar .. 5 struct
        std::uint16_t type = 0;
        std::uint16_t rows = 0;
        std::uint16_t columns = 0;
        std::uint16_t elements = 0;
        std::vector<Constant> members; // elements of an array, or members of a structure
    };

    std::vector<Constant> constants;

    // Reads the table from the comment blocks that follow the first word of code (a shader's
    // version or an expression's signature); a code without a table has none. False with the
    // reason in error when a table is there but does not hold.
    static bool read(const std::uint32_t* code, std::size_t words, ConstantTable& table, std::string& error);
    // The words of the comment block with that four-character code among those following the
    // first word of code; none when absent. A block's length word gives its size.
    static const std::uint32_t* findComment(const std::uint32_t* code, std::size_t words,
                                            std::uint32_t fourCC, std::size_t& length);
};
