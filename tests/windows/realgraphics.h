#pragma once

// What the programs on the real Direct3D 9 and D3DX 9 start from: the Engine over a hidden window
// with the program's caches over a data folder, and its frames read back.

// Our graphics interface first: the real headers define some of its names as macros.
#include "conformance/conformance.h"
#include "engine/d3d/d3d9native.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "render/framecapture.h"

#include <windows.h>

#include <d3d9.h>

#include <cstdint>
#include <stdexcept>

// A frame read back: colours as 0xRRGGBB, and as RGBA bytes, row by row from the top.
struct Frame {
    UINT width = 0;
    UINT height = 0;
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint8_t> rgba;
    std::size_t lit() const { return pixels.size() - std::count(pixels.begin(), pixels.end(), 0u); }
};

inline Frame readFrame(const FrameCapture& capture) {
    Frame frame{capture.width(), capture.height(), {}, capture.read()};
    for (std::size_t i = 0; i < frame.rgba.size(); i += 4) {
        frame.pixels.push_back(std::uint32_t{frame.rgba[i]} << 16 | std::uint32_t{frame.rgba[i + 1]} << 8 |
                               frame.rgba[i + 2]);
    }
    return frame;
}

// The Engine over a hidden window with the program's caches over a data folder (a Windows path).
struct EngineOnWindow {
    EngineOnWindow(const std::string& folder, int width, int height)
        : files(!folder.empty() && folder.back() == '\\' ? folder : folder + "\\"),
          window(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, width, height, nullptr, nullptr, nullptr,
                                 nullptr),
                 DestroyWindow),
          engine(window.get(), width, height, textures, shaders) {}
    ~EngineOnWindow() { engine.clearMeshes(); }

    // Every mesh of the model, as the path in the folder names it, seen from the starting camera.
    void show(const std::string& model) {
        conformance::stage({"", model, {}, 0, 0, 0, 0, 0}, engine, files, models);
    }
    IDirect3DDevice9* device() const { return d3d::nativeDevice(engine.getDevice()); }
    Frame draw() {
        FrameCapture capture(device());
        if (!engine.render()) {
            throw std::runtime_error("the device was lost");
        }
        return readFrame(capture);
    }

    FileManager files;
    TextureManager textures{&files, "Data\\Art\\Textures\\"};
    ShaderManager shaders{&files, "Data\\Art\\Shaders\\"};
    // A top-level pop-up, whose client area is the whole window, never shown.
    std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&DestroyWindow)> window;
    Engine engine;
    std::vector<std::unique_ptr<Model>> models;
};
