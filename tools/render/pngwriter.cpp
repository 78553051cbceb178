#include "render/pngwriter.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void appendWord(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

// A chunk: length, type, data, and the CRC of type and data.
void appendChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
    appendWord(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    appendWord(out, static_cast<std::uint32_t>(crc));
}

} // namespace

bool PngWriter::write(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba,
                      std::string& error) {
    const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
    const std::size_t h = height > 0 ? static_cast<std::size_t>(height) : 0;
    if (w == 0 || h == 0 || rgba.size() != w * h * 4) {
        error = "no picture to write";
        return false;
    }
    // Every row filtered "up" (each byte less the one above), which suits rendered pictures.
    const std::size_t stride = w * 3 + 1;
    std::vector<std::uint8_t> rows(stride * h);
    for (std::size_t y = 0; y < h; ++y) {
        std::uint8_t* row = &rows[y * stride];
        row[0] = 2;
        for (std::size_t x = 0; x < w; ++x) {
            for (std::size_t c = 0; c < 3; ++c) {
                const std::size_t at = (y * w + x) * 4 + c;
                row[1 + x * 3 + c] = static_cast<std::uint8_t>(rgba[at] - (y > 0 ? rgba[at - w * 4] : 0));
            }
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), 6) != Z_OK) {
        error = "zlib could not compress the picture";
        return false;
    }
    packed.resize(packedSize);

    std::vector<std::uint8_t> header;
    appendWord(header, static_cast<std::uint32_t>(w));
    appendWord(header, static_cast<std::uint32_t>(h));
    // 8 bits a channel, colour type 2 (RGB), deflate, adaptive filtering, not interlaced.
    header.insert(header.end(), {8, 2, 0, 0, 0});
    std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    appendChunk(file, "IHDR", header);
    appendChunk(file, "IDAT", packed);
    appendChunk(file, "IEND", {});

    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        error = std::string("cannot write ") + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    const int writeErrno = errno;
    if (std::fclose(out) != 0 || !written) {
        error = std::string("cannot write ") + path + ": " + std::strerror(written ? errno : writeErrno);
        std::remove(path.c_str());
        return false;
    }
    return true;
}
