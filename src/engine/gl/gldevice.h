#pragma once

#include "engine/d3d/d3d9.h"
#include "engine/gl/fixedfunctionstate.h"
#include "engine/gl/glcounted.h"
#include "engine/gl/glslstage.h"
#include "engine/gl/glsurface.h"
#include "main/refptr.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

class GlShader;
class GlTexture;
class GlVertexDeclaration;
template <class Interface>
class GlBuffer;

// The Direct3D 9 device of the native renderer, over OpenGL on a GlSurface. It keeps Direct3D's
// conventions so that frames agree with the real stack: clip-space depth from 0 to 1, pixel
// centres half a pixel off OpenGL's, culling by Direct3D's winding on screen, texture rows from
// the top. It draws with the vertex and pixel shaders set, or, for a stage without one, with the
// fixed-function pipeline built from the render, texture stage, transform, light and material
// states. Lost-device codes are never reported. Besides the interface's operations it offers the
// rest of Direct3D 9's state setting, under Direct3D's names, to the effects that run on it.
class GlDevice : public GlCounted<d3d::IDirect3DDevice9> {
public:
    // The render states that reach OpenGL's own state, with Direct3D's defaults.
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
    static constexpr unsigned kVertexFloatRegisters = 256;
    static constexpr unsigned kPixelFloatRegisters = 224;
    static constexpr unsigned kIntRegisters = 16;
    static constexpr unsigned kBoolRegisters = 16;

    // Everything an effect's Begin saves and its End puts back.
    struct State {
        RenderStates render;
        FixedFunctionState fixed;
        std::array<SamplerStates, kSamplers> samplers{};
        std::array<GlTexture*, kSamplers> textures{};
        GlShader* vertexShader = nullptr;
        GlShader* pixelShader = nullptr;
    };

    // A device drawing on surface, whose context must be current.
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

    // Direct3D 9's texture stage, sampler, transform, light and material states.
    void SetTextureStageState(d3d::DWORD stage, d3d::DWORD type, d3d::DWORD value);
    void SetSamplerState(d3d::DWORD sampler, d3d::DWORD type, d3d::DWORD value);
    void SetTexture(d3d::DWORD stage, GlTexture* texture);
    void SetTransform(d3d::DWORD type, const d3d::D3DXMATRIX& matrix);
    void SetLight(d3d::DWORD index, const d3d::D3DLIGHT9& light);
    void LightEnable(d3d::DWORD index, bool enable);
    void SetMaterial(const d3d::D3DMATERIAL9& material);
    // The shaders drawn with; none for the fixed-function pipeline. Bindings hold no reference.
    void SetVertexShader(GlShader* shader);
    void SetPixelShader(GlShader* shader);
    // Shader constant registers (floats four a register, ints four, bools one); registers past
    // Direct3D's counts are dropped.
    void SetVertexShaderConstantF(d3d::UINT start, const float* values, d3d::UINT registers);
    void SetVertexShaderConstantI(d3d::UINT start, const std::int32_t* values, d3d::UINT registers);
    void SetVertexShaderConstantB(d3d::UINT start, const std::int32_t* values, d3d::UINT registers);
    void SetPixelShaderConstantF(d3d::UINT start, const float* values, d3d::UINT registers);
    void SetPixelShaderConstantI(d3d::UINT start, const std::int32_t* values, d3d::UINT registers);
    void SetPixelShaderConstantB(d3d::UINT start, const std::int32_t* values, d3d::UINT registers);

    // The surface drawn on; its context is made current by every call that touches OpenGL.
    GlSurface& surface() const { return m_surface; }
    // Makes the surface's context current.
    void makeCurrent() { m_surface.makeCurrent(); }
    // The whole settable state, for effects to save and restore.
    State& state() { return m_state; }
    // The render states now set.
    RenderStates& renderStates() { return m_state.render; }
    // The states of sampler unit; unit below kSamplers.
    SamplerStates& samplerStates(int unit) { return m_state.samplers[static_cast<std::size_t>(unit)]; }
    // Whether draws draw: off while an effect's pass that cannot be drawn is begun.
    void setDrawing(bool drawing) { m_drawing = drawing; }
    // The reason the last draw drew nothing, empty when it drew.
    const std::string& drawProblem() const { return m_drawProblem; }
    // Drops every binding of an object that is going.
    void forget(const void* object);
    // A number for a new program stage, and the forgetting of programs using a stage that goes.
    std::uint64_t newStageId() { return ++m_lastStageId; }
    void forgetStage(std::uint64_t id);
    // The back buffer's size.
    int backBufferWidth() const { return m_width; }
    int backBufferHeight() const { return m_height; }

protected:
    ~GlDevice() override;

private:
    struct Program {
        unsigned name = 0; // 0 when the stages do not link
        std::vector<int> vertexConstants;
        std::vector<int> pixelConstants;
        int halfPixel = -1;
        std::vector<GlslStage::Attribute> attributes;
        bool fixedVertex = false;
        bool fixedPixel = false;
        std::string problem; // why the stages do not link
    };

    struct CachedStage {
        std::uint64_t id;
        GlslStage stage;
        std::string problem; // why the state cannot be drawn without a shader
    };

    void takeSize(const d3d::D3DPRESENT_PARAMETERS& parameters);
    void applyStates();
    void applySampler(int unit);
    const Program* program();
    Program link(const GlslStage& vertex, const GlslStage& pixel);
    void setAttributes(const Program& program, d3d::INT baseVertex);
    const CachedStage& fixedStage(std::map<std::string, CachedStage>& cache, const std::string& key,
                                  bool vertex);

    GlSurface& m_surface;
    int m_width = 0;
    int m_height = 0;
    State m_state;
    std::array<unsigned, kSamplers> m_samplerObjects{};
    GlVertexDeclaration* m_declaration = nullptr;
    GlBuffer<d3d::IDirect3DVertexBuffer9>* m_vertices = nullptr;
    d3d::UINT m_streamOffset = 0;
    d3d::UINT m_stride = 0;
    GlBuffer<d3d::IDirect3DIndexBuffer9>* m_indices = nullptr;
    std::vector<float> m_vertexFloats = std::vector<float>(kVertexFloatRegisters * 4);
    std::vector<std::int32_t> m_vertexInts = std::vector<std::int32_t>(kIntRegisters * 4);
    std::vector<std::int32_t> m_vertexBools = std::vector<std::int32_t>(kBoolRegisters);
    std::vector<float> m_pixelFloats = std::vector<float>(kPixelFloatRegisters * 4);
    std::vector<std::int32_t> m_pixelInts = std::vector<std::int32_t>(kIntRegisters * 4);
    std::vector<std::int32_t> m_pixelBools = std::vector<std::int32_t>(kBoolRegisters);
    std::map<std::string, CachedStage> m_fixedVertexStages;
    std::map<std::string, CachedStage> m_fixedPixelStages;
    std::map<std::pair<std::uint64_t, std::uint64_t>, Program> m_programs;
    std::uint64_t m_lastStageId = 0;
    std::size_t m_enabledAttributes = 0;
    std::string m_drawProblem;
    bool m_drawing = true;
    bool m_inScene = false;
};
