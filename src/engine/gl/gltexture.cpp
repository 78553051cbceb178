#include "engine/gl/gltexture.h"

#include "engine/d3d/d3dx9effect.h"
#include "engine/gl/ddsreader.h"
#include "engine/gl/gldevice.h"
#include "engine/gl/opengl.h"

#include <cstdint>

namespace {

GLenum compressedFormat(DdsReader::Format format) {
    switch (format) {
    case DdsReader::Format::Dxt1:
        // Direct3D decodes DXT1's three-colour blocks with a transparent fourth colour.
        return GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
    case DdsReader::Format::Dxt3:
        return GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
    case DdsReader::Format::Dxt5:
        return GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    case DdsReader::Format::Rgba8:
        break;
    }
    return 0;
}

} // namespace

GlTexture::GlTexture(d3d::IDirect3DDevice9* device) : m_device(RefPtr<d3d::IDirect3DDevice9>::share(device)) {
    glGenTextures(1, &m_name);
}

GlTexture::~GlTexture() {
    auto* device = static_cast<GlDevice*>(m_device.get());
    device->forget(this);
    device->makeCurrent();
    glDeleteTextures(1, &m_name);
}

RefPtr<GlTexture> GlTexture::fromDds(d3d::IDirect3DDevice9* device, const std::uint8_t* bytes,
                                     std::size_t size, std::string& error) {
    DdsReader::Image image;
    if (!DdsReader::read(bytes, size, image, error)) {
        return nullptr;
    }
    static_cast<GlDevice*>(device)->makeCurrent();
    RefPtr<GlTexture> texture = RefPtr<GlTexture>::adopt(new GlTexture(device));
    glBindTexture(GL_TEXTURE_2D, texture->m_name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLenum compressed = compressedFormat(image.format);
    for (std::size_t level = 0; level < image.levels.size(); ++level) {
        const DdsReader::Level& l = image.levels[level];
        const auto w = static_cast<GLsizei>(l.width);
        const auto h = static_cast<GLsizei>(l.height);
        if (compressed != 0) {
            glCompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), compressed, w, h, 0,
                                   static_cast<GLsizei>(l.data.size()), l.data.data());
        } else {
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA8, w, h, 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, l.data.data());
        }
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(image.levels.size()) - 1);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (const GLenum code = glGetError(); code != GL_NO_ERROR) {
        error = "OpenGL refused the texture (error 0x" + [code] {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%04X", code);
            return std::string(hex);
        }() + ")";
        return nullptr;
    }
    texture->m_levels = static_cast<int>(image.levels.size());
    return texture;
}

namespace d3d {

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                          IDirect3DTexture9** texture) {
    if (device == nullptr || data == nullptr || texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = nullptr;
    std::string error;
    RefPtr<GlTexture> made = GlTexture::fromDds(device, static_cast<const std::uint8_t*>(data), size, error);
    if (!made) {
        return D3DXERR_INVALIDDATA;
    }
    *texture = made.detach();
    return D3D_OK;
}

} // namespace d3d
