#include "info/ddsheadercheck.h"

#include <algorithm>

// The file starts with the magic "DDS " and a 124-byte header (offsets from the file's start):
//
//   offset  size  field
//   4       4     header size, 124
//   12      4     height
//   16      4     width
//   24      4     depth (volume textures)
//   28      4     level count (0 means 1)
//   76      4     pixel format size, 32
//   80      4     pixel format flags
//   84      4     FourCC
//   88      4     bits per pixel
//   112     4     caps2: cube map faces, volume
namespace {

constexpr std::uint32_t kMagic = 0x20534444; // "DDS "
constexpr std::uint32_t kHeaderBytes = 124;
constexpr std::uint32_t kPixelFormatBytes = 32;

constexpr std::uint32_t kFourCc = 0x4;
constexpr std::uint32_t kAlphaOnly = 0x2;
constexpr std::uint32_t kIndexed = 0x20;
constexpr std::uint32_t kRgb = 0x40;
constexpr std::uint32_t kLuminance = 0x20000;
constexpr std::uint32_t kBumpLuminance = 0x40000;
constexpr std::uint32_t kBumpDuDv = 0x80000;

constexpr std::uint32_t kCubeMap = 0x200;
constexpr std::uint32_t kFirstFace = 0x400;
constexpr std::uint32_t kLastFace = 0x8000;
constexpr std::uint32_t kVolume = 0x200000;

// How a format stores its pixels: blocks of width x height pixels taking bytes each.
struct Blocks {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bytes = 0;
};

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

constexpr std::uint32_t fourCc(const char (&code)[5]) {
    return std::uint32_t(static_cast<unsigned char>(code[0])) |
           std::uint32_t(static_cast<unsigned char>(code[1])) << 8 |
           std::uint32_t(static_cast<unsigned char>(code[2])) << 16 |
           std::uint32_t(static_cast<unsigned char>(code[3])) << 24;
}

// The FourCC codes D3DX reads: the compressed and packed formats by name, the floating-point ones by
// their format number.
bool fourCcBlocks(std::uint32_t code, Blocks& blocks) {
    struct Known {
        std::uint32_t code;
        Blocks blocks;
    };
    static const Known known[] = {
        {fourCc("DXT1"), {4, 4, 8}},
        {fourCc("DXT2"), {4, 4, 16}},
        {fourCc("DXT3"), {4, 4, 16}},
        {fourCc("DXT4"), {4, 4, 16}},
        {fourCc("DXT5"), {4, 4, 16}},
        {fourCc("UYVY"), {2, 1, 4}},
        {fourCc("YUY2"), {2, 1, 4}},
        {fourCc("RGBG"), {2, 1, 4}},
        {fourCc("GRGB"), {2, 1, 4}},
        {111, {1, 1, 2}},
        {112, {1, 1, 4}},
        {113, {1, 1, 8}},
        {114, {1, 1, 4}},
        {115, {1, 1, 8}},
        {116, {1, 1, 16}},
    };
    for (const Known& k : known) {
        if (k.code == code) {
            blocks = k.blocks;
            return true;
        }
    }
    return false;
}

// Formats given by masks: the first flag that is set decides the kind, and each kind comes in a few
// pixel sizes only.
bool maskedBlocks(std::uint32_t flags, std::uint32_t bits, Blocks& blocks) {
    struct Kind {
        std::uint32_t flag;
        std::uint32_t sizes; // bit n set: n bytes per pixel
    };
    static const Kind kinds[] = {
        {kIndexed, 1u << 1},
        {kRgb, 1u << 1 | 1u << 2 | 1u << 3 | 1u << 4},
        {kLuminance, 1u << 1 | 1u << 2},
        {kAlphaOnly, 1u << 1},
        {kBumpDuDv, 1u << 2 | 1u << 4},
        {kBumpLuminance, 1u << 4},
    };
    for (const Kind& k : kinds) {
        if ((flags & k.flag) != 0) {
            if (bits % 8 != 0 || bits == 0 || bits > 32 || (k.sizes & (1u << (bits / 8))) == 0) {
                return false;
            }
            blocks = {1, 1, bits / 8};
            return true;
        }
    }
    return false;
}

// Past 2^40 bytes no file can hold the rest; sizes stop growing there.
constexpr std::uint64_t kBeyondAnyFile = std::uint64_t{1} << 40;

std::uint64_t product(std::uint64_t a, std::uint64_t b) {
    return a != 0 && b > kBeyondAnyFile / a ? kBeyondAnyFile : std::min(a * b, kBeyondAnyFile);
}

std::string hex(std::uint32_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += digits[(value >> shift) & 0xF];
    }
    return text;
}

} // namespace

