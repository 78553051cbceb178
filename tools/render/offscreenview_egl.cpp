#include "render/offscreenview.h"

#include "engine/engine.h"
#include "engine/gl/eglsurface.h"

struct OffscreenView::Platform {
    EglSurface surface;
};

OffscreenView::OffscreenView(int width, int height) : m_platform(new Platform{EglSurface(width, height)}) {}

OffscreenView::~OffscreenView() = default;

d3d::HWND OffscreenView::window() const {
    // The native backend takes its surface where Direct3D takes a window.
    return static_cast<GlSurface*>(&m_platform->surface);
}

std::vector<std::uint8_t> OffscreenView::draw(Engine& engine) {
    engine.render();
    return m_platform->surface.readPixels();
}
