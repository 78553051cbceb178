#pragma once

#include <cstdint>
#include <vector>

struct IDirect3DDevice9;
struct IDirect3DSurface9;

// Windows only: while it lives, a Direct3D 9 device draws into a render target and depth buffer of
// its own, of the back buffer's size, whose frames read() copies back. The back buffer itself cannot
// be read after a frame is presented: windowed with D3DSWAPEFFECT_DISCARD, Wine drops its content
// at Present, and it is multisampled, which GetRenderTargetData refuses. Ours live in
// D3DPOOL_DEFAULT: a capture must go before the device is reset.
class FrameCapture {
public:
    // Puts the capture's targets in place on device; D3DException when they cannot be made.
    explicit FrameCapture(IDirect3DDevice9* device);
    // Puts the device's own targets back.
    ~FrameCapture();
    FrameCapture(const FrameCapture&) = delete;
    FrameCapture& operator=(const FrameCapture&) = delete;

    // The size of the frames, in pixels.
    unsigned width() const { return m_width; }
    unsigned height() const { return m_height; }
    // The last frame drawn, as RGBA bytes (alpha 255), rows from the top; D3DException when it
    // cannot be copied back.
    std::vector<std::uint8_t> read() const;

private:
    IDirect3DDevice9* m_device;
    IDirect3DSurface9* m_saved[2] = {}; // the device's render target and depth buffer
    IDirect3DSurface9* m_ours[3] = {};  // render target, depth buffer, and the copy in system memory
    unsigned m_width = 0;
    unsigned m_height = 0;
};
