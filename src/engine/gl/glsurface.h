#pragma once

// Where the native renderer draws: an OpenGL context and the framebuffer that stands for the
// device's back buffer. A device is created over one (passed as the window handle) and draws into
// its framebuffer; the surface must outlive every device made over it.
class GlSurface {
public:
    virtual ~GlSurface() = default;

    // The size of the drawing area in pixels, which the back buffer takes when it is given as 0.
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Makes the surface's context current on this thread.
    virtual void makeCurrent() = 0;
    // The framebuffer object frames are drawn into (0 for the context's own).
    virtual unsigned framebuffer() const = 0;
    // Shows the frame drawn since the last call; nothing for a surface that is only read back.
    virtual void present() = 0;
    // The address of an OpenGL function of the surface's context, or none.
    virtual void* procAddress(const char* name) const = 0;
};
