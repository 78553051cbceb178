// kestrin-conformance-capture DATAFOLDER OUTDIR: draws every conformance scene with the Engine on
// the real Direct3D 9 and D3DX 9 and writes each frame, read back, to OUTDIR/NAME.ppm. The host's
// kestrin-conformance draws the same scenes with the native renderer and compares.

#include "conformance/conformancescenes.h"
#include "engine/d3d/d3d9native.h"
#include "engine/engine.h"
#include "main/errorreport.h"
#include "main/exception.h"
#include "managers/filemanager.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "model/model.h"
#include "realgraphics.h"

#include <windows.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

void writePpm(const std::string& path, const Frame& frame) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "P6\n" << frame.width << " " << frame.height << "\n255\n";
    for (const std::uint32_t c : frame.pixels) {
        const char rgb[3] = {static_cast<char>(red(c)), static_cast<char>(green(c)),
                             static_cast<char>(blue(c))};
        out.write(rgb, 3);
    }
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: kestrin-conformance-capture DATAFOLDER OUTDIR\n";
        return 2;
    }
    try {
        std::string folder = argv[1];
        if (folder.back() != '\\') {
            folder += '\\';
        }
        FileManager files(folder);
        TextureManager textures(&files, "Data\\Art\\Textures\\");
        ShaderManager shaders(&files, "Data\\Art\\Shaders\\");
        HiddenWindow window(ConformanceScenes::kWidth, ConformanceScenes::kHeight);
        Engine engine(window.handle(), ConformanceScenes::kWidth, ConformanceScenes::kHeight, textures,
                      shaders);
        std::vector<std::unique_ptr<Model>> models;
        CreateDirectoryA(argv[2], nullptr);
        for (const ConformanceScenes::Scene& scene : ConformanceScenes::all()) {
            ConformanceScenes::stage(scene, engine, files, models);
            Frame frame;
            {
                FrameCapture capture(d3d::nativeDevice(engine.getDevice()));
                if (!engine.render()) {
                    throw std::runtime_error("the device was lost drawing " + scene.name);
                }
                frame = capture.read();
            }
            writePpm(std::string(argv[2]) + "\\" + scene.name + ".ppm", frame);
            std::cout << scene.name << ": " << frame.litCount() << " pixels lit\n";
        }
        engine.clearMeshes();
    } catch (const Exception& e) {
        std::cerr << composeErrorReport(e);
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "kestrin-conformance-capture: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
