#include "engine/meshinstance.h"

#include "main/d3dexception.h"
#include "model/alochunks.h"
#include "model/mesh.h"

#include <cstring>

namespace {

constexpr d3d::UINT kIndexBytesPerTriangle = 6;

// Copies bytes into a locked buffer; the lock's own result is not relied on beyond its pointer.
template <class Buffer>
void fill(Buffer& buffer, const unsigned char* bytes, std::size_t length) {
    void* data = nullptr;
    buffer.Lock(0, 0, &data, d3d::D3DLOCK_DISCARD);
    if (data != nullptr) {
        std::memcpy(data, bytes, length);
    }
    buffer.Unlock();
}

} // namespace

MeshInstance::MeshInstance(const Mesh* mesh, d3d::IDirect3DDevice9* device, const d3d::D3DXMATRIX& world,
                           bool visible)
    : m_visible(visible), m_mesh(mesh), m_device(device), m_world(world) {}

bool MeshInstance::isDrawable() const {
    const std::uint64_t vertexBytes = std::uint64_t{m_mesh->getVertexCount()} * alo::kVertexSize;
    const std::uint64_t indexBytes = std::uint64_t{m_mesh->getTriangleCount()} * kIndexBytesPerTriangle;
    return m_mesh->getVertices() != nullptr && m_mesh->getIndices() != nullptr && vertexBytes > 0 &&
           indexBytes > 0 && vertexBytes <= m_mesh->getVertexBytes() && indexBytes <= m_mesh->getIndexBytes();
}

void MeshInstance::ensureVertexBuffer() {
    if (m_vertexBuffer) {
        return;
    }
    const d3d::UINT length = m_mesh->getVertexCount() * alo::kVertexSize;
    const d3d::HRESULT hr =
        m_device->CreateVertexBuffer(length, 0, 0, d3d::D3DPOOL_DEFAULT, m_vertexBuffer.put(), nullptr);
    if (d3d::failed(hr)) {
        m_vertexBuffer.reset();
        throw D3DException(__FILE__, __LINE__, hr);
    }
    fill(*m_vertexBuffer, m_mesh->getVertices(), length);
}

void MeshInstance::ensureIndexBuffer() {
    if (m_indexBuffer) {
        return;
    }
    const d3d::UINT length = m_mesh->getTriangleCount() * kIndexBytesPerTriangle;
    const d3d::HRESULT hr = m_device->CreateIndexBuffer(length, 0, d3d::D3DFMT_INDEX16, d3d::D3DPOOL_DEFAULT,
                                                        m_indexBuffer.put(), nullptr);
    if (d3d::failed(hr)) {
        m_indexBuffer.reset();
        m_vertexBuffer.reset();
        throw D3DException(__FILE__, __LINE__, hr);
    }
    fill(*m_indexBuffer, m_mesh->getIndices(), length);
}

void MeshInstance::releaseBuffers() {
    m_indexBuffer.reset();
    m_vertexBuffer.reset();
}
