// kestrin-frame-timer DATAFOLDER MODEL WIDTH HEIGHT FRAMES: draws a model (a path in the data
// folder, every mesh shown, the starting camera) with the Engine on the real Direct3D 9 stack,
// FRAMES times, each frame read back, and prints "seconds-per-frame S". The host benchmark of the
// native renderer runs it under Wine as its baseline.

#include "engine/d3d/d3d9native.h"
#include "engine/engine.h"
#include "main/errorreport.h"
#include "main/exception.h"
#include "managers/filemanager.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "model/model.h"
#include "realgraphics.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: kestrin-frame-timer DATAFOLDER MODEL WIDTH HEIGHT FRAMES\n";
        return 2;
    }
    try {
        std::string folder = argv[1];
        if (folder.back() != '\\') {
            folder += '\\';
        }
        const int width = std::atoi(argv[3]);
        const int height = std::atoi(argv[4]);
        const int frames = std::atoi(argv[5]);
        if (width <= 0 || height <= 0 || frames <= 0) {
            throw std::runtime_error("sizes and frame count must be positive");
        }
        FileManager files(folder);
        TextureManager textures(&files, "Data\\Art\\Textures\\");
        ShaderManager shaders(&files, "Data\\Art\\Shaders\\");
        RefPtr<File> file = files.open(argv[2]);
        if (!file) {
            throw std::runtime_error(std::string("no ") + argv[2] + " in the data folder");
        }
        const Model model(*file);
        HiddenWindow window(width, height);
        Engine engine(window.handle(), width, height, textures, shaders);
        for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
            d3d::D3DXMATRIX world;
            model.getMeshTransform(i, &world.m[0][0]);
            engine.addMesh(&model.getMesh(i), world, true);
        }
        double seconds = 0;
        {
            FrameCapture capture(d3d::nativeDevice(engine.getDevice()));
            engine.render(); // buffers, effects and textures are made before timing
            capture.read();
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < frames; ++i) {
                engine.render();
                capture.read();
            }
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        engine.clearMeshes();
        std::printf("seconds-per-frame %.9f\n", seconds / frames);
    } catch (const Exception& e) {
        std::cerr << composeErrorReport(e);
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "kestrin-frame-timer: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
