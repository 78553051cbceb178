#include "writers/ddswriter.h"

#include "writers/bytewriter.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

constexpr std::uint32_t kCaps = 0x1;
constexpr std::uint32_t kHeight = 0x2;
constexpr std::uint32_t kWidth = 0x4;
constexpr std::uint32_t kPitch = 0x8;
constexpr std::uint32_t kPixelFormat = 0x1000;
constexpr std::uint32_t kMipMapCount = 0x20000;
constexpr std::uint32_t kLinearSize = 0x80000;
constexpr std::uint32_t kAlphaPixels = 0x1;
constexpr std::uint32_t kFourCC = 0x4;
constexpr std::uint32_t kRgb = 0x40;
constexpr std::uint32_t kCapsComplex = 0x8;
constexpr std::uint32_t kCapsTexture = 0x1000;
constexpr std::uint32_t kCapsMipMap = 0x400000;

std::uint32_t blocks(std::uint32_t pixels) {
    return std::max<std::uint32_t>(1, (pixels + 3) / 4);
}

using Rgb = std::array<int, 3>;

std::uint32_t to565(const std::uint8_t* p) {
    const std::uint32_t r = (p[0] * 31u + 127u) / 255u;
    const std::uint32_t g = (p[1] * 63u + 127u) / 255u;
    const std::uint32_t b = (p[2] * 31u + 127u) / 255u;
    return r << 11 | g << 5 | b;
}

Rgb from565(std::uint32_t c) {
    const int r = static_cast<int>(c >> 11 & 31);
    const int g = static_cast<int>(c >> 5 & 63);
    const int b = static_cast<int>(c & 31);
    return {r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
}

Rgb mix(const Rgb& a, const Rgb& b, int wa, int wb) {
    const int total = wa + wb;
    return {(a[0] * wa + b[0] * wb) / total, (a[1] * wa + b[1] * wb) / total,
            (a[2] * wa + b[2] * wb) / total};
}

int distance(const std::uint8_t* p, const Rgb& c) {
    int sum = 0;
    for (int k = 0; k < 3; ++k) {
        const int d = p[k] - c[k];
        sum += d * d;
    }
    return sum;
}

// DXT1 blocks of a level, row by row; blocks reaching past the edge repeat the edge pixels.
std::string encodeDxt1(const DdsWriter::Level& level) {
    std::string out;
    std::uint8_t block[64];
    for (std::uint32_t by = 0; by < blocks(level.height); ++by) {
        for (std::uint32_t bx = 0; bx < blocks(level.width); ++bx) {
            for (std::uint32_t y = 0; y < 4; ++y) {
                for (std::uint32_t x = 0; x < 4; ++x) {
                    const std::uint32_t sx = std::min(bx * 4 + x, level.width - 1);
                    const std::uint32_t sy = std::min(by * 4 + y, level.height - 1);
                    std::copy_n(&level.rgba[(sy * level.width + sx) * 4], 4, &block[(y * 4 + x) * 4]);
                }
            }
            out += DdsWriter::encodeDxt1Block(block);
        }
    }
    return out;
}

std::string encodeArgb(const DdsWriter::Level& level) {
    ByteWriter w;
    for (std::size_t i = 0; i < level.rgba.size(); i += 4) {
        w.u8(level.rgba[i + 2]).u8(level.rgba[i + 1]).u8(level.rgba[i]).u8(level.rgba[i + 3]);
    }
    return w.data();
}

} // namespace

DdsWriter::DdsWriter(std::uint32_t width, std::uint32_t height, std::vector<std::uint8_t> rgba) {
    if (width == 0 || height == 0) {
        throw std::invalid_argument("a texture needs at least one pixel");
    }
    if (rgba.size() != std::size_t{width} * height * 4) {
        throw std::invalid_argument("a " + std::to_string(width) + " x " + std::to_string(height) +
                                    " texture takes " + std::to_string(std::size_t{width} * height * 4) +
                                    " RGBA bytes, not " + std::to_string(rgba.size()));
    }
    m_top = {width, height, std::move(rgba)};
}

std::vector<DdsWriter::Level> DdsWriter::mipChain() const {
    std::vector<Level> levels{m_top};
    while (levels.back().width > 1 || levels.back().height > 1) {
        const Level& above = levels.back();
        Level next;
        next.width = std::max<std::uint32_t>(1, above.width / 2);
        next.height = std::max<std::uint32_t>(1, above.height / 2);
        next.rgba.resize(std::size_t{next.width} * next.height * 4);
        // A side of 1 averages a 1 x 2 or 2 x 1 footprint; an odd side drops its last row or column.
        const std::uint32_t fx = above.width > 1 ? 2 : 1;
        const std::uint32_t fy = above.height > 1 ? 2 : 1;
        for (std::uint32_t y = 0; y < next.height; ++y) {
            for (std::uint32_t x = 0; x < next.width; ++x) {
                for (std::uint32_t k = 0; k < 4; ++k) {
                    std::uint32_t sum = 0;
                    for (std::uint32_t dy = 0; dy < fy; ++dy) {
                        for (std::uint32_t dx = 0; dx < fx; ++dx) {
                            sum += above.rgba[((y * fy + dy) * above.width + x * fx + dx) * 4 + k];
                        }
                    }
                    const std::uint32_t count = fx * fy;
                    next.rgba[(y * next.width + x) * 4 + k] =
                        static_cast<std::uint8_t>((sum + count / 2) / count);
                }
            }
        }
        levels.push_back(std::move(next));
    }
    return levels;
}

