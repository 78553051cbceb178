#include "support/renderfixture.h"

#include "support/memoryfile.h"

#include <gtest/gtest.h>

RenderFixture::RenderFixture() {
    dir.write("Data/MegaFiles.xml", "<Mega_Files/>");
    files = std::make_unique<FileManager>(dir.folder());
    textures = std::make_unique<TextureManager>(files.get(), "Data\\Art\\Textures\\");
    shaders = std::make_unique<ShaderManager>(files.get(), "Data\\Art\\Shaders\\");
}

RenderFixture::~RenderFixture() {
    shown.reset();
    shaders.reset();
    textures.reset();
    m_models.clear();
    EXPECT_EQ(fake.liveObjects(), 0) << "graphics objects leaked";
    for (std::size_t i = 0; i < (allowMisuse ? 0 : fake.errors().size()); ++i) {
        ADD_FAILURE() << "graphics misuse: " << fake.errors()[i];
    }
}

const Model& RenderFixture::model(const AloWriter& writer) {
    RefPtr<MemoryFile> file = makeRef<MemoryFile>(writer.build(), "test.alo");
    m_models.push_back(std::make_unique<Model>(*file));
    return *m_models.back();
}

std::unique_ptr<Engine> RenderFixture::engine(int width, int height) {
    static int window;
    return std::make_unique<Engine>(&window, width, height, *textures, *shaders);
}

Engine& RenderFixture::show(const std::vector<AloMesh>& meshes, const d3d::D3DXMATRIX& world) {
    AloWriter w;
    for (const AloMesh& mesh : meshes) {
        w.addMesh(mesh);
    }
    const Model& shownModel = model(w);
    shown = shown ? std::move(shown) : engine();
    for (std::size_t i = 0; i < shownModel.getMeshCount(); ++i) {
        shown->addMesh(&shownModel.getMesh(i), world, true);
    }
    return *shown;
}

AloMesh triangleMesh(const std::string& name, const std::string& effect) {
    AloMesh mesh;
    mesh.name = name;
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.indices = {0, 1, 2};
    mesh.effect = effect;
    return mesh;
}
