#include "info/shadercode.h"

namespace {

constexpr std::uint32_t kVertexKind = 0xFFFE;
constexpr std::uint32_t kPixelKind = 0xFFFF;
constexpr std::uint32_t kDcl = 0x1F;
constexpr std::uint32_t kDef = 0x51;
constexpr std::uint32_t kDefI = 0x52;
constexpr std::uint32_t kDefB = 0x53;
constexpr std::uint32_t kPhase = 0xFFFD;
constexpr std::uint32_t kComment = 0xFFFE;
constexpr std::uint32_t kEnd = 0xFFFF;

} // namespace

ShaderCode::ShaderCode(const std::vector<std::uint8_t>& code) {
    std::vector<std::uint32_t> words(code.size() / 4);
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = std::uint32_t{code[i * 4]} | std::uint32_t{code[i * 4 + 1]} << 8 |
                   std::uint32_t{code[i * 4 + 2]} << 16 | std::uint32_t{code[i * 4 + 3]} << 24;
    }
    const std::uint32_t kind = words.empty() ? 0 : words[0] >> 16;
    if (kind != kVertexKind && kind != kPixelKind) {
        return;
    }
    const std::uint32_t major = words[0] >> 8 & 0xFF;
    m_model =
        (kind == kVertexKind ? "vs_" : "ps_") + std::to_string(major) + "_" + std::to_string(words[0] & 0xFF);
    for (std::size_t at = 1; at < words.size();) {
        const std::uint32_t opcode = words[at] & 0xFFFF;
        if (opcode == kEnd) {
            break;
        }
        // From shader model 2 on an instruction gives its length; before, its operands are the
        // words that follow with the top bit set, except def's four raw numbers.
        std::size_t length = 0;
        if (opcode == kComment) {
            length = words[at] >> 16 & 0x7FFF;
        } else if (major >= 2) {
            length = words[at] >> 24 & 0xF;
        } else if (opcode == kDef) {
            length = 5;
        } else {
            while (at + 1 + length < words.size() && (words[at + 1 + length] & 0x80000000u) != 0) {
                ++length;
            }
        }
        if (opcode != kComment && opcode != kDcl && opcode != kDef && opcode != kDefI && opcode != kDefB &&
            opcode != kPhase) {
            ++m_instructions;
        }
        at += 1 + length;
    }
}
