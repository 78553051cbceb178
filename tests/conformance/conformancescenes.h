#pragma once

#include "engine/camera.h"

#include <memory>
#include <string>
#include <vector>

class Engine;
class FileManager;
class Model;

// The scenes both renderers draw for the conformance check: a model of the Windows tests' data
// folder, the meshes shown and the mouse motions that move the camera from where it starts.
class ConformanceScenes {
public:
    // A camera motion as the mouse makes it.
    struct Motion {
        enum class Kind { Orbit, Pan, Zoom };
        Kind kind;
        int a;
        int b; // unused by Zoom
    };

    struct Scene {
        std::string name;
        std::string model;       // path in the data folder
        std::vector<int> meshes; // shown; empty means all
        std::vector<Motion> motions;
    };

    // Picture size of every scene.
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 240;

    // Every scene.
    static const std::vector<Scene>& all();

    // Loads the scene's model through files (kept in models), adds its meshes to engine and sets
    // the camera. std::runtime_error when the model is missing.
    static void stage(const Scene& scene, Engine& engine, FileManager& files,
                      std::vector<std::unique_ptr<Model>>& models);
};
