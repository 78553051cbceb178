#pragma once

#include "engine/camera.h"

#include <cstddef>
#include <vector>

class Model;

// Frames a model: the camera that sees the drawn meshes whole (the viewer's F key,
// kestrin-render's --fit).
class ModelFraming {
public:
    // from turned to look at the centre of the bounding sphere of the vertex positions of those of
    // meshes that have a material (each through its world matrix), from the same direction, at the distance
    // where the sphere fits the perspective of a width x height picture, but never so far that the sphere's
    // far side passes the view's far plane. from itself when no vertex is drawn.
    static Camera fit(const Model& model, const std::vector<std::size_t>& meshes, const Camera& from,
                      int width, int height);
};
