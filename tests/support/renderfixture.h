#pragma once

#include "engine/engine.h"
#include "managers/filemanager.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "model/model.h"
#include "support/fakegraphics.h"
#include "support/tempdir.h"
#include "writers/alowriter.h"

#include <memory>
#include <string>

// A data folder with loose effects and textures for the fake backend, the caches over it, and a
// way to build models in memory: what renderer tests start from.
class RenderFixture {
public:
    RenderFixture();
    // Destroys the engine and empties the caches, then fails the test if any graphics object is
    // left or the fake saw misuse.
    ~RenderFixture();

    // Writes a fake effect description as Data\Art\Shaders\NAME.
    void addEffect(const std::string& name, const std::string& description) {
        dir.write("Data/Art/Shaders/" + name, description);
    }
    // Writes a texture file the fake accepts as Data\Art\Textures\NAME.
    void addTexture(const std::string& name) { dir.write("Data/Art/Textures/" + name, "DDS " + name); }
    // A model read from the writer's bytes; kept alive by the fixture.
    const Model& model(const AloWriter& writer);
    // An Engine over a fake window of the given client size.
    std::unique_ptr<Engine> engine(int width = 800, int height = 600);
    // Adds meshes (a model of their own) to `shown`, made on first use, visible at world.
    Engine& show(const std::vector<AloMesh>& meshes, const d3d::D3DXMATRIX& world = {});

    FakeGraphics fake;
    TempDir dir;
    std::unique_ptr<FileManager> files;
    std::unique_ptr<TextureManager> textures;
    std::unique_ptr<ShaderManager> shaders;
    std::unique_ptr<Engine> shown;
    // Set by tests that provoke misuse on purpose.
    bool allowMisuse = false;

private:
    std::vector<std::unique_ptr<Model>> m_models;
};

// A mesh of one triangle with a material of the given effect.
AloMesh triangleMesh(const std::string& name, const std::string& effect);
