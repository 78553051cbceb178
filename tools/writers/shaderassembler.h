#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Assembles Direct3D 9 shader assembly (vs/ps 1.1 to 3.0) into bytecode with MojoShader's
// assembler, which also writes the constant table (CTAB) from the constants given. Every register
// the code reads from the constant files and every sampler it samples must be covered by a
// constant: D3DX uploads effect parameters only through that table.
class ShaderAssembler {
public:
    // Register files of the constant table, numbered as it numbers them.
    enum class RegisterSet : std::uint32_t { Bool = 0, Int4 = 1, Float4 = 2, Sampler = 3 };

    // One constant-table entry: a name, its registers and its type, in the table's own codes.
    struct Constant {
        std::string name;
        RegisterSet registerSet = RegisterSet::Float4;
        std::uint32_t registerIndex = 0;
        std::uint32_t registerCount = 1;
        std::uint32_t typeClass = 0; // 0 scalar, 1 vector, 3 matrix columns, 4 object
        std::uint32_t type = 3;      // 3 float, 12 sampler2d
        std::uint32_t rows = 1;
        std::uint32_t columns = 1;
    };

    enum class Stage { Vertex, Pixel };

    // The bytecode of source, for stage, with a constant table of constants in the order given.
    // Throws std::invalid_argument naming the problem for an assembly error, code for the other
    // stage, constants whose registers overlap, or a register or sampler the code uses that no
    // constant covers.
    static std::string assemble(const std::string& source, Stage stage,
                                const std::vector<Constant>& constants);
};
