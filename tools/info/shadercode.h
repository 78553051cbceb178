#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A shader's code as a modder sees it: its model as the effect compiler names it (vs_1_1, ps_2_0)
// and how many instructions it runs (declarations, constant definitions and comments not counted).
class ShaderCode {
public:
    // Reads the code's version and walks its instructions up to its end token or its last word.
    explicit ShaderCode(const std::vector<std::uint8_t>& code);

    // The model; empty when the code does not start with a shader's version.
    const std::string& model() const { return m_model; }
    // The instructions counted.
    std::uint32_t instructions() const { return m_instructions; }

private:
    std::string m_model;
    std::uint32_t m_instructions = 0;
};
