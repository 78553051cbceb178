#include "writers/shaderassembler.h"

#include <mojoshader.h>

#include <memory>
#include <stdexcept>

namespace {

struct ParseDataDeleter {
    void operator()(const MOJOSHADER_parseData* data) const { MOJOSHADER_freeParseData(data); }
};
using ParseData = std::unique_ptr<const MOJOSHADER_parseData, ParseDataDeleter>;

const char* registerName(ShaderAssembler::RegisterSet set) {
    switch (set) {
    case ShaderAssembler::RegisterSet::Bool:
        return "b";
    case ShaderAssembler::RegisterSet::Int4:
        return "i";
    case ShaderAssembler::RegisterSet::Float4:
        return "c";
    case ShaderAssembler::RegisterSet::Sampler:
        return "s";
    }
    return "?";
}

bool covers(const std::vector<ShaderAssembler::Constant>& constants, ShaderAssembler::RegisterSet set,
            std::uint32_t index) {
    for (const ShaderAssembler::Constant& c : constants) {
        if (c.registerSet == set && index >= c.registerIndex && index - c.registerIndex < c.registerCount) {
            return true;
        }
    }
    return false;
}

void requireCovered(const std::vector<ShaderAssembler::Constant>& constants, ShaderAssembler::RegisterSet set,
                    int index) {
    if (!covers(constants, set, static_cast<std::uint32_t>(index))) {
        throw std::invalid_argument("the code uses " + std::string(registerName(set)) +
                                    std::to_string(index) + " but no constant is bound to it");
    }
}

} // namespace

std::string ShaderAssembler::assemble(const std::string& source, Stage stage,
                                      const std::vector<Constant>& constants) {
    for (std::size_t i = 0; i < constants.size(); ++i) {
        const Constant& a = constants[i];
        if (a.name.empty()) {
            throw std::invalid_argument("a shader constant has no name");
        }
        if (a.registerCount == 0) {
            throw std::invalid_argument("shader constant '" + a.name + "' takes no registers");
        }
        for (std::size_t j = 0; j < i; ++j) {
            const Constant& b = constants[j];
            if (a.registerSet == b.registerSet && a.registerIndex < b.registerIndex + b.registerCount &&
                b.registerIndex < a.registerIndex + a.registerCount) {
                throw std::invalid_argument("shader constants '" + b.name + "' and '" + a.name +
                                            "' share a register");
            }
        }
    }

    // MojoShader trusts the symbols as given and copies them into the table.
    std::vector<MOJOSHADER_symbol> symbols(constants.size());
    for (std::size_t i = 0; i < constants.size(); ++i) {
        const Constant& c = constants[i];
        MOJOSHADER_symbol& s = symbols[i];
        s.name = c.name.c_str();
        s.register_set = static_cast<MOJOSHADER_symbolRegisterSet>(c.registerSet);
        s.register_index = c.registerIndex;
        s.register_count = c.registerCount;
        s.info.parameter_class = static_cast<MOJOSHADER_symbolClass>(c.typeClass);
        s.info.parameter_type = static_cast<MOJOSHADER_symbolType>(c.type);
        s.info.rows = c.rows;
        s.info.columns = c.columns;
        s.info.elements = 1;
        s.info.member_count = 0;
        s.info.members = nullptr;
    }

    const ParseData data(MOJOSHADER_assemble(
        nullptr, source.data(), static_cast<unsigned int>(source.size()), nullptr, 0, symbols.data(),
        static_cast<unsigned int>(symbols.size()), nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr));
    if (data->error_count > 0) {
        const MOJOSHADER_error& e = data->errors[0];
        std::string message = e.error ? e.error : "unknown error";
        if (e.error_position >= 0) {
            message = "line " + std::to_string(e.error_position) + ": " + message;
        }
        throw std::invalid_argument("assembly error: " + message);
    }
    if (data->output == nullptr || data->output_len <= 0) {
        throw std::runtime_error("the assembler produced no bytecode");
    }

    const bool pixel = data->shader_type == MOJOSHADER_TYPE_PIXEL;
    if (pixel != (stage == Stage::Pixel)) {
        throw std::invalid_argument(std::string("the code is a ") + (pixel ? "pixel" : "vertex") + " shader");
    }
    for (int i = 0; i < data->uniform_count; ++i) {
        const MOJOSHADER_uniform& u = data->uniforms[i];
        const RegisterSet set = u.type == MOJOSHADER_UNIFORM_BOOL  ? RegisterSet::Bool
                                : u.type == MOJOSHADER_UNIFORM_INT ? RegisterSet::Int4
                                                                   : RegisterSet::Float4;
        // A relative read (c0[a0.x]) covers a range of registers.
        const int count = u.array_count > 0 ? u.array_count : 1;
        for (int r = 0; r < count; ++r) {
            requireCovered(constants, set, u.index + r);
        }
    }
    for (int i = 0; i < data->sampler_count; ++i) {
        requireCovered(constants, RegisterSet::Sampler, data->samplers[i].index);
    }

    return std::string(data->output, static_cast<std::size_t>(data->output_len));
}
