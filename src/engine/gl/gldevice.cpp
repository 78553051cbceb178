#include "engine/gl/gldevice.h"

#include "engine/gl/glbuffer.h"
#include "engine/gl/gltexture.h"
#include "engine/gl/glvertexdeclaration.h"
#include "engine/gl/opengl.h"

#include <mojoshader.h>

#include <cstring>
#include <stdexcept>
#include <string>

using namespace d3d;

namespace {

// Render state numbers of Direct3D 9 that effect passes and the renderer set.
enum : DWORD {
    kZEnable = 7,
    kFillMode = 8,
    kZWriteEnable = 14,
    kAlphaTestEnable = 15,
    kSrcBlend = 19,
    kDestBlend = 20,
    kCullMode = 22,
    kZFunc = 23,
    kAlphaRef = 24,
    kAlphaFunc = 25,
    kAlphaBlendEnable = 27,
    kLighting = 137,
    kColorWriteEnable = 168,
    kBlendOp = 171,
};

GLenum blendFactor(DWORD blend) {
    switch (blend) {
    case 1:
        return GL_ZERO;
    case 2:
        return GL_ONE;
    case 3:
        return GL_SRC_COLOR;
    case 4:
        return GL_ONE_MINUS_SRC_COLOR;
    case 5:
        return GL_SRC_ALPHA;
    case 6:
        return GL_ONE_MINUS_SRC_ALPHA;
    case 7:
        return GL_DST_ALPHA;
    case 8:
        return GL_ONE_MINUS_DST_ALPHA;
    case 9:
        return GL_DST_COLOR;
    case 10:
        return GL_ONE_MINUS_DST_COLOR;
    case 11:
        return GL_SRC_ALPHA_SATURATE;
    default:
        return GL_ONE;
    }
}

GLenum blendEquation(DWORD op) {
    switch (op) {
    case 2:
        return GL_FUNC_SUBTRACT;
    case 3:
        return GL_FUNC_REVERSE_SUBTRACT;
    case 4:
        return GL_MIN;
    case 5:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

GLenum compareFunction(DWORD function) {
    switch (function) {
    case 1:
        return GL_NEVER;
    case 2:
        return GL_LESS;
    case 3:
        return GL_EQUAL;
    case 4:
        return GL_LEQUAL;
    case 5:
        return GL_GREATER;
    case 6:
        return GL_NOTEQUAL;
    case 7:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

GLint addressMode(DWORD address) {
    switch (address) {
    case 2:
        return GL_MIRRORED_REPEAT;
    case 3:
        return GL_CLAMP_TO_EDGE;
    case 4:
        return GL_CLAMP_TO_BORDER;
    case 5:
        return GL_MIRROR_CLAMP_TO_EDGE;
    default:
        return GL_REPEAT;
    }
}

// Direct3D's filters: 0 none, 1 point, 2 linear, 3 anisotropic (taken as linear).
GLint minification(DWORD min, DWORD mip, bool hasMips) {
    const bool linear = min >= 2;
    if (mip == 0 || !hasMips) {
        return linear ? GL_LINEAR : GL_NEAREST;
    }
    if (mip == 1) {
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    }
    return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

// Direct3D 9 samples a pixel at its corner where OpenGL samples at its centre. Every vertex
// shader the translator hands to OpenGL gets a last step that moves the position by half a pixel
// right and down (the offset a uniform set for each draw), so that the same pixels are covered.
// The translator takes OpenGL's functions from lookup(), which hands it this wrapper of
// glShaderSource.
constexpr const char kOffsetUniform[] = "kestrinHalfPixel";
// The step falls short of half a pixel by 1/256 of one (the finest step rasterizers snap to): an
// edge through pixel centres then lies just before them rather than on them, so that the pixels on
// a left or top edge are drawn and those on a right or bottom edge are not, as Direct3D's fill
// rule has it. Exactly on the centres, OpenGL's own tie rule would decide, and it leaves out the
// top edge's row and draws the bottom edge's.
constexpr float kHalfPixelShort = 1.0f / 256.0f;
PFNGLSHADERSOURCEPROC realShaderSource = nullptr;

void APIENTRY shaderSourceWithOffset(GLuint shader, GLsizei count, const GLchar* const* strings,
                                     const GLint* lengths) {
    std::string source;
    for (GLsizei i = 0; i < count; ++i) {
        if (lengths != nullptr && lengths[i] >= 0) {
            source.append(strings[i], static_cast<std::size_t>(lengths[i]));
        } else {
            source.append(strings[i]);
        }
    }
    const std::string entry = "void main()";
    const std::size_t main = source.find(entry);
    if (source.find("gl_Position") != std::string::npos && main != std::string::npos) {
        source.replace(main, entry.size(), "void translatedMain()");
        source += std::string("\nuniform vec2 ") + kOffsetUniform +
                  ";\nvoid main()\n{\n\ttranslatedMain();\n\tgl_Position.xy += " + kOffsetUniform +
                  " * gl_Position.w;\n}\n";
    }
    const GLchar* text = source.c_str();
    realShaderSource(shader, 1, &text, nullptr);
}

void* MOJOSHADERCALL lookup(const char* name, void* data) {
    void* found = static_cast<GlSurface*>(data)->procAddress(name);
    if (found != nullptr && std::strcmp(name, "glShaderSource") == 0) {
        realShaderSource = reinterpret_cast<PFNGLSHADERSOURCEPROC>(found);
        return reinterpret_cast<void*>(&shaderSourceWithOffset);
    }
    return found;
}

// Size in floats of a vertex element type, 0 for types not read.
int floatCount(std::uint8_t type) {
    switch (type) {
    case 0:
        return 1; // FLOAT1
    case 1:
        return 2; // FLOAT2
    case 2:
        return 3; // FLOAT3
    case 3:
        return 4; // FLOAT4
    default:
        return 0;
    }
}

} // namespace

GlDevice::GlDevice(GlSurface& surface, const D3DPRESENT_PARAMETERS& parameters) : m_surface(surface) {
    m_surface.makeCurrent();
    // GLSL, whose source the half-pixel step is added to (the translator would rather hand
    // SPIR-V to a driver that takes it).
    const char* available[16] = {};
    const int count =
        MOJOSHADER_glAvailableProfiles(lookup, &m_surface, available, 16, nullptr, nullptr, nullptr);
    for (const char* wanted : {MOJOSHADER_PROFILE_GLSL120, MOJOSHADER_PROFILE_GLSL}) {
        for (int i = 0; i < count && i < 16 && m_shaderContext == nullptr; ++i) {
            if (std::strcmp(available[i], wanted) == 0) {
                m_shaderContext =
                    MOJOSHADER_glCreateContext(wanted, lookup, &m_surface, nullptr, nullptr, nullptr);
            }
        }
    }
    if (m_shaderContext == nullptr) {
        throw std::runtime_error(std::string("the shader translator cannot run on this OpenGL: ") +
                                 MOJOSHADER_glGetError());
    }
    MOJOSHADER_glMakeContextCurrent(m_shaderContext);
    glGenSamplers(kSamplers, m_samplerObjects.data());
    takeSize(parameters);
}

GlDevice::~GlDevice() {
    makeCurrent();
    glDeleteSamplers(kSamplers, m_samplerObjects.data());
    MOJOSHADER_glBindProgram(nullptr);
    MOJOSHADER_glDestroyContext(m_shaderContext);
}

void GlDevice::makeCurrent() {
    m_surface.makeCurrent();
    MOJOSHADER_glMakeContextCurrent(m_shaderContext);
}

void GlDevice::takeSize(const D3DPRESENT_PARAMETERS& parameters) {
    m_width =
        parameters.BackBufferWidth != 0 ? static_cast<int>(parameters.BackBufferWidth) : m_surface.width();
    m_height =
        parameters.BackBufferHeight != 0 ? static_cast<int>(parameters.BackBufferHeight) : m_surface.height();
}

HRESULT GlDevice::Reset(D3DPRESENT_PARAMETERS* parameters) {
    if (parameters == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    takeSize(*parameters);
    m_states = RenderStates{};
    m_samplers = {};
    m_textures = {};
    return D3D_OK;
}

HRESULT GlDevice::Present(const RECT*, const RECT*, HWND, const RGNDATA*) {
    makeCurrent();
    glFlush();
    m_surface.present();
    return D3D_OK;
}

HRESULT GlDevice::CreateVertexBuffer(UINT length, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9** buffer,
                                     HANDLE*) {
    if (buffer == nullptr || length == 0) {
        return D3DERR_INVALIDCALL;
    }
    makeCurrent();
    *buffer = new GlBuffer<IDirect3DVertexBuffer9>(this, length);
    return D3D_OK;
}

HRESULT GlDevice::CreateIndexBuffer(UINT length, DWORD, D3DFORMAT format, D3DPOOL,
                                    IDirect3DIndexBuffer9** buffer, HANDLE*) {
    if (buffer == nullptr || length == 0 || format != D3DFMT_INDEX16) {
        return D3DERR_INVALIDCALL;
    }
    makeCurrent();
    *buffer = new GlBuffer<IDirect3DIndexBuffer9>(this, length);
    return D3D_OK;
}

HRESULT GlDevice::BeginScene() {
    if (m_inScene) {
        return D3DERR_INVALIDCALL;
    }
    m_inScene = true;
    return D3D_OK;
}

HRESULT GlDevice::EndScene() {
    if (!m_inScene) {
        return D3DERR_INVALIDCALL;
    }
    m_inScene = false;
    return D3D_OK;
}

HRESULT GlDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) {
    if (count != 0 || rects != nullptr) {
        return D3DERR_INVALIDCALL; // only whole-target clears are offered
    }
    makeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, m_surface.framebuffer());
    glDisable(GL_SCISSOR_TEST);
    GLbitfield mask = 0;
    if ((flags & D3DCLEAR_TARGET) != 0) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(
            static_cast<float>(color >> 16 & 0xFF) / 255.0f, static_cast<float>(color >> 8 & 0xFF) / 255.0f,
            static_cast<float>(color & 0xFF) / 255.0f, static_cast<float>(color >> 24 & 0xFF) / 255.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_ZBUFFER) != 0) {
        glDepthMask(GL_TRUE);
        glClearDepth(z);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_STENCIL) != 0) {
        glStencilMask(0xFF);
        glClearStencil(static_cast<GLint>(stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    glClear(mask);
    return D3D_OK;
}

HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    switch (static_cast<DWORD>(state)) {
    case kZEnable:
        m_states.zEnable = value;
        break;
    case kFillMode:
        m_states.fillMode = value;
        break;
    case kZWriteEnable:
        m_states.zWriteEnable = value;
        break;
    case kAlphaTestEnable:
        m_states.alphaTestEnable = value;
        break;
    case kSrcBlend:
        m_states.srcBlend = value;
        break;
    case kDestBlend:
        m_states.destBlend = value;
        break;
    case kCullMode:
        m_states.cullMode = value;
        break;
    case kZFunc:
        m_states.zFunc = value;
        break;
    case kAlphaRef:
        m_states.alphaRef = value;
        break;
    case kAlphaFunc:
        m_states.alphaFunc = value;
        break;
    case kAlphaBlendEnable:
        m_states.alphaBlendEnable = value;
        break;
    case kColorWriteEnable:
        m_states.colorWriteEnable = value;
        break;
    case kBlendOp:
        m_states.blendOp = value;
        break;
    case kLighting:
        break; // the fixed-function pipeline is not offered
    default:
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

void GlDevice::setTexture(int unit, GlTexture* texture) {
    if (unit >= 0 && unit < kSamplers) {
        m_textures[static_cast<std::size_t>(unit)] = texture;
    }
}

void GlDevice::forget(const void* object) {
    for (GlTexture*& texture : m_textures) {
        if (texture == object) {
            texture = nullptr;
        }
    }
    if (m_declaration == object) {
        m_declaration = nullptr;
    }
    if (m_vertices == object) {
        m_vertices = nullptr;
    }
    if (m_indices == object) {
        m_indices = nullptr;
    }
}

void GlDevice::applyStates() {
    glBindFramebuffer(GL_FRAMEBUFFER, m_surface.framebuffer());
    // Direct3D's depth range: clip-space z from 0 to 1.
    glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glViewport(0, 0, m_width, m_height);
    glDepthRange(0.0, 1.0);

    if (m_states.zEnable != 0) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(compareFunction(m_states.zFunc));
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(m_states.zWriteEnable != 0 ? GL_TRUE : GL_FALSE);

    // Both read winding as it appears on screen: D3DCULL_CCW culls the counter-clockwise ones.
    if (m_states.cullMode == 2 || m_states.cullMode == 3) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(m_states.cullMode == 3 ? GL_CW : GL_CCW);
    } else {
        glDisable(GL_CULL_FACE);
    }
    glPolygonMode(GL_FRONT_AND_BACK, m_states.fillMode == 1   ? GL_POINT
                                     : m_states.fillMode == 2 ? GL_LINE
                                                              : GL_FILL);

    if (m_states.alphaBlendEnable != 0) {
        glEnable(GL_BLEND);
        glBlendFunc(blendFactor(m_states.srcBlend), blendFactor(m_states.destBlend));
        glBlendEquation(blendEquation(m_states.blendOp));
    } else {
        glDisable(GL_BLEND);
    }
    if (m_states.alphaTestEnable != 0) {
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(compareFunction(m_states.alphaFunc),
                    static_cast<float>(m_states.alphaRef & 0xFF) / 255.0f);
    } else {
        glDisable(GL_ALPHA_TEST);
    }
    const DWORD c = m_states.colorWriteEnable;
    glColorMask((c & 1) != 0, (c & 2) != 0, (c & 4) != 0, (c & 8) != 0);

    for (int unit = 0; unit < kSamplers; ++unit) {
        applySampler(unit);
    }
}

void GlDevice::applySampler(int unit) {
    const auto u = static_cast<std::size_t>(unit);
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    GlTexture* texture = m_textures[u];
    glBindTexture(GL_TEXTURE_2D, texture != nullptr ? texture->name() : 0);
    if (texture == nullptr) {
        glBindSampler(static_cast<GLuint>(unit), 0);
        return;
    }
    const SamplerStates& s = m_samplers[u];
    const GLuint sampler = m_samplerObjects[u];
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, addressMode(s.addressU));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, addressMode(s.addressV));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, s.magFilter >= 2 ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                        minification(s.minFilter, s.mipFilter, texture->levels() > 1));
    glBindSampler(static_cast<GLuint>(unit), sampler);
}

HRESULT GlDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT, UINT, UINT startIndex,
                                       UINT primitives) {
    if (type != D3DPT_TRIANGLELIST || m_declaration == nullptr || m_vertices == nullptr ||
        m_indices == nullptr || m_stride == 0 || baseVertex < 0) {
        return D3DERR_INVALIDCALL;
    }
    const std::uint64_t indexCount = std::uint64_t{primitives} * 3;
    const std::vector<std::uint8_t>& indices = m_indices->bytes();
    if ((std::uint64_t{startIndex} + indexCount) * 2 > indices.size()) {
        return D3DERR_INVALIDCALL;
    }
    // Every vertex drawn must lie inside the vertex buffer, whatever the index buffer holds.
    const std::uint64_t available =
        m_vertices->size() > m_streamOffset ? (m_vertices->size() - m_streamOffset) / m_stride : 0;
    for (std::uint64_t i = startIndex; i < startIndex + indexCount; ++i) {
        const std::uint64_t index = indices[2 * i] | static_cast<std::uint64_t>(indices[2 * i + 1]) << 8;
        if (static_cast<std::uint64_t>(baseVertex) + index >= available) {
            return D3DERR_INVALIDCALL;
        }
    }
    for (const D3DVERTEXELEMENT9& e : m_declaration->elements()) {
        if (std::uint64_t{e.Offset} + std::uint64_t(floatCount(e.Type)) * 4 > m_stride) {
            return D3DERR_INVALIDCALL;
        }
    }
    if (!m_shadersBound || primitives == 0) {
        return D3D_OK; // nothing to draw with
    }
    makeCurrent();
    applyStates();
    glBindBuffer(GL_ARRAY_BUFFER, m_vertices->name());
    for (const D3DVERTEXELEMENT9& e : m_declaration->elements()) {
        const int floats = floatCount(e.Type);
        if (floats == 0 || e.Stream != 0) {
            continue;
        }
        const std::uintptr_t offset =
            std::uintptr_t{m_streamOffset} + e.Offset + static_cast<std::uintptr_t>(baseVertex) * m_stride;
        MOJOSHADER_glSetVertexAttribute(static_cast<MOJOSHADER_usage>(e.Usage), e.UsageIndex,
                                        static_cast<unsigned>(floats), MOJOSHADER_ATTRIBUTE_FLOAT, 0,
                                        m_stride, reinterpret_cast<const void*>(offset));
    }
    MOJOSHADER_glProgramReady();
    setHalfPixelOffset();
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_indices->name());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT,
                   reinterpret_cast<const void*>(std::uintptr_t{startIndex} * 2));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    return D3D_OK;
}

