#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads PNG files of any colour type into RGBA bytes (over libpng; Linux only).
class PngReader {
public:
    // The picture in path, rows from the top, and its size; false with the reason in error when
    // it cannot be read.
    static bool read(const std::string& path, int& width, int& height, std::vector<std::uint8_t>& rgba,
                     std::string& error);
};
