#include "writers/ddswriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace {

std::uint32_t word(const std::string& bytes, std::size_t offset) {
    std::uint32_t w = 0;
    std::memcpy(&w, bytes.data() + offset, 4);
    return w;
}

void expectWords(const std::string& bytes, const std::vector<std::pair<std::size_t, std::uint32_t>>& words) {
    for (const auto& [offset, value] : words) {
        EXPECT_EQ(word(bytes, offset), value) << "at offset " << offset;
    }
}

// Red across, green down, blue and alpha fixed.
std::vector<std::uint8_t> gradient(std::uint32_t side) {
    std::vector<std::uint8_t> rgba;
    for (std::uint32_t y = 0; y < side; ++y) {
        for (std::uint32_t x = 0; x < side; ++x) {
            rgba.insert(rgba.end(),
                        {std::uint8_t(x * 255 / (side - 1)), std::uint8_t(y * 255 / (side - 1)), 100, 255});
        }
    }
    return rgba;
}

// One DXT1 block as 16 RGBA pixels, decoded as the format defines it.
std::vector<int> decodeBlock(const std::string& block) {
    const std::uint32_t c[2] = {word(block, 0) & 0xFFFF, word(block, 0) >> 16};
    int colour[4][4];
    for (int e = 0; e < 2; ++e) {
        const int rgb[3] = {int(c[e] >> 11) * 255 / 31, int(c[e] >> 5 & 63) * 255 / 63,
                            int(c[e] & 31) * 255 / 31};
        for (int k = 0; k < 3; ++k) {
            colour[e][k] = rgb[k];
        }
        colour[e][3] = 255;
    }
    const bool four = c[0] > c[1];
    for (int k = 0; k < 3; ++k) {
        colour[2][k] = four ? (2 * colour[0][k] + colour[1][k]) / 3 : (colour[0][k] + colour[1][k]) / 2;
        colour[3][k] = four ? (colour[0][k] + 2 * colour[1][k]) / 3 : 0;
    }
    colour[2][3] = 255;
    colour[3][3] = four ? 255 : 0;
    std::vector<int> out;
    for (int i = 0; i < 16; ++i) {
        const int* p = colour[word(block, 4) >> (2 * i) & 3];
        out.insert(out.end(), p, p + 4);
    }
    return out;
}

} // namespace

TEST(DdsWriter, A8R8G8B8FileDescribesEveryMipLevelAndStoresBgra) {
    std::vector<std::uint8_t> rgba(8 * 4 * 4, 0);
    rgba[0] = 10, rgba[1] = 20, rgba[2] = 30, rgba[3] = 40;
    const std::string dds = DdsWriter(8, 4, rgba).build(DdsWriter::Format::A8R8G8B8);
    EXPECT_EQ(dds.substr(0, 4), "DDS ");
    // Levels 8x4, 4x2, 2x1 and 1x1.
    expectWords(dds, {{4, 124},
                      {8, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000},
                      {12, 4},
                      {16, 8},
                      {20, 32},
                      {28, 4},
                      {76, 32},
                      {80, 0x41},
                      {88, 32},
                      {92, 0x00FF0000},
                      {104, 0xFF000000},
                      {108, 0x1000 | 0x8 | 0x400000}});
    EXPECT_EQ(dds.size(), 128u + 4 * (32 + 8 + 2 + 1));
    EXPECT_EQ(dds.substr(128, 4), std::string("\x1E\x14\x0A\x28", 4));
}

TEST(DdsWriter, Dxt1FileHasLinearSizeAndABlockPerFourByFourOfEachLevel) {
    const DdsWriter writer(8, 8, gradient(8));
    const std::string dds = writer.build(DdsWriter::Format::Dxt1);
    expectWords(dds, {{8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x80000}, {20, 32}, {28, 4}, {80, 0x4}});
    EXPECT_EQ(dds.substr(84, 4), "DXT1");
    EXPECT_EQ(dds.size(), 128u + 8 * (4 + 1 + 1 + 1));
    EXPECT_EQ(dds, writer.build(DdsWriter::Format::Dxt1));

    const std::string single = DdsWriter(1, 1, {1, 2, 3, 4}).build(DdsWriter::Format::Dxt1);
    expectWords(single, {{28, 1}, {108, 0x1000}});
    EXPECT_EQ(single.size(), 128u + 8);
}

TEST(DdsWriter, MipLevelsAverageTwoByTwoPixelsDownToOne) {
    // 4x2: the left 2x2 averages to 25, the right one to 200; then 1x1 to their mean.
    std::vector<std::uint8_t> rgba;
    for (int v : {10, 20, 200, 200, 30, 40, 200, 200}) {
        rgba.insert(rgba.end(), {std::uint8_t(v), 0, 0, 255});
    }
    const auto levels = DdsWriter(4, 2, rgba).mipChain();
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(std::make_pair(levels[1].width, levels[1].height), std::make_pair(2u, 1u));
    EXPECT_EQ(levels[1].rgba, (std::vector<std::uint8_t>{25, 0, 0, 255, 200, 0, 0, 255}));
    EXPECT_EQ(levels[2].rgba[0], 113);
}

TEST(DdsWriter, Dxt1BlocksDecodeCloseToTheirPixels) {
    const std::vector<std::uint8_t> top = gradient(16);
    const std::string dds = DdsWriter(16, 16, top).build(DdsWriter::Format::Dxt1);
    // Four colours on a line cannot follow a gradient in two directions exactly: bound the worst
    // pixel loosely and the average tightly.
    int total = 0;
    for (int b = 0; b < 16; ++b) {
        const std::vector<int> decoded = decodeBlock(dds.substr(128 + b * 8, 8));
        for (int i = 0; i < 64; ++i) {
            const int error =
                std::abs(decoded[i] - top[((b / 4 * 4 + i / 16) * 16 + b % 4 * 4 + i / 4 % 4) * 4 + i % 4]);
            EXPECT_LE(error, 40) << "block " << b << " byte " << i;
            total += error;
        }
    }
    EXPECT_LE(total / (16 * 16 * 4), 8);

    // Two colours and a transparent pixel: exact up to 5:6:5, and the transparent one stays so.
    std::vector<std::uint8_t> block;
    for (int i = 0; i < 16; ++i) {
        block.insert(block.end(), {std::uint8_t(i % 2 ? 0 : 255), 0, std::uint8_t(i % 2 ? 255 : 0),
                                   std::uint8_t(i == 5 ? 0 : 255)});
    }
    const std::vector<int> decoded = decodeBlock(DdsWriter::encodeDxt1Block(block.data()));
    for (int i = 0; i < 64; ++i) {
        EXPECT_LE(std::abs(decoded[i] - (i / 4 == 5 ? 0 : block[i])), 4) << "byte " << i;
    }
}

TEST(DdsWriter, RejectsEmptyImagesAndPixelBuffersOfTheWrongSize) {
    EXPECT_THROW(DdsWriter(0, 4, {}), std::invalid_argument);
    EXPECT_THROW(DdsWriter(2, 2, std::vector<std::uint8_t>(15)), std::invalid_argument);
}