// Looked up at each draw: OpenGL hands a deleted program's name to the next one made, so a
// location kept by name could belong to another program.
void GlDevice::setHalfPixelOffset() {
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    const GLint location = glGetUniformLocation(static_cast<GLuint>(program), kOffsetUniform);
    if (location >= 0) {
        // Clip space spans two units across the target: half a pixel is 1 / size.
        const float step = 1.0f - 2.0f * kHalfPixelShort;
        glUniform2f(location, step / static_cast<float>(m_width), -step / static_cast<float>(m_height));
    }
}

HRESULT GlDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                          IDirect3DVertexDeclaration9** declaration) {
    if (elements == nullptr || declaration == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    std::vector<D3DVERTEXELEMENT9> list;
    // A declaration has at most 64 elements before its end marker.
    for (std::size_t i = 0; elements[i].Stream != 0xFF; ++i) {
        if (i == 64) {
            return D3DERR_INVALIDCALL;
        }
        list.push_back(elements[i]);
    }
    *declaration = new GlVertexDeclaration(this, std::move(list));
    return D3D_OK;
}

HRESULT GlDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
    m_declaration = static_cast<GlVertexDeclaration*>(declaration);
    return D3D_OK;
}

HRESULT GlDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
    if (stream != 0) {
        return D3DERR_INVALIDCALL;
    }
    m_vertices = static_cast<GlBuffer<IDirect3DVertexBuffer9>*>(buffer);
    m_streamOffset = offset;
    m_stride = stride;
    return D3D_OK;
}

HRESULT GlDevice::SetIndices(IDirect3DIndexBuffer9* buffer) {
    m_indices = static_cast<GlBuffer<IDirect3DIndexBuffer9>*>(buffer);
    return D3D_OK;
}
