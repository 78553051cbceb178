#include "engine/gl/ddsreader.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kMagic = 0x20534444; // "DDS "
constexpr std::size_t kHeaderEnd = 128;
constexpr std::uint32_t kHeaderSize = 124;
constexpr std::uint32_t kPixelFormatSize = 32;

constexpr std::uint32_t kFlagMipMapCount = 0x20000;
constexpr std::uint32_t kPixelAlpha = 0x1;
constexpr std::uint32_t kPixelFourCC = 0x4;
constexpr std::uint32_t kPixelRgb = 0x40;
constexpr std::uint32_t kPixelLuminance = 0x20000;
constexpr std::uint32_t kCaps2CubeMap = 0x200;
constexpr std::uint32_t kCaps2Volume = 0x200000;

constexpr std::uint32_t fourCC(char a, char b, char c, char d) {
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8 |
           std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// An uncompressed layout: bits per pixel and the mask of each channel (0 for none).
struct Layout {
    std::uint32_t bits;
    std::uint32_t red;
    std::uint32_t green;
    std::uint32_t blue;
    std::uint32_t alpha;
    bool luminance;
};

const Layout kLayouts[] = {
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, false}, // A8R8G8B8
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, false},          // X8R8G8B8
    {16, 0xF800, 0x07E0, 0x001F, 0, false},                      // R5G6B5
    {16, 0x7C00, 0x03E0, 0x001F, 0x8000, false},                 // A1R5G5B5
    {16, 0x0F00, 0x00F0, 0x000F, 0xF000, false},                 // A4R4G4B4
    {8, 0xFF, 0, 0, 0, true},                                    // L8
    {16, 0x00FF, 0, 0, 0xFF00, true},                            // A8L8
};

// A channel's value scaled to 0..255; absent channels read as full.
std::uint8_t channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) {
        return 255;
    }
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) {
        ++shift;
    }
    const std::uint32_t max = mask >> shift;
    const std::uint32_t value = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>((value * 255 + max / 2) / max);
}

bool fail(std::string& error, const char* why) {
    error = why;
    return false;
}

} // namespace

