#include "writers/ddswriter.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::uint32_t word(const std::string& bytes, std::size_t offset) {
    std::uint32_t w = 0;
    std::memcpy(&w, bytes.data() + offset, 4);
    return w;
}

// The colour a DXT1 block gives pixel i, as RGBA, decoded as the format defines it.
std::array<int, 4> decode(const std::string& block, int i) {
    const std::uint32_t end[2] = {word(block, 0) & 0xFFFF, word(block, 0) >> 16};
    auto rgb = [&](int k, int e) {
        const int bits[3] = {int(end[e] >> 11), int(end[e] >> 5 & 63), int(end[e] & 31)};
        return bits[k] * 255 / (k == 1 ? 63 : 31);
    };
    const int index = word(block, 4) >> (2 * i) & 3;
    std::array<int, 4> c = {0, 0, 0, 255};
    for (int k = 0; k < 3; ++k) {
        const int a = rgb(k, 0), b = rgb(k, 1);
        const int mixed[4] = {a, b, end[0] > end[1] ? (2 * a + b) / 3 : (a + b) / 2,
                              end[0] > end[1] ? (a + 2 * b) / 3 : 0};
        c[k] = mixed[index];
    }
    c[3] = index == 3 && end[0] <= end[1] ? 0 : 255;
    return c;
}

} // namespace

TEST(DdsWriter, HeadersDescribeEveryMipLevelAndEachLevelAveragesTheOneAbove) {
    std::vector<std::uint8_t> rgba(8 * 4 * 4, 0);
    rgba[0] = 10, rgba[1] = 20, rgba[2] = 30, rgba[3] = 40;
    const std::string argb = DdsWriter(8, 4, rgba).build(DdsWriter::Format::A8R8G8B8);
    const std::string dxt1 =
        DdsWriter(8, 8, std::vector<std::uint8_t>(8 * 8 * 4, 9)).build(DdsWriter::Format::Dxt1);
    // Flags, height, width, pitch, mip count; pixel format flags; caps. Levels 8x4, 4x2, 2x1, 1x1.
    EXPECT_EQ(std::make_tuple(word(argb, 8), word(argb, 12), word(argb, 16), word(argb, 20), word(argb, 28),
                              word(argb, 80), word(argb, 108), argb.size()),
              std::make_tuple(0x2100Fu, 4u, 8u, 32u, 4u, 0x41u, 0x401008u,
                              std::size_t{128 + 4 * (32 + 8 + 2 + 1)}));
    EXPECT_EQ(argb.substr(128, 4), std::string("\x1E\x14\x0A\x28", 4)); // BGRA
    EXPECT_EQ(std::make_tuple(word(dxt1, 8), word(dxt1, 20), dxt1.substr(84, 4), dxt1.size()),
              std::make_tuple(0xA1007u, 32u, std::string("DXT1"), std::size_t{128 + 8 * (4 + 1 + 1 + 1)}));
    // Rounding halves up.
    const auto levels =
        DdsWriter(2, 2, {10, 0, 0, 255, 20, 0, 0, 255, 30, 0, 0, 255, 42, 0, 0, 255}).mipChain();
    EXPECT_EQ(levels.back().rgba, (std::vector<std::uint8_t>{26, 0, 0, 255}));
}

TEST(DdsWriter, Dxt1BlocksOfTwoColoursDecodeExactlyAndKeepTransparentPixels) {
    std::vector<std::uint8_t> block;
    for (int i = 0; i < 16; ++i) {
        block.insert(block.end(), {std::uint8_t(i % 2 ? 0 : 255), 0, std::uint8_t(i % 2 ? 255 : 0),
                                   std::uint8_t(i == 5 ? 0 : 255)});
    }
    const std::string encoded = DdsWriter::encodeDxt1Block(block.data());
    for (int i = 0; i < 16; ++i) {
        const std::array<int, 4> expected = {block[4 * i], 0, block[4 * i + 2], block[4 * i + 3]};
        EXPECT_EQ(decode(encoded, i), i == 5 ? (std::array<int, 4>{0, 0, 0, 0}) : expected) << "pixel " << i;
    }
}
