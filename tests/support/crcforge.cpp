#include "support/crcforge.h"

#include "managers/crc32.h"

#include <array>
#include <stdexcept>

namespace {

std::array<std::uint32_t, 256> crcTable() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i;
        for (int bit = 0; bit < 8; ++bit) {
            r = (r & 1u) != 0 ? (r >> 1) ^ 0xEDB88320u : r >> 1;
        }
        t[i] = r;
    }
    return t;
}

// Four bytes that, processed after text, turn the CRC into crc.
std::string steeringBytes(const std::string& text, std::uint32_t crc) {
    static const std::array<std::uint32_t, 256> table = crcTable();
    // Each table entry has a distinct top byte, so every register step can be undone.
    std::uint32_t reg = ~crc;
    for (int step = 0; step < 4; ++step) {
        std::uint32_t index = 0;
        while ((table[index] >> 24) != (reg >> 24)) {
            ++index;
        }
        reg = ((reg ^ table[index]) << 8) | index;
    }
    const std::uint32_t before = ~crc32(text.data(), text.size());
    const std::uint32_t bytes = reg ^ before;
    std::string out;
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((bytes >> (8 * i)) & 0xFFu));
    }
    return out;
}

bool stable(const std::string& bytes) {
    for (const char c : bytes) {
        if (c == '\0' || (c >= 'a' && c <= 'z')) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string nameWithCrc(const std::string& prefix, std::uint32_t crc) {
    for (int attempt = 0; attempt < 100000; ++attempt) {
        const std::string text = prefix + std::to_string(attempt);
        const std::string name = text + steeringBytes(text, crc);
        if (stable(name) && crc32(name.data(), name.size()) == crc) {
            return name;
        }
    }
    throw std::runtime_error("no name found for the CRC");
}