// File layout, little-endian:
//
//   offset  size  field
//   0       4     "DDS "
//   4       4     header size, 124
//   8       4     flags (0x20000: the mip count is valid)
//   12      4     height
//   16      4     width
//   28      4     mip count
//   76      4     pixel format size, 32
//   80      4     pixel format flags (0x4 FourCC, 0x40 RGB, 0x20000 luminance, 0x1 alpha)
//   84      4     FourCC (DXT1, DXT3, DXT5)
//   88      4     bits per pixel
//   92      16    red, green, blue and alpha masks
//   112     4     caps2 (0x200 cube map, 0x200000 volume)
//   128     ...   the levels, largest first, each tightly packed
bool DdsReader::read(const std::uint8_t* bytes, std::size_t size, Image& image, std::string& error) {
    image = Image{};
    if (size < kHeaderEnd || le32(bytes) != kMagic) {
        return fail(error, "not a DDS file");
    }
    if (le32(bytes + 4) != kHeaderSize || le32(bytes + 76) != kPixelFormatSize) {
        return fail(error, "DDS header of an unknown size");
    }
    const std::uint32_t flags = le32(bytes + 8);
    const std::uint32_t height = le32(bytes + 12);
    const std::uint32_t width = le32(bytes + 16);
    const std::uint32_t pixelFlags = le32(bytes + 80);
    const std::uint32_t caps2 = le32(bytes + 112);
    if (width == 0 || height == 0) {
        return fail(error, "DDS image without pixels");
    }
    if ((caps2 & (kCaps2CubeMap | kCaps2Volume)) != 0) {
        return fail(error, "DDS cube maps and volumes are not read");
    }

    // Block-compressed or one of the uncompressed layouts.
    std::uint32_t blockBytes = 0;
    const Layout* layout = nullptr;
    if ((pixelFlags & kPixelFourCC) != 0) {
        const std::uint32_t code = le32(bytes + 84);
        if (code == fourCC('D', 'X', 'T', '1')) {
            image.format = Format::Dxt1;
            blockBytes = 8;
        } else if (code == fourCC('D', 'X', 'T', '3')) {
            image.format = Format::Dxt3;
            blockBytes = 16;
        } else if (code == fourCC('D', 'X', 'T', '5')) {
            image.format = Format::Dxt5;
            blockBytes = 16;
        } else {
            return fail(error, "DDS compression that is not read");
        }
    } else if ((pixelFlags & (kPixelRgb | kPixelLuminance)) != 0) {
        const std::uint32_t bits = le32(bytes + 88);
        const std::uint32_t alpha = (pixelFlags & kPixelAlpha) != 0 ? le32(bytes + 104) : 0;
        const bool luminance = (pixelFlags & kPixelLuminance) != 0;
        for (const Layout& l : kLayouts) {
            if (l.bits == bits && l.red == le32(bytes + 92) && l.luminance == luminance && l.alpha == alpha &&
                (luminance || (l.green == le32(bytes + 96) && l.blue == le32(bytes + 100)))) {
                layout = &l;
            }
        }
        if (layout == nullptr) {
            return fail(error, "DDS pixel layout that is not read");
        }
        image.format = Format::Rgba8;
    } else {
        return fail(error, "DDS pixel format that is not read");
    }

    // A full chain ends at 1 x 1; a larger count in the header is cut to it.
    std::uint32_t chain = 1;
    for (std::uint32_t w = width, h = height; w > 1 || h > 1;
         w = std::max(1u, w / 2), h = std::max(1u, h / 2)) {
        ++chain;
    }
    std::uint32_t levels = 1;
    if ((flags & kFlagMipMapCount) != 0 && le32(bytes + 28) > 0) {
        levels = std::min(le32(bytes + 28), chain);
    }

    std::size_t offset = kHeaderEnd;
    std::uint32_t w = width;
    std::uint32_t h = height;
    for (std::uint32_t i = 0; i < levels; ++i) {
        // Counts in 64 bits, held against what is left before they are multiplied out or allocated.
        const std::uint64_t units = blockBytes != 0
                                        ? ((std::uint64_t{w} + 3) / 4) * ((std::uint64_t{h} + 3) / 4)
                                        : std::uint64_t{w} * h;
        const std::uint64_t unitBytes = blockBytes != 0 ? blockBytes : layout->bits / 8;
        if (units > (size - offset) / unitBytes) {
            return fail(error, "DDS file shorter than its levels");
        }
        const std::uint64_t stored = units * unitBytes;
        Level level;
        level.width = w;
        level.height = h;
        const std::uint8_t* src = bytes + offset;
        if (blockBytes != 0) {
            level.data.assign(src, src + stored);
        } else {
            const std::uint32_t pixelBytes = layout->bits / 8;
            level.data.resize(static_cast<std::size_t>(std::uint64_t{w} * h * 4));
            for (std::size_t p = 0; p < std::size_t{w} * h; ++p) {
                std::uint32_t pixel = 0;
                for (std::uint32_t b = 0; b < pixelBytes; ++b) {
                    pixel |= std::uint32_t{src[p * pixelBytes + b]} << (8 * b);
                }
                std::uint8_t* out = &level.data[p * 4];
                if (layout->luminance) {
                    out[0] = out[1] = out[2] = channel(pixel, layout->red);
                } else {
                    out[0] = channel(pixel, layout->red);
                    out[1] = channel(pixel, layout->green);
                    out[2] = channel(pixel, layout->blue);
                }
                out[3] = channel(pixel, layout->alpha);
            }
        }
        image.levels.push_back(std::move(level));
        offset += static_cast<std::size_t>(stored);
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    return true;
}
