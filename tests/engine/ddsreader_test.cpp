#include "engine/gl/ddsreader.h"
#include "writers/bytewriter.h"
#include "writers/ddswriter.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> pattern(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> rgba;
    for (std::uint32_t i = 0; i < width * height; ++i) {
        rgba.insert(rgba.end(), {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i * 13),
                                 static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 3)});
    }
    return rgba;
}

// A header for an uncompressed layout of one level, followed by the pixel bytes.
std::string uncompressed(std::uint32_t width, std::uint32_t height, std::uint32_t pixelFlags,
                         std::uint32_t bits, const std::uint32_t masks[4], const std::string& pixels,
                         std::uint32_t caps2 = 0) {
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
    const std::vector<std::uint8_t> rgba = pattern(8, 4);
    const DdsWriter writer(8, 4, rgba);
    DdsReader::Image image;
    std::string error;
    ASSERT_TRUE(read(writer.build(DdsWriter::Format::A8R8G8B8), image, error)) << error;
    EXPECT_EQ(image.format, DdsReader::Format::Rgba8);
    ASSERT_EQ(image.levels.size(), 4u);
    EXPECT_EQ(image.levels[0].data, rgba);
    EXPECT_EQ(image.levels[3].width, 1u);
    EXPECT_EQ(image.levels[3].height, 1u);
    EXPECT_EQ(image.levels[1].data, writer.mipChain()[1].rgba);

    ASSERT_TRUE(read(writer.build(DdsWriter::Format::Dxt1), image, error)) << error;
    EXPECT_EQ(image.format, DdsReader::Format::Dxt1);
    ASSERT_EQ(image.levels.size(), 4u);
    EXPECT_EQ(image.levels[0].data.size(), 16u); // two 4 x 4 blocks
    EXPECT_EQ(image.levels[3].data.size(), 8u);
}

TEST(DdsReader, ConvertsSixteenBitAndLuminanceLayouts) {
    DdsReader::Image image;
    std::string error;
    const std::uint32_t r5g6b5[4] = {0xF800, 0x07E0, 0x001F, 0};
    ASSERT_TRUE(read(uncompressed(1, 1, 0x40, 16, r5g6b5, std::string("\x1F\xF8", 2)), image, error))
        << error;
    EXPECT_EQ(image.levels[0].data, (std::vector<std::uint8_t>{255, 0, 255, 255}));
    const std::uint32_t a4r4g4b4[4] = {0x0F00, 0x00F0, 0x000F, 0xF000};
    ASSERT_TRUE(read(uncompressed(1, 1, 0x41, 16, a4r4g4b4, std::string("\x0F\x8F", 2)), image, error));
    EXPECT_EQ(image.levels[0].data, (std::vector<std::uint8_t>{255, 0, 255, 136}));
    const std::uint32_t a1r5g5b5[4] = {0x7C00, 0x03E0, 0x001F, 0x8000};
    ASSERT_TRUE(read(uncompressed(1, 1, 0x41, 16, a1r5g5b5, std::string("\xE0\x03", 2)), image, error));
    EXPECT_EQ(image.levels[0].data, (std::vector<std::uint8_t>{0, 255, 0, 0}));
    const std::uint32_t l8[4] = {0xFF, 0, 0, 0};
    ASSERT_TRUE(read(uncompressed(2, 1, 0x20000, 8, l8, std::string("\x10\x80", 2)), image, error));
    EXPECT_EQ(image.levels[0].data, (std::vector<std::uint8_t>{16, 16, 16, 255, 128, 128, 128, 255}));
    const std::uint32_t a8l8[4] = {0xFF, 0, 0, 0xFF00};
    ASSERT_TRUE(read(uncompressed(1, 1, 0x20001, 16, a8l8, std::string("\x40\x20", 2)), image, error));
    EXPECT_EQ(image.levels[0].data, (std::vector<std::uint8_t>{64, 64, 64, 32}));
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
    const std::uint32_t argb[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    // 65536 x 65536 pixels claimed by a file of a few bytes: refused before any allocation.
    EXPECT_FALSE(read(uncompressed(0xFFFFFFFFu, 0xFFFFFFFFu, 0x41, 32, argb, "abcd"), image, error));
    EXPECT_FALSE(read(uncompressed(1, 1, 0x41, 32, argb, "abcd", 0x200), image, error));
    EXPECT_EQ(error, "DDS cube maps and volumes are not read");
    const std::uint32_t odd[4] = {0xF0, 0x0F, 0, 0};
    EXPECT_FALSE(read(uncompressed(1, 1, 0x40, 8, odd, "a"), image, error));
    EXPECT_FALSE(read(uncompressed(0, 1, 0x41, 32, argb, "abcd"), image, error));
}