// DDS layout, little-endian, from the file's first byte:
//
//   offset  size  field
//   0       4     "DDS "
//   4       4     header size 124
//   8       4     flags: CAPS | HEIGHT | WIDTH | PIXELFORMAT | MIPMAPCOUNT, and PITCH or LINEARSIZE
//   12      4     height
//   16      4     width
//   20      4     pitch (bytes per row, A8R8G8B8) or linear size (bytes of the top level, DXT1)
//   24      4     depth 0
//   28      4     mip level count
//   32      44    reserved, zero
//   76      32    pixel format: size 32, flags, FourCC, bit count, R, G, B, A masks
//   108     16    caps: TEXTURE, plus COMPLEX | MIPMAP with more than one level; caps 2-4 zero
//   124     4     reserved, zero
//   128     ...   every level from the top: A8R8G8B8 as B, G, R, A bytes per pixel; DXT1 as 8-byte
//                 blocks of 4 x 4 pixels, row by row
std::string DdsWriter::build(Format format) const {
    const std::vector<Level> levels = mipChain();
    const bool dxt1 = format == Format::Dxt1;
    const std::uint32_t levelCount = static_cast<std::uint32_t>(levels.size());

    ByteWriter w;
    w.bytes("DDS ").u32(124);
    w.u32(kCaps | kHeight | kWidth | kPixelFormat | kMipMapCount | (dxt1 ? kLinearSize : kPitch));
    w.u32(m_top.height).u32(m_top.width);
    w.u32(dxt1 ? blocks(m_top.width) * blocks(m_top.height) * 8 : m_top.width * 4);
    w.u32(0).u32(levelCount);
    for (int i = 0; i < 11; ++i) {
        w.u32(0);
    }
    w.u32(32);
    if (dxt1) {
        w.u32(kFourCC).bytes("DXT1").u32(0).u32(0).u32(0).u32(0).u32(0);
    } else {
        w.u32(kRgb | kAlphaPixels)
            .u32(0)
            .u32(32)
            .u32(0x00FF0000)
            .u32(0x0000FF00)
            .u32(0x000000FF)
            .u32(0xFF000000);
    }
    w.u32(kCapsTexture | (levelCount > 1 ? kCapsComplex | kCapsMipMap : 0)).u32(0).u32(0).u32(0).u32(0);

    for (const Level& level : levels) {
        w.bytes(dxt1 ? encodeDxt1(level) : encodeArgb(level));
    }
    return w.data();
}

bool DdsWriter::write(const std::string& path, Format format) const {
    return ByteWriter::saveFile(path, build(format));
}

std::string DdsWriter::encodeDxt1Block(const std::uint8_t* pixels) {
    bool transparent = false;
    int first = -1;
    int second = -1;
    int farthest = -1;
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* a = pixels + i * 4;
        if (a[3] < 128) {
            transparent = true;
            continue;
        }
        if (first < 0) {
            first = second = i;
            farthest = 0;
        }
        for (int j = 0; j < i; ++j) {
            const std::uint8_t* b = pixels + j * 4;
            if (b[3] < 128) {
                continue;
            }
            const int d = distance(a, {b[0], b[1], b[2]});
            if (d > farthest) {
                farthest = d;
                first = j;
                second = i;
            }
        }
    }

    std::uint32_t c0 = first < 0 ? 0 : to565(pixels + first * 4);
    std::uint32_t c1 = second < 0 ? 0 : to565(pixels + second * 4);
    // The order of the end points selects the mode: c0 > c1 four colours, c0 <= c1 three colours
    // and transparent. Equal opaque end points leave every index 0, which means c0 in both modes.
    if (transparent ? c0 > c1 : c0 < c1) {
        std::swap(c0, c1);
    }
    const Rgb e0 = from565(c0);
    const Rgb e1 = from565(c1);
    std::array<Rgb, 4> palette{e0, e1, mix(e0, e1, 2, 1), mix(e0, e1, 1, 2)};
    int colours = 4;
    if (transparent) {
        palette[2] = mix(e0, e1, 1, 1);
        colours = 3;
    } else if (c0 == c1) {
        colours = 1;
    }

    std::uint32_t indices = 0;
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* p = pixels + i * 4;
        std::uint32_t best = 3;
        if (p[3] >= 128) {
            best = 0;
            for (int k = 1; k < colours; ++k) {
                if (distance(p, palette[k]) < distance(p, palette[best])) {
                    best = static_cast<std::uint32_t>(k);
                }
            }
        }
        indices |= best << (2 * i);
    }
    ByteWriter w;
    w.u16(c0).u16(c1).u32(indices);
    return w.data();
}
