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
    shaders.reset();
    textures.reset();
    m_models.clear();
    EXPECT_EQ(fake.liveObjects(), 0) << "graphics objects leaked";
    if (!allowMisuse) {
        for (const std::string& error : fake.errors()) {
            ADD_FAILURE() << "graphics misuse: " << error;
        }
    }
}

void RenderFixture::addEffect(const std::string& name, const std::string& description) {
    dir.write("Data/Art/Shaders/" + name, description);
}

void RenderFixture::addTexture(const std::string& name) {
    dir.write("Data/Art/Textures/" + name, "DDS texture " + name);
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

AloMesh triangleMesh(const std::string& name, const std::string& effect) {
    AloMesh mesh;
    mesh.name = name;
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.indices = {0, 1, 2};
    mesh.effect = effect;
    return mesh;
}
