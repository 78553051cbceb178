#pragma once

#include "model/material.h"

#include <cstdint>
#include <string>
#include <vector>

// One drawable part of a model: a name, 144-byte vertices and 16-bit triangle indices kept as
// the file stores them, and at most one material. The counts are as declared by the file (all
// ones until read); the arrays hold at least that much once a geometry chunk has been accepted.
class Mesh {
public:
    static constexpr std::uint32_t kUnread = 0xFFFFFFFFu;

    Mesh();
    virtual ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // The vertex bytes, or none when the mesh has no vertex chunk.
    virtual const unsigned char* getVertices() const;
    // The index bytes, or none when the mesh has no index chunk.
    virtual const unsigned char* getIndices() const;
    // The vertex count as declared.
    virtual std::uint32_t getVertexCount() const;
    // The triangle count as declared.
    virtual std::uint32_t getTriangleCount() const;
    // The material, or none when the mesh has no material chunk.
    virtual const Material* getMaterial() const;
    // The vertex format name.
    virtual const std::string& getVertexFormat() const;

    // The name as stored, case kept; empty when the file gives none.
    const std::string& getName() const { return m_name; }
    // Bytes held in the vertex and index arrays.
    std::size_t getVertexBytes() const { return m_vertices.size(); }
    std::size_t getIndexBytes() const { return m_indices.size(); }

private:
    friend class MeshReader;

    std::string m_name;
    std::string m_vertexFormat;
    Material m_material;
    bool m_hasMaterial = false;
    std::uint32_t m_triangleCount = kUnread;
    std::uint32_t m_vertexCount = kUnread;
    std::vector<unsigned char> m_vertices;
    std::vector<unsigned char> m_indices;
    bool m_hasVertices = false;
    bool m_hasIndices = false;
};
