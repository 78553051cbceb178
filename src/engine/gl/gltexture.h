#pragma once

#include "engine/gl/glcounted.h"
#include "main/refptr.h"

#include <string>

class DdsReader;

// A texture of the native renderer: an OpenGL 2D texture with every mip level of a DDS file,
// block-compressed formats kept compressed. Holds its device, whose context it needs.
class GlTexture : public GlCounted<d3d::IDirect3DTexture9> {
public:
    // Uploads the DDS file bytes on device; none, with the reason in error, when the file is not
    // one the reader takes or OpenGL refuses it.
    static RefPtr<GlTexture> fromDds(d3d::IDirect3DDevice9* device, const std::uint8_t* bytes,
                                     std::size_t size, std::string& error);

    // The OpenGL texture object.
    unsigned name() const { return m_name; }
    // Number of mip levels uploaded.
    int levels() const { return m_levels; }

protected:
    ~GlTexture() override;

private:
    explicit GlTexture(d3d::IDirect3DDevice9* device);

    RefPtr<d3d::IDirect3DDevice9> m_device;
    unsigned m_name = 0;
    int m_levels = 0;
};
