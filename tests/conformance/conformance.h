#pragma once

// The conformance check of the native renderer against Direct3D 9: the scenes that both renderers
// draw from the data folder that the host's kestrin-conformance writes for the Windows tests.

#include "engine/engine.h"
#include "managers/filemanager.h"
#include "model/model.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace conformance {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// A model, the meshes shown (all when none are listed), and the mouse's orbit, then zoom, then pan
// from the starting camera.
struct Scene {
    std::string name;
    std::string model;
    std::vector<int> meshes;
    int orbitX, orbitY, zoom, panX, panY;
};

inline const std::vector<Scene>& scenes() {
    const std::string at = "Data\\Art\\Models\\";
    static const std::vector<Scene> all = {
        {"ship", at + "Demo_Ship.alo", {}, 0, 0, 0, 0, 0},
        {"ship_orbited", at + "Demo_Ship.alo", {}, 90, -30, 0, 0, 0},
        {"ship_near", at + "Demo_Ship.alo", {0, 2, 4}, 0, 0, 480, 40, 20},
        {"hull_alone", at + "Demo_Ship.alo", {0}, 20, 30, 900, 160, 60},
        {"bridge_alone", at + "Demo_Ship.alo", {4}, -30, 20, 1000, 0, 100},
        {"engines_alone", at + "Demo_Ship.alo", {2, 3}, 60, 10, 900, -240, 120},
        {"planet", at + "Demo_Planet.alo", {}, 0, 0, 240, 0, 0},
        {"planet_below", at + "Demo_Planet.alo", {}, -45, 70, 0, 0, 0},
        {"oddities", at + "Demo_Oddities.alo", {}, 30, 10, 0, 0, 0},
        {"one_pass", at + "Passes.alo", {0}, 0, 0, 0, 0, 0},
        {"two_passes", at + "Passes.alo", {1}, 0, 0, 0, 0, 0},
        {"passes_together", at + "Passes.alo", {}, 20, 0, 0, 0, 0},
        {"blending", at + "Blending.alo", {}, 0, 0, 0, 0, 0},
        {"blending_turned", at + "Blending.alo", {}, 140, -20, 120, 0, 0},
    };
    return all;
}

// Replaces the engine's meshes with those of the scene's model (kept in models) and moves the
// camera. std::runtime_error when the folder has no such model.
inline void stage(const Scene& scene, Engine& engine, FileManager& files,
                  std::vector<std::unique_ptr<Model>>& models) {
    RefPtr<File> file = files.open(scene.model);
    if (!file) {
        throw std::runtime_error("no " + scene.model + " in the data folder");
    }
    models.push_back(std::make_unique<Model>(*file));
    engine.clearMeshes();
    for (std::size_t i = 0; i < models.back()->getMeshCount(); ++i) {
        d3d::D3DXMATRIX world;
        models.back()->getMeshTransform(i, &world.m[0][0]);
        const auto& shown = scene.meshes;
        engine.addMesh(&models.back()->getMesh(i), world,
                       shown.empty() ||
                           std::find(shown.begin(), shown.end(), static_cast<int>(i)) != shown.end());
    }
    const Camera turned = Engine::orbit(Camera(), scene.orbitX, scene.orbitY);
    engine.setCamera(Engine::pan(Engine::zoom(turned, scene.zoom), scene.panX, scene.panY));
}

} // namespace conformance