std::uint64_t DdsHeaderCheck::requiredSize(const unsigned char* bytes, std::size_t count,
                                           std::string& problem) {
    if (count < 4 || le32(bytes) != kMagic) {
        problem = "not a DDS file: it does not start with \"DDS \"";
        return 0;
    }
    if (count < kHeaderSize) {
        problem = "the header is cut short: " + std::to_string(count) + " of " + std::to_string(kHeaderSize) +
                  " bytes";
        return 0;
    }
    if (le32(bytes + 4) != kHeaderBytes) {
        problem = "header size " + std::to_string(le32(bytes + 4)) + ", not 124";
        return 0;
    }
    if (le32(bytes + 76) != kPixelFormatBytes) {
        problem = "pixel format size " + std::to_string(le32(bytes + 76)) + ", not 32";
        return 0;
    }
    const std::uint32_t flags = le32(bytes + 80);
    Blocks blocks;
    if ((flags & kFourCc) != 0 ? !fourCcBlocks(le32(bytes + 84), blocks)
                               : !maskedBlocks(flags, le32(bytes + 88), blocks)) {
        problem = "a pixel format D3DX does not read (flags " + hex(flags) + ", FourCC " +
                  hex(le32(bytes + 84)) + ", " + std::to_string(le32(bytes + 88)) + " bits per pixel)";
        return 0;
    }
    const std::uint32_t caps2 = le32(bytes + 112);
    std::uint64_t width = le32(bytes + 16);
    std::uint64_t height = le32(bytes + 12);
    std::uint64_t depth = (caps2 & kVolume) != 0 ? le32(bytes + 24) : 1;
    if (width == 0 || height == 0 || depth == 0) {
        problem = "a dimension of 0 (" + std::to_string(width) + " x " + std::to_string(height) + " x " +
                  std::to_string(depth) + ")";
        return 0;
    }
    std::uint64_t faces = 1;
    if ((caps2 & kVolume) == 0 && (caps2 & kCubeMap) != 0) {
        faces = 0;
        for (std::uint32_t face = kFirstFace; face <= kLastFace; face <<= 1) {
            faces += (caps2 & face) != 0 ? 1 : 0;
        }
    }
    const std::uint32_t levels = std::max<std::uint32_t>(le32(bytes + 28), 1);
    std::uint64_t size = 0;
    for (std::uint32_t level = 0; level < levels; ++level) {
        const std::uint64_t across = std::max<std::uint64_t>(1, (width + blocks.width - 1) / blocks.width);
        const std::uint64_t down = std::max<std::uint64_t>(1, (height + blocks.height - 1) / blocks.height);
        const std::uint64_t levelSize = product(product(product(across, down), blocks.bytes), depth);
        // From 1 x 1 x 1 on every level is the same size, however many the header announces.
        const bool smallest = width == 1 && height == 1 && depth == 1;
        size = std::min(size + (smallest ? product(levelSize, levels - level) : levelSize), kBeyondAnyFile);
        if (smallest) {
            break;
        }
        width = std::max<std::uint64_t>(1, width / 2);
        height = std::max<std::uint64_t>(1, height / 2);
        depth = std::max<std::uint64_t>(1, depth / 2);
    }
    return kHeaderSize + size * faces;
}
