#pragma once

#include "engine/gl/glcounted.h"
#include "engine/gl/gldevice.h"
#include "main/refptr.h"

#include <vector>

// A vertex layout of the native renderer: the elements up to the end marker, as given.
class GlVertexDeclaration : public GlCounted<d3d::IDirect3DVertexDeclaration9> {
public:
    GlVertexDeclaration(GlDevice* device, std::vector<d3d::D3DVERTEXELEMENT9> elements)
        : m_device(RefPtr<GlDevice>::share(device)), m_elements(std::move(elements)) {}

    // The elements, without the end marker.
    const std::vector<d3d::D3DVERTEXELEMENT9>& elements() const { return m_elements; }

protected:
    ~GlVertexDeclaration() override { m_device->forget(this); }

private:
    RefPtr<GlDevice> m_device;
    std::vector<d3d::D3DVERTEXELEMENT9> m_elements;
};
