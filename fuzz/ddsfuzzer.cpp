// Fuzz target: one DDS texture, read by the native renderer's DDS reader.
//
// The input is read straight from memory. Refusing it is a normal outcome; the process stops when
// the reader refuses without a reason, or accepts a file that breaks a promise the texture upload
// relies on: the top level of the header's size, each level half the one above (never below 1),
// and each level's data exactly the size its format and dimensions give, all read from the file.

#include "engine/gl/ddsreader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void expect(bool holds, const char* promise) {
    if (!holds) {
        std::fprintf(stderr, "broken DdsReader promise: %s\n", promise);
        std::abort();
    }
}

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DdsReader::Image image;
    std::string error;
    if (!DdsReader::read(data, size, image, error)) {
        expect(!error.empty(), "a refusal gives its reason");
        return 0;
    }
    expect(!image.levels.empty() && image.levels.size() <= 32, "one level at least, at most a full chain");
    expect(image.levels[0].height == le32(data + 12) && image.levels[0].width == le32(data + 16),
           "the top level has the header's size");
    std::uint64_t stored = 0;
    for (std::size_t i = 0; i < image.levels.size(); ++i) {
        const DdsReader::Level& l = image.levels[i];
        if (i > 0) {
            const DdsReader::Level& above = image.levels[i - 1];
            expect(l.width == std::max(1u, above.width / 2) && l.height == std::max(1u, above.height / 2),
                   "each level halves the one above");
        }
        const std::uint64_t blocks = (std::uint64_t{l.width} + 3) / 4 * ((std::uint64_t{l.height} + 3) / 4);
        switch (image.format) {
        case DdsReader::Format::Dxt1:
            expect(l.data.size() == blocks * 8, "a DXT1 level holds its blocks");
            stored += l.data.size();
            break;
        case DdsReader::Format::Dxt3:
        case DdsReader::Format::Dxt5:
            expect(l.data.size() == blocks * 16, "a DXT3 or DXT5 level holds its blocks");
            stored += l.data.size();
            break;
        case DdsReader::Format::Rgba8:
            expect(l.data.size() == std::uint64_t{l.width} * l.height * 4, "an RGBA level holds its pixels");
            stored += std::uint64_t{l.width} * l.height; // at least a byte a pixel in the file
            break;
        }
    }
    expect(stored <= size - 128, "the levels were read from the file");
    return 0;
}
