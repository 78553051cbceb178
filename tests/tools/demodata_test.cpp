#include "demodata/demodata.h"
#include "main/textcase.h"
#include "managers/filemanager.h"
#include "managers/resourcefile.h"
#include "model/model.h"
#include "support/tempdir.h"
#include "writers/demoeffects.h"

#include <gtest/gtest.h>

#include <set>

TEST(DemoData, EveryModelsEffectsAndTexturesResolveInTheDataFolder) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeDemoData(dir.path(), error)) << error;
    FileManager files(dir.folder());
    EXPECT_EQ(files.getArchiveKeys().size(), 2u);
    std::vector<std::string> wanted;
    std::set<std::string> effects;
    std::set<std::string> ship;
    for (const char* name : {"Demo_Ship.alo", "Demo_Planet.alo", "Demo_Oddities.alo"}) {
        const Model model(*files.open(std::string("Data\\Art\\Models\\") + name));
        for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
            const Material* m = model.getMesh(i).getMaterial();
            wanted.push_back(
                m ? "Shaders\\" + ResourceFile::replaceLastExtension(m->effectName, ".fx", ".fxo") : "");
            if (m != nullptr) {
                effects.insert(toUpperAscii(m->effectName));
                if (std::string(name) == "Demo_Ship.alo") {
                    ship.insert(toUpperAscii(m->effectName));
                }
            }
            for (std::size_t p = 0; m && p < m->parameters.size(); ++p) {
                const std::string& texture = m->parameters[p].textureName;
                wanted.push_back(texture.empty() ? ""
                                                 : "Textures\\" + ResourceFile::replaceLastExtension(
                                                                      texture, ".tga", ".dds"));
            }
        }
    }
    EXPECT_GE(std::count(wanted.begin(), wanted.end(), ""),
              4); // meshes without material and numeric parameters
    for (const std::string& file : wanted) {
        EXPECT_TRUE(file.empty() || files.open("Data\\Art\\" + toUpperAscii(file))) << file;
    }
    // The models show every demo effect, each of the ship's meshes another one.
    std::set<std::string> demo;
    for (const auto& effect : buildDemoEffects()) {
        demo.insert(toUpperAscii(effect.first) + ".FX");
    }
    EXPECT_EQ(effects, demo);
    EXPECT_EQ(ship.size(), 5u);
    // The loose hull texture overrides the archived one.
    std::string source;
    ASSERT_TRUE(files.locate("Data\\Art\\Textures\\DEMO_HULL.DDS", source));
    EXPECT_EQ(source, "");
}
