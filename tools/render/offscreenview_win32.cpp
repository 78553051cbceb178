#include "render/offscreenview.h"

// Our graphics interface first: the real headers define some of its names as macros.
#include "engine/d3d/d3d9native.h"
#include "engine/engine.h"
#include "main/d3dexception.h"
#include "render/framecapture.h"

#include <windows.h>

struct OffscreenView::Platform {
    HWND window = nullptr;
    std::unique_ptr<FrameCapture> capture; // made at the first frame, on the engine's device
};

OffscreenView::OffscreenView(int width, int height) : m_platform(std::make_unique<Platform>()) {
    // A top-level pop-up, whose client area is the whole window; it is never shown.
    m_platform->window =
        CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
    if (m_platform->window == nullptr) {
        throw Exception(__FILE__, __LINE__, "Unable to create a window to draw in");
    }
}

OffscreenView::~OffscreenView() {
    m_platform->capture.reset();
    DestroyWindow(m_platform->window);
}

d3d::HWND OffscreenView::window() const {
    return m_platform->window;
}

std::vector<std::uint8_t> OffscreenView::draw(Engine& engine) {
    if (!m_platform->capture) {
        m_platform->capture = std::make_unique<FrameCapture>(d3d::nativeDevice(engine.getDevice()));
    }
    if (!engine.render()) {
        throw D3DException(__FILE__, __LINE__, d3d::D3DERR_DEVICELOST);
    }
    return m_platform->capture->read();
}
