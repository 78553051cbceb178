#include "demodata/demodata.h"
#include "main/refptr.h"
#include "main/textcase.h"
#include "managers/filemanager.h"
#include "managers/megafile.h"
#include "managers/physicalfile.h"
#include "managers/resourcefile.h"
#include "model/model.h"
#include "support/tempdir.h"
#include "writers/demoeffects.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::unique_ptr<Model> load(FileManager& files, const std::string& path) {
    RefPtr<File> file = files.open(path);
    if (!file) {
        return nullptr;
    }
    return std::make_unique<Model>(*file);
}

} // namespace

TEST(DemoData, EveryModelsEffectsAndTexturesResolveInTheDataFolder) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeDemoData(dir.path(), error)) << error;
    FileManager files(dir.folder());
    EXPECT_EQ(files.getArchiveKeys().size(), 2u);
    std::size_t meshes = 0;
    std::size_t withoutMaterial = 0;
    bool unnamed = false;
    std::set<std::string> used;
    std::set<std::string> ship;
    for (const char* name : {"Demo_Ship.alo", "Demo_Planet.alo", "Demo_Oddities.alo"}) {
        const auto model = load(files, std::string("Data\\Art\\Models\\") + name);
        ASSERT_NE(model, nullptr) << name;
        for (std::size_t i = 0; i < model->getMeshCount(); ++i) {
            const Mesh& mesh = model->getMesh(i);
            ++meshes;
            unnamed |= mesh.getName().empty();
            const Material* material = mesh.getMaterial();
            if (material == nullptr) {
                ++withoutMaterial;
                continue;
            }
            const std::string effect =
                ResourceFile::replaceLastExtension(toUpperAscii(material->effectName), ".FX", ".FXO");
            EXPECT_TRUE(files.open("Data\\Art\\Shaders\\" + effect)) << effect;
            used.insert(effect);
            if (std::string(name) == "Demo_Ship.alo") {
                ship.insert(effect);
            }
            for (const EffectParameter& p : material->parameters) {
                if (p.type == EffectParameter::kTexture) {
                    const std::string texture =
                        ResourceFile::replaceLastExtension(toUpperAscii(p.textureName), ".TGA", ".DDS");
                    EXPECT_TRUE(files.open("Data\\Art\\Textures\\" + texture)) << texture;
                }
            }
        }
    }
    EXPECT_GE(meshes, 8u);
    // The models show every demo effect, and each of the ship's meshes another one.
    std::set<std::string> demo;
    for (const auto& [name, bytes] : buildDemoEffects()) {
        demo.insert(toUpperAscii(name) + ".FXO");
    }
    EXPECT_EQ(used, demo);
    EXPECT_EQ(ship.size(), 5u);
    EXPECT_GE(withoutMaterial, 1u);
    EXPECT_TRUE(unnamed);
    // The loose hull texture overrides the archived one.
    std::string source;
    ASSERT_TRUE(files.locate("Data\\Art\\Textures\\DEMO_HULL.DDS", source));
    EXPECT_EQ(source, "");
}
