#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads DDS texture files for the native renderer: block-compressed images (DXT1, DXT3, DXT5)
// are kept as their blocks for the graphics card, uncompressed ones (A8R8G8B8, X8R8G8B8, R5G6B5,
// A1R5G5B5, A4R4G4B4, L8, A8L8) are converted to RGBA bytes. Every level of the mip chain is read.
// Every size is checked against the bytes the file holds before anything is allocated; cube maps
// and volume textures are refused.
class DdsReader {
public:
    enum class Format { Dxt1, Dxt3, Dxt5, Rgba8 };

    struct Level {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        // Blocks as stored, or RGBA bytes row by row from the top.
        std::vector<std::uint8_t> data;
    };

    struct Image {
        Format format = Format::Rgba8;
        std::vector<Level> levels;
    };

    // Reads bytes into image; false with a reason in error when the file is not one we read.
    static bool read(const std::uint8_t* bytes, std::size_t size, Image& image, std::string& error);
};
