#include "demodata/demodata.h"

#include "demodata/demomodels.h"
#include "demodata/demotextures.h"
#include "writers/demoeffects.h"
#include "writers/megwriter.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

bool writeFile(const fs::path& path, const std::string& bytes, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

const char kMegaFiles[] = "<?xml version=\"1.0\" ?>\n"
                          "<Mega_Files>\n"
                          "\t<File>Data\\Art.meg</File>\n"
                          "\t<File>Data\\Patch.meg</File>\n"
                          "</Mega_Files>\n";

} // namespace

bool writeDemoData(const std::string& folder, std::string& error) {
    const fs::path data = fs::path(folder) / "Data";
    std::error_code ec;
    fs::create_directories(data / "Art" / "Textures", ec);
    if (ec) {
        error = "cannot create " + (data / "Art" / "Textures").string() + ": " + ec.message();
        return false;
    }

    fs::create_directories(data / "Art" / "Models", ec);
    if (ec) {
        error = "cannot create " + (data / "Art" / "Models").string() + ": " + ec.message();
        return false;
    }
    MegWriter art;
    art.add("DATA\\ART\\MODELS\\DEMO_SHIP.ALO", DemoModels::ship());
    art.add("DATA\\ART\\MODELS\\DEMO_PLANET.ALO", DemoModels::sphere());
    art.add("DATA\\ART\\TEXTURES\\DEMO_HULL.DDS", DemoTextures::hull(0));
    art.add("DATA\\ART\\TEXTURES\\DEMO_HULL_NORMAL.DDS", DemoTextures::hullNormal());
    art.add("DATA\\ART\\TEXTURES\\DEMO_ENGINE.DDS", DemoTextures::engine());
    for (const auto& [name, bytes] : buildDemoEffects()) {
        art.add("DATA\\ART\\SHADERS\\" + name + ".FXO", bytes);
    }
    art.add("DATA\\ART\\TEXTURES\\README.TXT", "Stored in Art.meg.\n");
    art.add("DATA\\ART\\TEXTURES\\OVERRIDDEN.TXT", "Stored in Art.meg; a loose file wins.\n");
    art.add("DATA\\ART\\SHADERS\\README.TXT", "Stored in Art.meg; Patch.meg sorts after it.\n");

    MegWriter patch;
    patch.add("DATA\\ART\\SHADERS\\README.TXT", "Stored in Patch.meg.\n");
    patch.add("DATA\\ART\\SHADERS\\PATCH.TXT", "Only in Patch.meg.\n");
    patch.add("DATA\\ART\\MODELS\\DEMO_ODDITIES.ALO", DemoModels::oddities());
    patch.add("DATA\\ART\\TEXTURES\\DEMO_PLANET.DDS", DemoTextures::planet());

    return writeFile(data / "MegaFiles.xml", kMegaFiles, error) &&
           writeFile(data / "Art.meg", art.build(), error) &&
           writeFile(data / "Patch.meg", patch.build(), error) &&
           writeFile(data / "Art" / "Textures" / "Overridden.txt", "Loose file under Data\\Art\\Textures.\n",
                     error) &&
           writeFile(data / "Art" / "Models" / "Demo_Ship.alo", DemoModels::ship(), error) &&
           writeFile(data / "Art" / "Models" / "Demo_Oddities.alo", DemoModels::oddities(), error) &&
           // A loose texture wins over the archived one of the same name: this hull is tinted blue.
           writeFile(data / "Art" / "Textures" / "Demo_Hull.dds", DemoTextures::hull(40), error);
}
