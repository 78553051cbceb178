#include "conformancescenes.h"

#include "engine/engine.h"
#include "managers/filemanager.h"
#include "model/model.h"

#include <algorithm>
#include <stdexcept>

using Kind = ConformanceScenes::Motion::Kind;

const std::vector<ConformanceScenes::Scene>& ConformanceScenes::all() {
    static const std::vector<Scene> scenes = {
        {"ship", "Data\\Art\\Models\\Demo_Ship.alo", {}, {}},
        {"ship_orbited",
         "Data\\Art\\Models\\Demo_Ship.alo",
         {},
         {{
             Kind::Orbit,
             90,
             -30,
         }}},
        {"ship_near",
         "Data\\Art\\Models\\Demo_Ship.alo",
         {0, 2, 4},
         {{Kind::Zoom, 480, 0}, {Kind::Pan, 40, 20}}},
        {"planet", "Data\\Art\\Models\\Demo_Planet.alo", {}, {{Kind::Zoom, 240, 0}}},
        {"planet_below", "Data\\Art\\Models\\Demo_Planet.alo", {}, {{Kind::Orbit, -45, 70}}},
        {"oddities", "Data\\Art\\Models\\Demo_Oddities.alo", {}, {{Kind::Orbit, 30, 10}}},
        {"one_pass", "Data\\Art\\Models\\Passes.alo", {0}, {}},
        {"two_passes", "Data\\Art\\Models\\Passes.alo", {1}, {}},
        {"passes_together", "Data\\Art\\Models\\Passes.alo", {}, {{Kind::Orbit, 20, 0}}},
        {"blending", "Data\\Art\\Models\\Blending.alo", {}, {}},
        {"blending_turned",
         "Data\\Art\\Models\\Blending.alo",
         {},
         {{Kind::Orbit, 140, -20}, {Kind::Zoom, 120, 0}}},
    };
    return scenes;
}

void ConformanceScenes::stage(const Scene& scene, Engine& engine, FileManager& files,
                              std::vector<std::unique_ptr<Model>>& models) {
    RefPtr<File> file = files.open(scene.model);
    if (!file) {
        throw std::runtime_error("no " + scene.model + " in the data folder");
    }
    models.push_back(std::make_unique<Model>(*file));
    const Model& model = *models.back();
    engine.clearMeshes();
    for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
        d3d::D3DXMATRIX world;
        model.getMeshTransform(i, &world.m[0][0]);
        const bool shown = scene.meshes.empty() || std::find(scene.meshes.begin(), scene.meshes.end(),
                                                             static_cast<int>(i)) != scene.meshes.end();
        engine.addMesh(&model.getMesh(i), world, shown);
    }
    Camera camera;
    for (const Motion& m : scene.motions) {
        switch (m.kind) {
        case Kind::Orbit:
            camera = Engine::orbit(camera, m.a, m.b);
            break;
        case Kind::Pan:
            camera = Engine::pan(camera, m.a, m.b);
            break;
        case Kind::Zoom:
            camera = Engine::zoom(camera, m.a);
            break;
        }
    }
    engine.setCamera(camera);
}
