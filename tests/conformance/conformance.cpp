// kestrin-conformance DATAFOLDER FRAMES: draws every conformance scene with the Engine on the
// native renderer and compares each frame with FRAMES/NAME.ppm, the same scene drawn on the real
// Direct3D 9 stack (kestrin-conformance-capture under Wine). A scene agrees when at least 99% of
// its pixels are within 8/255 of the reference in every channel. Beside each reference it writes
// NAME-native.png and NAME-difference.png (differences magnified eight times) for a person to look
// at. Exit status 0 when every scene agrees.

#include "conformancescenes.h"
#include "engine/engine.h"
#include "engine/gl/eglsurface.h"
#include "main/errorreport.h"
#include "main/exception.h"
#include "managers/filemanager.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "model/model.h"
#include "render/pngwriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kTolerance = 8;
constexpr double kRequiredShare = 0.99;

// A binary PPM of exactly width x height pixels as RGBA; std::runtime_error otherwise.
std::vector<std::uint8_t> readPpm(const std::string& path, int width, int height) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("no reference frame " + path);
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (bytes.size() != header.size() + pixels * 3 ||
        !std::equal(header.begin(), header.end(), bytes.begin())) {
        throw std::runtime_error(path + " is not a " + std::to_string(width) + " x " +
                                 std::to_string(height) + " frame");
    }
    std::vector<std::uint8_t> rgba(pixels * 4, 255);
    for (std::size_t i = 0; i < pixels; ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            rgba[i * 4 + c] = static_cast<std::uint8_t>(bytes[header.size() + i * 3 + c]);
        }
    }
    return rgba;
}

struct Comparison {
    std::size_t within = 0;
    std::size_t lit = 0;
    int largest = 0;
    std::vector<std::uint8_t> difference;
};

Comparison compare(const std::vector<std::uint8_t>& native, const std::vector<std::uint8_t>& reference) {
    Comparison result;
    result.difference.assign(native.size(), 255);
    for (std::size_t i = 0; i < native.size(); i += 4) {
        int worst = 0;
        bool lit = false;
        for (std::size_t c = 0; c < 3; ++c) {
            const int d = std::abs(int{native[i + c]} - int{reference[i + c]});
            worst = std::max(worst, d);
            result.difference[i + c] = static_cast<std::uint8_t>(std::min(255, d * 8));
            lit = lit || reference[i + c] != 0;
        }
        result.largest = std::max(result.largest, worst);
        result.within += worst <= kTolerance ? 1 : 0;
        result.lit += lit ? 1 : 0;
    }
    return result;
}

std::string folderOf(std::string folder) {
    if (folder.empty() || (folder.back() != '/' && folder.back() != '\\')) {
        folder += '/';
    }
    return folder;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: kestrin-conformance DATAFOLDER FRAMES\n";
        return 2;
    }
    const int w = ConformanceScenes::kWidth;
    const int h = ConformanceScenes::kHeight;
    const std::string frames = folderOf(argv[2]);
    int failures = 0;
    try {
        EglSurface surface(w, h);
        std::cout << "native renderer on " << surface.rendererName() << "; a scene agrees when "
                  << kRequiredShare * 100 << "% of its pixels are within " << kTolerance << "/255\n";
        FileManager files(folderOf(argv[1]));
        TextureManager textures(&files, "Data\\Art\\Textures\\");
        ShaderManager shaders(&files, "Data\\Art\\Shaders\\");
        Engine engine(&surface, w, h, textures, shaders);
        std::vector<std::unique_ptr<Model>> models;
        for (const ConformanceScenes::Scene& scene : ConformanceScenes::all()) {
            ConformanceScenes::stage(scene, engine, files, models);
            engine.render();
            const std::vector<std::uint8_t> native = surface.readPixels();
            const std::vector<std::uint8_t> reference = readPpm(frames + scene.name + ".ppm", w, h);
            const Comparison c = compare(native, reference);
            const double share = static_cast<double>(c.within) / (static_cast<double>(w) * h);
            const bool agrees = share >= kRequiredShare && c.lit > 0;
            char line[200];
            std::snprintf(line, sizeof line,
                          "%-16s %7.3f%% within, largest difference %3d, %6zu pixels lit: %s",
                          scene.name.c_str(), share * 100, c.largest, c.lit,
                          agrees ? "agrees" : (c.lit == 0 ? "NOTHING DRAWN" : "DIFFERS"));
            std::cout << line << "\n";
            failures += agrees ? 0 : 1;
            std::string error;
            if (!PngWriter::write(frames + scene.name + "-native.png", w, h, native, error) ||
                !PngWriter::write(frames + scene.name + "-difference.png", w, h, c.difference, error)) {
                std::cerr << "kestrin-conformance: " << error << "\n";
            }
        }
        engine.clearMeshes();
    } catch (const Exception& e) {
        std::cerr << composeErrorReport(e);
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "kestrin-conformance: " << e.what() << "\n";
        return 1;
    }
    std::cout << (failures == 0 ? "every scene agrees\n" : std::to_string(failures) + " scene(s) differ\n");
    return failures == 0 ? 0 : 1;
}
