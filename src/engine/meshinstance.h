#pragma once

#include "engine/d3d/d3d9.h"
#include "engine/d3d/d3dxmath.h"
#include "main/refptr.h"

class Mesh;

// One mesh of the shown model as the renderer draws it: the mesh (not owned), its world matrix,
// whether it is drawn, and the vertex and index buffers it creates on its first visible draw.
// Copies share the buffers, each holding its own references.
class MeshInstance {
public:
    MeshInstance(const Mesh* mesh, d3d::IDirect3DDevice9* device, const d3d::D3DXMATRIX& world, bool visible);

    // True when the mesh has geometry to upload: both arrays, and counts above 0 whose buffers fit in
    // 32 bits. Others are never drawn: asking the platform for empty buffers is asking for trouble.
    bool isDrawable() const;
    // Creates and fills the vertex buffer unless it exists; D3DException when creation fails.
    void ensureVertexBuffer();
    // Creates and fills the index buffer unless it exists; when creation fails, releases the
    // vertex buffer too and raises D3DException.
    void ensureIndexBuffer();
    // Releases the index buffer, then the vertex buffer, as a device reset requires.
    void releaseBuffers();

    bool isVisible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    const Mesh& getMesh() const { return *m_mesh; }
    const d3d::D3DXMATRIX& getWorld() const { return m_world; }
    d3d::IDirect3DVertexBuffer9* getVertexBuffer() const { return m_vertexBuffer.get(); }
    d3d::IDirect3DIndexBuffer9* getIndexBuffer() const { return m_indexBuffer.get(); }

private:
    bool m_visible;
    const Mesh* m_mesh;
    // Declared in this order so that destruction releases the index buffer first.
    RefPtr<d3d::IDirect3DVertexBuffer9> m_vertexBuffer;
    RefPtr<d3d::IDirect3DIndexBuffer9> m_indexBuffer;
    d3d::IDirect3DDevice9* m_device;
    d3d::D3DXMATRIX m_world;
};
