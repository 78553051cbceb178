#include "managers/crc32.h"

#include <array>

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

const std::array<std::uint32_t, 256>& table() {
    static const std::array<std::uint32_t, 256> entries = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i;
            for (int bit = 0; bit < 8; ++bit) {
                r = (r & 1u) != 0 ? (r >> 1) ^ kPolynomial : r >> 1;
            }
            t[i] = r;
        }
        return t;
    }();
    return entries;
}

} // namespace

std::uint32_t crc32(const void* data, std::size_t length) {
    const auto& t = table();
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::uint32_t r = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) {
        r = t[(r ^ bytes[i]) & 0xFFu] ^ (r >> 8);
    }
    return ~r;
}
