#pragma once

#include "engine/d3d/d3d9.h"
#include "engine/gl/glcounted.h"
#include "engine/gl/glsurface.h"
#include "main/refptr.h"

#include <array>

struct MOJOSHADER_glContext;
class GlTexture;
class GlVertexDeclaration;
template <class Interface>
class GlBuffer;

// The Direct3D 9 device of the native renderer, over OpenGL on a GlSurface. It keeps Direct3D's
// conventions so that frames agree with the real stack: clip-space depth from 0 to 1, pixel
// centres half a pixel off OpenGL's, culling by Direct3D's winding on screen, texture rows from
// the top. Drawing goes through the shaders that an effect's pass has bound (through MojoShader);
// the fixed-function pipeline is not offered. Lost-device codes are never reported.
class GlDevice : public GlCounted<d3d::IDirect3DDevice9> {
public:
    // The render states the renderer and effect passes set, with Direct3D's defaults.
    struct RenderStates {
        d3d::DWORD zEnable = 1;
        d3d::DWORD zWriteEnable = 1;
        d3d::DWORD cullMode = 3; // D3DCULL_CCW
        d3d::DWORD fillMode = 3; // D3DFILL_SOLID
        d3d::DWORD alphaBlendEnable = 0;
        d3d::DWORD srcBlend = 2;  // D3DBLEND_ONE
        d3d::DWORD destBlend = 1; // D3DBLEND_ZERO
        d3d::DWORD blendOp = 1;   // D3DBLENDOP_ADD
        d3d::DWORD alphaTestEnable = 0;
        d3d::DWORD alphaRef = 0;
        d3d::DWORD alphaFunc = 8; // D3DCMP_ALWAYS
        d3d::DWORD zFunc = 4;     // D3DCMP_LESSEQUAL
        d3d::DWORD colorWriteEnable = 0xF;
    };

    // A sampler's states, with Direct3D's defaults (wrap, point filtering, no mipmaps).
    struct SamplerStates {
        d3d::DWORD addressU = 1;
        d3d::DWORD addressV = 1;
        d3d::DWORD magFilter = 1;
        d3d::DWORD minFilter = 1;
        d3d::DWORD mipFilter = 0;
    };

    static constexpr int kSamplers = 16;

    // A device drawing on surface, whose context must be current; std::runtime_error when the
    // shader translator cannot start on it.
    GlDevice(GlSurface& surface, const d3d::D3DPRESENT_PARAMETERS& parameters);

    d3d::HRESULT TestCooperativeLevel() override { return d3d::D3D_OK; }
    d3d::HRESULT Reset(d3d::D3DPRESENT_PARAMETERS* parameters) override;
    d3d::HRESULT Present(const d3d::RECT* source, const d3d::RECT* dest, d3d::HWND destWindow,
                         const d3d::RGNDATA* dirty) override;
    d3d::HRESULT CreateVertexBuffer(d3d::UINT length, d3d::DWORD usage, d3d::DWORD fvf, d3d::D3DPOOL pool,
                                    d3d::IDirect3DVertexBuffer9** buffer, d3d::HANDLE* shared) override;
    d3d::HRESULT CreateIndexBuffer(d3d::UINT length, d3d::DWORD usage, d3d::D3DFORMAT format,
                                   d3d::D3DPOOL pool, d3d::IDirect3DIndexBuffer9** buffer,
                                   d3d::HANDLE* shared) override;
    d3d::HRESULT BeginScene() override;
    d3d::HRESULT EndScene() override;
    d3d::HRESULT Clear(d3d::DWORD count, const d3d::D3DRECT* rects, d3d::DWORD flags, d3d::D3DCOLOR color,
                       float z, d3d::DWORD stencil) override;
    d3d::HRESULT SetRenderState(d3d::D3DRENDERSTATETYPE state, d3d::DWORD value) override;
    d3d::HRESULT DrawIndexedPrimitive(d3d::D3DPRIMITIVETYPE type, d3d::INT baseVertex, d3d::UINT minIndex,
                                      d3d::UINT vertices, d3d::UINT startIndex,
                                      d3d::UINT primitives) override;
    d3d::HRESULT CreateVertexDeclaration(const d3d::D3DVERTEXELEMENT9* elements,
                                         d3d::IDirect3DVertexDeclaration9** declaration) override;
    d3d::HRESULT SetVertexDeclaration(d3d::IDirect3DVertexDeclaration9* declaration) override;
    d3d::HRESULT SetStreamSource(d3d::UINT stream, d3d::IDirect3DVertexBuffer9* buffer, d3d::UINT offset,
                                 d3d::UINT stride) override;
    d3d::HRESULT SetIndices(d3d::IDirect3DIndexBuffer9* buffer) override;

    // The surface drawn on; its context is made current by every call that touches OpenGL.
    GlSurface& surface() const { return m_surface; }
    // Makes the surface's context and the device's shader translator current.
    void makeCurrent();
    // The render states now set, for effects to change and to save and restore.
    RenderStates& renderStates() { return m_states; }
    // The states of sampler unit, which an effect pass sets; unit below kSamplers.
    SamplerStates& samplerStates(int unit) { return m_samplers[static_cast<std::size_t>(unit)]; }
    // The texture drawn through sampler unit, or none. Bindings hold no reference: a texture,
    // buffer or declaration being deleted tells its device through forget().
    void setTexture(int unit, GlTexture* texture);
    // Drops every binding of an object that is going.
    void forget(const void* object);
    // Whether an effect pass has bound shaders to draw with.
    void setShadersBound(bool bound) { m_shadersBound = bound; }
    // The back buffer's size.
    int backBufferWidth() const { return m_width; }
    int backBufferHeight() const { return m_height; }

protected:
    ~GlDevice() override;

private:
    void takeSize(const d3d::D3DPRESENT_PARAMETERS& parameters);
    void applyStates();
    void applySampler(int unit);
    void setHalfPixelOffset();

    GlSurface& m_surface;
    MOJOSHADER_glContext* m_shaderContext = nullptr;
    int m_width = 0;
    int m_height = 0;
    RenderStates m_states;
    std::array<SamplerStates, kSamplers> m_samplers{};
    std::array<GlTexture*, kSamplers> m_textures{};
    std::array<unsigned, kSamplers> m_samplerObjects{};
    GlVertexDeclaration* m_declaration = nullptr;
    GlBuffer<d3d::IDirect3DVertexBuffer9>* m_vertices = nullptr;
    d3d::UINT m_streamOffset = 0;
    d3d::UINT m_stride = 0;
    GlBuffer<d3d::IDirect3DIndexBuffer9>* m_indices = nullptr;
    bool m_shadersBound = false;
    bool m_inScene = false;
};
