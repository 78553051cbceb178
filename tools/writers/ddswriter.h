#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes DDS textures with their whole mip chain, each level made from the one above by averaging
// 2 x 2 pixels, down to 1 x 1: uncompressed A8R8G8B8, or DXT1 from our own encoder (per 4 x 4 block
// the two colours farthest apart as end points; a block with transparent pixels, alpha below 128,
// uses DXT1's three-colour mode with its transparent index).
class DdsWriter {
public:
    enum class Format { A8R8G8B8, Dxt1 };

    // One image level: width x height pixels of R, G, B, A bytes, row by row from the top.
    struct Level {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::vector<std::uint8_t> rgba;
    };

    // The top level. Throws std::invalid_argument for an empty image or a pixel buffer of the wrong size.
    DdsWriter(std::uint32_t width, std::uint32_t height, std::vector<std::uint8_t> rgba);

    // Every level from the top down to 1 x 1; each halves both sides, never below 1.
    std::vector<Level> mipChain() const;
    // The whole file in format.
    std::string build(Format format) const;
    // Writes the file to path; false when it cannot be written.
    bool write(const std::string& path, Format format) const;

    // One 8-byte DXT1 block for 16 pixels (64 RGBA bytes, row by row).
    static std::string encodeDxt1Block(const std::uint8_t* pixels);

private:
    Level m_top;
};
