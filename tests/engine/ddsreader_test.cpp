#include "engine/gl/ddsreader.h"
#include "writers/bytewriter.h"
#include "writers/ddswriter.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes pattern(std::uint32_t width, std::uint32_t height) {
    Bytes rgba;
    for (std::uint32_t i = 0; i < width * height; ++i) {
        rgba.insert(rgba.end(), {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i * 13),
                                 static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 3)});
    }
    return rgba;
}

// A header for an uncompressed layout of one level (masks red, green, blue, alpha), then the pixels.
std::string uncompressed(std::uint32_t width, std::uint32_t height, std::uint32_t pixelFlags,
                         std::uint32_t bits, const std::array<std::uint32_t, 4>& masks,
                         const std::string& pixels, std::uint32_t caps2 = 0) {
    ByteWriter w;
    w.u32(0x20534444).u32(124).u32(0x1007).u32(height).u32(width).u32(width * bits / 8).u32(0).u32(0);
    for (int i = 0; i < 11; ++i) {
        w.u32(0);
    }
    w.u32(32).u32(pixelFlags).u32(0).u32(bits).u32(masks[0]).u32(masks[1]).u32(masks[2]).u32(masks[3]);
    w.u32(0x1000).u32(caps2).u32(0).u32(0).u32(0);
    w.bytes(pixels);
    return w.data();
}

bool read(const std::string& file, DdsReader::Image& image, std::string& error) {
    return DdsReader::read(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), image, error);
}

} // namespace

TEST(DdsReader, ReadsOurWritersFilesWithEveryLevel) {
    const DdsWriter writer(8, 4, pattern(8, 4));
    DdsReader::Image image;
    std::string error;
    ASSERT_TRUE(read(writer.build(DdsWriter::Format::A8R8G8B8), image, error)) << error;
    EXPECT_EQ(image.format, DdsReader::Format::Rgba8);
    ASSERT_EQ(image.levels.size(), 4u);
    EXPECT_EQ(image.levels[0].data, pattern(8, 4));
    EXPECT_EQ(image.levels[1].data, writer.mipChain()[1].rgba);
    EXPECT_EQ(std::make_pair(image.levels[3].width, image.levels[3].height), std::make_pair(1u, 1u));
    ASSERT_TRUE(read(writer.build(DdsWriter::Format::Dxt1), image, error)) << error;
    EXPECT_EQ(image.format, DdsReader::Format::Dxt1);
    ASSERT_EQ(image.levels.size(), 4u);
    EXPECT_EQ(image.levels[0].data.size(), 16u); // two 4 x 4 blocks
    EXPECT_EQ(image.levels[3].data.size(), 8u);
}

TEST(DdsReader, ConvertsSixteenBitAndLuminanceLayouts) {
    struct Case {
        std::uint32_t width, flags, bits;
        std::array<std::uint32_t, 4> masks;
        std::string pixels;
        Bytes rgba;
    };
    for (const Case& c :
         {Case{1, 0x40, 16, {0xF800, 0x07E0, 0x001F, 0}, "\x1F\xF8", {255, 0, 255, 255}},
          Case{1, 0x41, 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, "\x0F\x8F", {255, 0, 255, 136}},
          Case{1, 0x41, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, "\xE0\x03", {0, 255, 0, 0}},
          Case{2, 0x20000, 8, {0xFF, 0, 0, 0}, "\x10\x80", {16, 16, 16, 255, 128, 128, 128, 255}},
          Case{1, 0x20001, 16, {0xFF, 0, 0, 0xFF00}, "\x40\x20", {64, 64, 64, 32}}}) {
        DdsReader::Image image;
        std::string error;
        ASSERT_TRUE(read(uncompressed(c.width, 1, c.flags, c.bits, c.masks, c.pixels), image, error))
            << error;
        EXPECT_EQ(image.levels[0].data, c.rgba) << c.flags << " " << c.masks[0];
    }
}

TEST(DdsReader, RefusesCutShortFilesHugeSizesAndCubeMaps) {
    DdsReader::Image image;
    std::string error;
    const std::string good = DdsWriter(8, 8, pattern(8, 8)).build(DdsWriter::Format::A8R8G8B8);
    for (std::size_t cut : {0u, 4u, 127u, 128u, 200u}) {
        EXPECT_FALSE(read(good.substr(0, cut), image, error)) << cut;
    }
    EXPECT_FALSE(read(good.substr(0, good.size() - 1), image, error));
    EXPECT_EQ(error, "DDS file shorter than its levels");
    const std::array<std::uint32_t, 4> argb = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    // 65536 x 65536 pixels claimed by a file of a few bytes: refused before any allocation.
    EXPECT_FALSE(read(uncompressed(0xFFFFFFFFu, 0xFFFFFFFFu, 0x41, 32, argb, "abcd"), image, error));
    EXPECT_FALSE(read(uncompressed(1, 1, 0x41, 32, argb, "abcd", 0x200), image, error));
    EXPECT_EQ(error, "DDS cube maps and volumes are not read");
    EXPECT_FALSE(read(uncompressed(1, 1, 0x40, 8, {0xF0, 0x0F, 0, 0}, "a"), image, error));
    EXPECT_FALSE(read(uncompressed(0, 1, 0x41, 32, argb, "abcd"), image, error));
}
