#pragma once

#include "model/bone.h"
#include "model/mesh.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class File;

// An .ALO model read into memory: its meshes in file order, its skeleton, and the connections
// that attach meshes to bones. Built in one go and read-only afterwards.
class Model {
public:
    // Reads the whole model from file, which stands at its first byte. Raises the file errors
    // (BadFileException naming the file, IOException for truncated chunks); no model then exists.
    explicit Model(File& file);
    ~Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // Number of meshes.
    std::size_t getMeshCount() const { return m_meshes.size(); }
    // The mesh at index, which must be below getMeshCount().
    const Mesh& getMesh(std::size_t index) const { return *m_meshes[index]; }
    // The mesh's world matrix, row-major, for row vectors (p' = p x M): the transpose of the
    // product of the bone matrices from the skeleton's root down to the mesh's bone.
    void getMeshTransform(std::size_t mesh, float out[16]) const;
    // Number of bones kept.
    std::size_t getBoneCount() const { return m_bones.size(); }
    // The bone at index.
    const Bone& getBone(std::size_t index) const { return m_bones[index]; }

private:
    void readSkeleton(File& skeleton);
    void readBone(File& bone);
    void readConnections(File& connections);

    std::vector<std::unique_ptr<Mesh>> m_meshes;
    std::vector<Bone> m_bones;
    std::map<std::uint32_t, std::int32_t> m_connections;
};
