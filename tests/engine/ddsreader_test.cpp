#include "engine/gl/ddsreader.h"
#include "writers/ddswriter.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

// file with the words at the given offsets replaced.
std::string patched(std::string file, std::initializer_list<std::pair<std::size_t, std::uint32_t>> words) {
    for (const auto& [at, word] : words) {
        std::memcpy(&file[at], &word, 4);
    }
    return file;
}

// Our writer's header for width x 1 pixels of one level, with the pixel format given (flags, bits,
// red, green, blue and alpha masks), then pixels.
std::string layout(std::uint32_t width, const std::vector<std::uint32_t>& format, const std::string& pixels) {
    const std::string header =
        DdsWriter(width, 1, Bytes(width * 4)).build(DdsWriter::Format::A8R8G8B8).substr(0, 128);
    return patched(header, {{28, 1},
                            {80, format[0]},
                            {88, format[1]},
                            {92, format[2]},
                            {96, format[3]},
                            {100, format[4]},
                            {104, format[5]}}) +
           pixels;
}

bool read(const std::string& file, DdsReader::Image& image, std::string& error) {
    return DdsReader::read(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), image, error);
}

} // namespace

TEST(DdsReader, ReadsOurWritersFilesWithEveryLevel) {
    Bytes rgba;
    for (std::uint8_t i = 0; i < 32; ++i) {
        rgba.insert(rgba.end(), {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i * 13),
                                 static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 3)});
    }
    const DdsWriter writer(8, 4, rgba);
    DdsReader::Image image;
    std::string error;
    ASSERT_TRUE(read(writer.build(DdsWriter::Format::A8R8G8B8), image, error)) << error;
    EXPECT_EQ(image.format, DdsReader::Format::Rgba8);
    ASSERT_EQ(image.levels.size(), 4u);
    EXPECT_EQ(image.levels[0].data, rgba);
    EXPECT_EQ(image.levels[1].data, writer.mipChain()[1].rgba);
    EXPECT_EQ(std::make_pair(image.levels[3].width, image.levels[3].height), std::make_pair(1u, 1u));
    ASSERT_TRUE(read(writer.build(DdsWriter::Format::Dxt1), image, error)) << error;
    EXPECT_EQ(image.format, DdsReader::Format::Dxt1);
    ASSERT_EQ(image.levels.size(), 4u);
    EXPECT_EQ(image.levels[0].data.size(), 16u); // two 4 x 4 blocks
    EXPECT_EQ(image.levels[3].data.size(), 8u);
    // DXT3 and DXT5 take 16 bytes a block: our writer's DXT1 header of one level, renamed.
    for (const auto& [code, format] :
         {std::make_pair("DXT3", DdsReader::Format::Dxt3), std::make_pair("DXT5", DdsReader::Format::Dxt5)}) {
        std::string file = patched(writer.build(DdsWriter::Format::Dxt1).substr(0, 128), {{28, 1}});
        file.replace(84, 4, code);
        ASSERT_TRUE(read(file + std::string(32, '\0'), image, error)) << code << ": " << error;
        EXPECT_EQ(std::make_tuple(image.format, image.levels.size(), image.levels[0].data.size()),
                  std::make_tuple(format, std::size_t{1}, std::size_t{32}));
    }
}

TEST(DdsReader, ConvertsSixteenBitAndLuminanceLayouts) {
    for (const auto& [format, pixels, rgba] :
         std::vector<std::tuple<std::vector<std::uint32_t>, std::string, Bytes>>{
             {{0x40, 16, 0xF800, 0x07E0, 0x001F, 0}, "\x1F\xF8", {255, 0, 255, 255}},
             {{0x41, 16, 0x0F00, 0x00F0, 0x000F, 0xF000}, "\x0F\x8F", {255, 0, 255, 136}},
             {{0x41, 16, 0x7C00, 0x03E0, 0x001F, 0x8000}, "\xE0\x03", {0, 255, 0, 0}},
             {{0x20000, 8, 0xFF, 0, 0, 0}, "\x10\x80", {16, 16, 16, 255, 128, 128, 128, 255}},
             {{0x20001, 16, 0xFF, 0, 0, 0xFF00}, "\x40\x20", {64, 64, 64, 32}}}) {
        DdsReader::Image image;
        std::string error;
        ASSERT_TRUE(read(layout(static_cast<std::uint32_t>(rgba.size() / 4), format, pixels), image, error))
            << error;
        EXPECT_EQ(image.levels[0].data, rgba) << format[2];
    }
}

TEST(DdsReader, RefusesCutShortFilesHugeSizesAndCubeMaps) {
    DdsReader::Image image;
    std::string error;
    const std::string good = DdsWriter(8, 8, Bytes(256, 7)).build(DdsWriter::Format::A8R8G8B8);
    for (std::size_t cut : {0u, 4u, 127u, 128u, 200u}) {
        EXPECT_FALSE(read(good.substr(0, cut), image, error)) << cut;
    }
    EXPECT_FALSE(read(good.substr(0, good.size() - 1), image, error));
    EXPECT_EQ(error, "DDS file shorter than its levels");
    // 65536 x 65536 pixels claimed by a file of a few bytes: refused before any allocation.
    EXPECT_FALSE(read(patched(good, {{12, 0xFFFFFFFFu}, {16, 0xFFFFFFFFu}}), image, error));
    EXPECT_FALSE(read(patched(good, {{112, 0x200}}), image, error));
    EXPECT_EQ(error, "DDS cube maps and volumes are not read");
    EXPECT_FALSE(read(patched(good, {{16, 0}}), image, error));
    for (const std::uint32_t sizeField : {4u, 76u}) { // the header's, the pixel format's
        EXPECT_FALSE(read(patched(good, {{sizeField, 0}}), image, error)) << sizeField;
        EXPECT_EQ(error, "DDS header of an unknown size");
    }
    EXPECT_FALSE(read(layout(1, {0x40, 8, 0xF0, 0x0F, 0, 0}, "a"), image, error));
}
