#pragma once

// What the tests on the real Direct3D 9 and D3DX 9 start from: the data folder the host wrote, a
// hidden window, the caches over a file manager that counts its reads, and frames read back.

// Our graphics interface first: the real headers define some of its names as macros.
#include "engine/d3d/d3d9.h"
#include "main/refptr.h"
#include "managers/filemanager.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"

#include <windows.h>

#include <d3d9.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The data folder kestrin-windows-fixtures wrote, from KESTRIN_WINDOWS_DATA (a Windows path, set by
// CTest), with the trailing backslash a FileManager takes. std::runtime_error when it is not set.
std::string fixtureDataFolder();

// A top-level window of a plain class with a client area of width x height, never shown.
class HiddenWindow {
public:
    HiddenWindow(int width, int height);
    ~HiddenWindow();
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    // The window, as our graphics interface takes it.
    d3d::HWND handle() const { return m_window; }

private:
    HWND m_window = nullptr;
};

// A FileManager over the fixture data folder that counts the requests for each path.
class CountingFileManager : public FileManager {
public:
    CountingFileManager();

    // As FileManager::open, counted.
    RefPtr<File> open(const std::string& path) override;
    // How often path (exactly as asked) has been opened or looked for.
    int opens(const std::string& path) const;

private:
    std::map<std::string, int> m_opens;
};

// The program's caches over the fixture data folder.
struct DataFolder {
    CountingFileManager files;
    TextureManager textures{&files, "Data\\Art\\Textures\\"};
    ShaderManager shaders{&files, "Data\\Art\\Shaders\\"};
};

// The whole file at path through files; empty when there is none.
std::vector<unsigned char> readWhole(FileManager& files, const std::string& path);

// The references object has now, counted by adding one and dropping it again.
ULONG referenceCount(IUnknown* object);

// A frame read back: width x height colours as 0xRRGGBB, row by row from the top.
struct Frame {
    UINT width = 0;
    UINT height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(UINT x, UINT y) const { return pixels[std::size_t{y} * width + x]; }
    // Pixels that are not black.
    std::size_t litCount() const;
};

// Red, green and blue of a 0xRRGGBB colour.
inline int red(std::uint32_t c) {
    return static_cast<int>(c >> 16 & 0xFF);
}
inline int green(std::uint32_t c) {
    return static_cast<int>(c >> 8 & 0xFF);
}
inline int blue(std::uint32_t c) {
    return static_cast<int>(c & 0xFF);
}

// While it lives, whatever the device draws lands in a render target and depth buffer of its own,
// which read() copies back.
//
// Engine::render clears, draws and then presents the back buffer. The back buffer cannot be read
// back afterwards: the device is windowed with D3DSWAPEFFECT_DISCARD, and Wine 8 drops the back
// buffer's content at Present (read back after render(), it is black everywhere); it is also
// multisampled, which GetRenderTargetData refuses without a StretchRect first. The Engine has no
// way to draw without presenting, and needs none: it draws into whatever render target is set.
// So a capture sets plain (not multisampled) surfaces of the back buffer's size and format as
// render target 0 and depth buffer; render() clears and draws into them, Present shows the
// untouched back buffer, and the frame waits in our target. The destructor puts the device's own
// surfaces back. Ours live in D3DPOOL_DEFAULT: a capture must be gone before the device is reset.
class FrameCapture {
public:
    explicit FrameCapture(IDirect3DDevice9* device);
    ~FrameCapture();
    FrameCapture(const FrameCapture&) = delete;
    FrameCapture& operator=(const FrameCapture&) = delete;

    // The target's current content.
    Frame read() const;

private:
    IDirect3DDevice9* m_device;
    IDirect3DSurface9* m_savedTarget = nullptr;
    IDirect3DSurface9* m_savedDepth = nullptr;
    IDirect3DSurface9* m_target = nullptr;
    IDirect3DSurface9* m_depth = nullptr;
};
