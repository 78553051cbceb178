#include "demodata/demotextures.h"

#include "writers/ddswriter.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace {

using Pixel = std::function<void(std::uint32_t x, std::uint32_t y, std::uint8_t* rgba)>;

std::vector<std::uint8_t> paint(std::uint32_t size, const Pixel& pixel) {
    std::vector<std::uint8_t> rgba(std::size_t{size} * size * 4);
    for (std::uint32_t y = 0; y < size; ++y) {
        for (std::uint32_t x = 0; x < size; ++x) {
            pixel(x, y, &rgba[(std::size_t{y} * size + x) * 4]);
        }
    }
    return rgba;
}

void set(std::uint8_t* p, int r, int g, int b) {
    p[0] = static_cast<std::uint8_t>(r);
    p[1] = static_cast<std::uint8_t>(g);
    p[2] = static_cast<std::uint8_t>(b);
    p[3] = 255;
}

} // namespace

std::string DemoTextures::hull(int tint) {
    const auto rgba = paint(128, [tint](std::uint32_t x, std::uint32_t y, std::uint8_t* p) {
        const bool line = x % 32 == 0 || y % 16 == 0;
        const int shade = line ? 90 : 170 + static_cast<int>((x * 7 + y * 13) % 24);
        set(p, shade, shade, shade + 10 + tint);
    });
    return DdsWriter(128, 128, rgba).build(DdsWriter::Format::A8R8G8B8);
}

std::string DemoTextures::hullNormal() {
    const auto rgba = paint(128, [](std::uint32_t x, std::uint32_t y, std::uint8_t* p) {
        // Normals as 0.5 * n + 0.5: up out of the panels, leaning over along hull()'s panel lines.
        const bool line = x % 32 <= 1 || y % 16 <= 1;
        if (line) {
            set(p, 200, 128, 170);
        } else {
            set(p, 128, 128, 255);
        }
    });
    return DdsWriter(128, 128, rgba).build(DdsWriter::Format::A8R8G8B8);
}

std::string DemoTextures::engine() {
    const auto rgba = paint(64, [](std::uint32_t x, std::uint32_t y, std::uint8_t* p) {
        if (y % 16 < 4) {
            set(p, 80, 160, 255);
        } else {
            const int shade = 110 + static_cast<int>(x % 8) * 4;
            set(p, shade, shade, shade);
        }
    });
    return DdsWriter(64, 64, rgba).build(DdsWriter::Format::Dxt1);
}

std::string DemoTextures::planet() {
    const auto rgba = paint(256, [](std::uint32_t x, std::uint32_t y, std::uint8_t* p) {
        const float u = static_cast<float>(x) / 256.0f * 6.2831853f;
        const float v = static_cast<float>(y) / 256.0f * 3.1415927f;
        const float land = std::sin(3 * u) * std::sin(2 * v) + 0.5f * std::cos(5 * u + v);
        if (y < 20 || y > 236) {
            set(p, 235, 240, 250);
        } else if (land > 0.4f) {
            set(p, 60 + static_cast<int>(land * 40), 140, 50);
        } else {
            set(p, 20, 60, 150 + static_cast<int>(land * 40));
        }
    });
    return DdsWriter(256, 256, rgba).build(DdsWriter::Format::Dxt1);
}
