#pragma once

#include <string>

class FileManager;
class Model;

// The status line's account of a shown model: its name, how many meshes and triangles it has, and
// how many of the effects and textures its materials name the asset check finds missing in the
// data folder (as kestrin-info check reports them).
class ModelSummary {
public:
    // "NAME: N meshes, N triangles; effects missing: N of N, textures missing: N of N".
    static std::string describe(const std::string& name, const Model& model, FileManager& files);
};
