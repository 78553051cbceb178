#pragma once

#include "engine/gl/glcounted.h"
#include "engine/gl/gldevice.h"
#include "engine/gl/opengl.h"
#include "main/refptr.h"

#include <cstdint>
#include <vector>

// A vertex or index buffer of the native renderer: a copy in memory that Lock hands out and an
// OpenGL buffer object that Unlock fills from it. Holds its device, whose context it needs.
template <class Interface>
class GlBuffer : public GlCounted<Interface> {
public:
    GlBuffer(GlDevice* device, std::size_t length)
        : m_device(RefPtr<GlDevice>::share(device)), m_bytes(length) {
        glGenBuffers(1, &m_name);
    }

    // The part [offset, offset + size) for writing; size 0 means to the end.
    d3d::HRESULT Lock(d3d::UINT offset, d3d::UINT size, void** data, d3d::DWORD) override {
        if (data == nullptr || m_locked || offset > m_bytes.size() ||
            (size != 0 && std::uint64_t{offset} + size > m_bytes.size())) {
            return d3d::D3DERR_INVALIDCALL;
        }
        m_locked = true;
        *data = m_bytes.data() + offset;
        return d3d::D3D_OK;
    }

    // Hands the whole buffer to OpenGL.
    d3d::HRESULT Unlock() override {
        if (!m_locked) {
            return d3d::D3DERR_INVALIDCALL;
        }
        m_locked = false;
        m_device->makeCurrent();
        glBindBuffer(GL_COPY_WRITE_BUFFER, m_name);
        glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(m_bytes.size()), m_bytes.data(),
                     GL_STATIC_DRAW);
        glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
        return d3d::D3D_OK;
    }

    // The OpenGL buffer object.
    GLuint name() const { return m_name; }
    // Its size in bytes.
    std::size_t size() const { return m_bytes.size(); }
    // Its content as last unlocked.
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

protected:
    ~GlBuffer() override {
        m_device->forget(this);
        m_device->makeCurrent();
        glDeleteBuffers(1, &m_name);
    }

private:
    RefPtr<GlDevice> m_device;
    std::vector<std::uint8_t> m_bytes;
    GLuint m_name = 0;
    bool m_locked = false;
};
