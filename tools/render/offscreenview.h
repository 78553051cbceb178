#pragma once

#include "engine/d3d/d3d9types.h"

#include <cstdint>
#include <memory>
#include <vector>

class Engine;

// Where kestrin-render draws: a drawing area of a given size that is never shown, which an Engine is
// made over and whose frames are read back. On Linux an off-screen OpenGL context of the native
// renderer; on Windows a hidden window whose Direct3D 9 device draws into a target of its own.
class OffscreenView {
public:
    // A drawing area of width x height pixels; an Exception (on Linux std::runtime_error) when the
    // platform gives none.
    OffscreenView(int width, int height);
    ~OffscreenView();
    OffscreenView(const OffscreenView&) = delete;
    OffscreenView& operator=(const OffscreenView&) = delete;

    // What an Engine is made over, in the place of its window.
    d3d::HWND window() const;
    // Draws one frame with engine (made over window()) and reads it back as RGBA bytes, rows from
    // the top; an Exception (on Linux std::runtime_error) when the frame cannot be drawn or read.
    std::vector<std::uint8_t> draw(Engine& engine);

private:
    struct Platform;
    std::unique_ptr<Platform> m_platform;
};
