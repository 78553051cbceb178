#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGB PNG files (compressed with zlib), the same on every platform.
class PngWriter {
public:
    // Writes rgba (width x height pixels, rows from the top, alpha dropped) to path; false with
    // the reason in error when the file cannot be written.
    static bool write(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba,
                      std::string& error);
};
