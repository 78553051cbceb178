#pragma once

// What the programs on the real Direct3D 9 and D3DX 9 start from: the Engine over a hidden window
// with the program's caches over a data folder, and its frames read back.

// Our graphics interface first: the real headers define some of its names as macros.
#include "conformance/conformance.h"
#include "engine/d3d/d3d9native.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"

#include <windows.h>

#include <d3d9.h>

#include <cstdint>
#include <stdexcept>

inline void check(HRESULT hr) {
    if (FAILED(hr)) {
        throw std::runtime_error("a Direct3D call failed with " + std::to_string(hr));
    }
}

// A frame read back: colours as 0xRRGGBB, row by row from the top.
struct Frame {
    UINT width = 0;
    UINT height = 0;
    std::vector<std::uint32_t> pixels;
    std::size_t lit() const { return pixels.size() - std::count(pixels.begin(), pixels.end(), 0u); }
};

// While it lives, the device draws into a plain render target and depth buffer of its own, which
// read() copies back. The back buffer cannot be read after Engine::render presents it: windowed with
// D3DSWAPEFFECT_DISCARD, Wine drops its content at Present, and it is multisampled, which
// GetRenderTargetData refuses. Ours live in D3DPOOL_DEFAULT: a capture must go before a reset.
class FrameCapture {
public:
    explicit FrameCapture(IDirect3DDevice9* device) : m_device(device) {
        D3DSURFACE_DESC back{};
        check(device->GetRenderTarget(0, &m_saved[0]));
        check(device->GetDepthStencilSurface(&m_saved[1]));
        m_saved[0]->GetDesc(&back);
        check(device->CreateRenderTarget(back.Width, back.Height, back.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                         &m_ours[0], nullptr));
        check(device->CreateDepthStencilSurface(back.Width, back.Height, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0,
                                                FALSE, &m_ours[1], nullptr));
        check(device->CreateOffscreenPlainSurface(back.Width, back.Height, back.Format, D3DPOOL_SYSTEMMEM,
                                                  &m_ours[2], nullptr));
        device->SetRenderTarget(0, m_ours[0]);
        device->SetDepthStencilSurface(m_ours[1]);
    }
    ~FrameCapture() {
        m_device->SetRenderTarget(0, m_saved[0]);
        m_device->SetDepthStencilSurface(m_saved[1]);
        for (IDirect3DSurface9* surface : {m_saved[0], m_saved[1], m_ours[0], m_ours[1], m_ours[2]}) {
            if (surface != nullptr) {
                surface->Release();
            }
        }
    }
    FrameCapture(const FrameCapture&) = delete;
    FrameCapture& operator=(const FrameCapture&) = delete;

    Frame read() const {
        D3DSURFACE_DESC desc{};
        D3DLOCKED_RECT locked{};
        m_ours[2]->GetDesc(&desc);
        check(m_device->GetRenderTargetData(m_ours[0], m_ours[2]));
        check(m_ours[2]->LockRect(&locked, nullptr, D3DLOCK_READONLY));
        Frame frame{desc.Width, desc.Height, {}};
        for (UINT y = 0; y < desc.Height; ++y) {
            const auto* row = static_cast<const std::uint32_t*>(locked.pBits) + y * (locked.Pitch / 4);
            for (UINT x = 0; x < desc.Width; ++x) {
                frame.pixels.push_back(row[x] & 0xFFFFFF);
            }
        }
        m_ours[2]->UnlockRect();
        return frame;
    }

private:
    IDirect3DDevice9* m_device;
    IDirect3DSurface9* m_saved[2] = {}; // the device's render target and depth buffer
    IDirect3DSurface9* m_ours[3] = {};  // render target, depth buffer, and the copy in system memory
};

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
        return capture.read();
    }

    FileManager files;
    TextureManager textures{&files, "Data\\Art\\Textures\\"};
    ShaderManager shaders{&files, "Data\\Art\\Shaders\\"};
    // A top-level pop-up, whose client area is the whole window, never shown.
    std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&DestroyWindow)> window;
    Engine engine;
    std::vector<std::unique_ptr<Model>> models;
};
