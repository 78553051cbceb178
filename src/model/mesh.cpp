#include "model/mesh.h"

Mesh::Mesh() = default;

Mesh::~Mesh() = default;

const unsigned char* Mesh::getVertices() const {
    return m_hasVertices ? m_vertices.data() : nullptr;
}

const unsigned char* Mesh::getIndices() const {
    return m_hasIndices ? m_indices.data() : nullptr;
}

std::uint32_t Mesh::getVertexCount() const {
    return m_vertexCount;
}

std::uint32_t Mesh::getTriangleCount() const {
    return m_triangleCount;
}

const Material* Mesh::getMaterial() const {
    return m_hasMaterial ? &m_material : nullptr;
}

const std::string& Mesh::getVertexFormat() const {
    return m_vertexFormat;
}
