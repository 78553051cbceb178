#pragma once

#include "engine/d3d/d3dx9effect.h"
#include "engine/gl/eglsurface.h"
#include "engine/gl/gldevice.h"
#include "main/refptr.h"
#include "writers/effectwriter.h"

#include <cstdint>
#include <string>
#include <vector>

// A device of the native renderer on an off-screen surface of its own (Mesa's software renderer,
// no display needed), and the effects and draws the tests make on it.
class GlFixture {
public:
    explicit GlFixture(int width = 16, int height = 16);

    GlDevice& gl() const { return *static_cast<GlDevice*>(device.get()); }
    // The effect or texture in bytes, made on the device; none when the device refuses them.
    RefPtr<d3d::ID3DXEffect> effect(const std::string& bytes);
    RefPtr<d3d::IDirect3DTexture9> texture(const std::string& bytes);

    // Fills vertexBuffer with vertices (x, y, z in clip space, u, v) and indexBuffer with indices,
    // and binds both with the declaration.
    void bind(const std::vector<float>& vertices, const std::vector<std::uint16_t>& indices);
    // Draws with every pass of effect the two triangles of the rectangle from (x0, y0) to (x1, y1)
    // in Direct3D's screen pixels (y down, pixel centres on whole numbers) at depth z, texture
    // coordinates from (0, 0) to (1, 1); clockwise on screen unless x1 < x0; with the technique of
    // that index.
    void drawRectangle(d3d::ID3DXEffect& effect, float x0, float y0, float x1, float y1, float z = 0.5f,
                       d3d::UINT technique = 0);
    // Clears the target to colour (0xAARRGGBB) and the depth to 1.
    void clear(d3d::D3DCOLOR colour = 0);
    // The target's pixels as 0xRRGGBB, rows from the top, and the one at (x, y).
    std::vector<std::uint32_t> frame() const;
    std::uint32_t rgb(int x, int y) const {
        return frame()[static_cast<std::size_t>(y * surface.width() + x)];
    }

    // An effect of one technique "Main" of one pass "P0".
    static std::string onePassEffect(const std::vector<EffectWriter::Parameter>& parameters,
                                     const std::vector<EffectWriter::State>& states,
                                     const EffectWriter::Shader& vs, const EffectWriter::Shader& ps);
    // An unlit effect whose one pass sets states and paints the parameter Color (a float4) where
    // the vertex position, taken as clip space, falls.
    static std::string flatEffect(const std::vector<EffectWriter::State>& states = {});
    // An unlit effect painting the texture parameter Texture, point-sampled through Sampler.
    static std::string texturedEffect();

    EglSurface surface;
    RefPtr<d3d::IDirect3D9> direct3d;
    RefPtr<d3d::IDirect3DDevice9> device;
    RefPtr<d3d::IDirect3DVertexDeclaration9> declaration;
    RefPtr<d3d::IDirect3DVertexBuffer9> vertexBuffer;
    RefPtr<d3d::IDirect3DIndexBuffer9> indexBuffer;
};
