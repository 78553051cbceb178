#include "render/pngwriter.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

void onPngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    *error = message;
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

} // namespace

bool PngWriter::write(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba,
                      std::string& error) {
    if (width <= 0 || height <= 0 ||
        rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
        error = "no picture to write";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = std::string("cannot write ") + path + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, onPngError, onPngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    bool written = false;
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* source =
                rgba.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
            for (int x = 0; x < width; ++x) {
                std::memcpy(&row[static_cast<std::size_t>(x) * 3], source + static_cast<std::size_t>(x) * 4,
                            3);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, info);
        written = true;
    } else if (info == nullptr) {
        error = "libpng could not start";
    }
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0 && written) {
        error = std::string("cannot write ") + path + ": " + std::strerror(errno);
        written = false;
    }
    if (!written) {
        std::remove(path.c_str());
    }
    return written;
}
