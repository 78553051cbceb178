#pragma once

#include "engine/gl/glsurface.h"

#include <cstdint>
#include <string>
#include <vector>

// An off-screen OpenGL context through EGL (Mesa's surfaceless platform, so no display is needed)
// with a framebuffer of colour (RGBA, 8 bits each) and depth-stencil (24 + 8 bits) of a given size.
class EglSurface : public GlSurface {
public:
    // A context and framebuffer of width x height; std::runtime_error when EGL or OpenGL refuse.
    EglSurface(int width, int height);
    ~EglSurface() override;
    EglSurface(const EglSurface&) = delete;
    EglSurface& operator=(const EglSurface&) = delete;

    int width() const override { return m_width; }
    int height() const override { return m_height; }
    void makeCurrent() override;
    unsigned framebuffer() const override { return m_framebuffer; }
    void present() override {}
    void* procAddress(const char* name) const override;

    // Gives the framebuffer a new size; its content is undefined until drawn again.
    void resize(int width, int height);
    // The framebuffer's pixels as RGBA bytes, rows from the top.
    std::vector<std::uint8_t> readPixels() const;
    // The OpenGL renderer's name (for reports).
    std::string rendererName() const;

private:
    void createFramebuffer();
    void deleteFramebuffer();

    void* m_display = nullptr;
    void* m_context = nullptr;
    int m_width;
    int m_height;
    unsigned m_framebuffer = 0;
    unsigned m_colour = 0;
    unsigned m_depth = 0;
};
