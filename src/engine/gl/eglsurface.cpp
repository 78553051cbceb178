#include "engine/gl/eglsurface.h"

#include "engine/gl/opengl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <stdexcept>

namespace {

std::runtime_error eglFailure(const char* step) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
    return std::runtime_error(std::string("OpenGL through EGL is not available: ") + step +
                              " failed (EGL error " + code + ")");
}

// A process has one EGL display per platform, shared by every surface, and eglTerminate ends it for
// all their contexts: only the last surface to go terminates it.
std::mutex displayMutex;
int liveSurfaces = 0;

void releaseDisplay(EGLDisplay display) {
    if (liveSurfaces == 0) {
        eglTerminate(display);
    }
}

} // namespace

EglSurface::EglSurface(int width, int height) : m_width(width), m_height(height) {
    const std::lock_guard<std::mutex> lock(displayMutex);
    // The surfaceless platform needs neither an X display nor a GPU; without it, the default
    // display may still be one.
    EGLDisplay display = EGL_NO_DISPLAY;
    const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (extensions != nullptr &&
        std::string(extensions).find("EGL_MESA_platform_surfaceless") != std::string::npos) {
        display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    }
    if (display == EGL_NO_DISPLAY) {
        display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    }
    if (display == EGL_NO_DISPLAY || eglInitialize(display, nullptr, nullptr) != EGL_TRUE) {
        throw eglFailure("eglInitialize");
    }
    m_display = display;
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
        releaseDisplay(display);
        throw eglFailure("eglBindAPI");
    }
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (eglChooseConfig(display, configAttributes, &config, 1, &configs) != EGL_TRUE || configs < 1) {
        config = nullptr; // EGL_KHR_no_config_context
    }
    // A compatibility context: the translated shaders are GLSL 1.20 and alpha testing is used.
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        releaseDisplay(display);
        throw eglFailure("eglCreateContext");
    }
    m_context = context;
    if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) != EGL_TRUE) {
        eglDestroyContext(display, context);
        releaseDisplay(display);
        throw eglFailure("eglMakeCurrent");
    }
    createFramebuffer();
    ++liveSurfaces;
}

EglSurface::~EglSurface() {
    const std::lock_guard<std::mutex> lock(displayMutex);
    makeCurrent();
    deleteFramebuffer();
    eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(m_display, m_context);
    --liveSurfaces;
    releaseDisplay(m_display);
}

void EglSurface::makeCurrent() {
    eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context);
}

void* EglSurface::procAddress(const char* name) const {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

void EglSurface::resize(int width, int height) {
    makeCurrent();
    deleteFramebuffer();
    m_width = width;
    m_height = height;
    createFramebuffer();
}

std::vector<std::uint8_t> EglSurface::readPixels() const {
    const_cast<EglSurface*>(this)->makeCurrent();
    const std::size_t rowBytes = static_cast<std::size_t>(m_width) * 4;
    std::vector<std::uint8_t> pixels(rowBytes * static_cast<std::size_t>(m_height));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_width, m_height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    // OpenGL's rows run from the bottom.
    for (int y = 0; y < m_height / 2; ++y) {
        std::swap_ranges(pixels.begin() + static_cast<std::ptrdiff_t>(y * rowBytes),
                         pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * rowBytes),
                         pixels.begin() + static_cast<std::ptrdiff_t>((m_height - 1 - y) * rowBytes));
    }
    return pixels;
}

std::string EglSurface::rendererName() const {
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return name != nullptr ? name : "unknown";
}

void EglSurface::createFramebuffer() {
    glGenRenderbuffers(1, &m_colour);
    glBindRenderbuffer(GL_RENDERBUFFER, m_colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, m_width, m_height);
    glGenRenderbuffers(1, &m_depth);
    glBindRenderbuffer(GL_RENDERBUFFER, m_depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, m_width, m_height);
    glGenFramebuffers(1, &m_framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        throw std::runtime_error("OpenGL refused a framebuffer of " + std::to_string(m_width) + " x " +
                                 std::to_string(m_height) + " pixels");
    }
}

void EglSurface::deleteFramebuffer() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &m_framebuffer);
    glDeleteRenderbuffers(1, &m_colour);
    glDeleteRenderbuffers(1, &m_depth);
    m_framebuffer = m_colour = m_depth = 0;
}
