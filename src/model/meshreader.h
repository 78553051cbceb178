#pragma once

#include "model/mesh.h"

#include <memory>

class File;

// Fills meshes from the chunks of a mesh container: its name, its geometry (counts, vertex
// format, vertex and index arrays, checked against each other) and its material.
class MeshReader {
public:
    // A mesh from the data of a mesh container chunk.
    static std::unique_ptr<Mesh> readMesh(File& container);
    // Counts, vertex format and arrays from the data of a geometry chunk; BadFileException when
    // the arrays hold fewer vertices or indices than the counts declare.
    static void readGeometry(Mesh& mesh, File& geometry);
    // Effect name and parameters from the data of a material chunk, appended to material.
    static void readMaterial(Material& material, File& chunk);
};
