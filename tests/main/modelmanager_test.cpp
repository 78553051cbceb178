#include "main/filenotfoundexception.h"
#include "main/modelmanager.h"
#include "model/model.h"
#include "support/tempdir.h"
#include "writers/alowriter.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string oneMesh(const std::string& name) {
    AloMesh mesh;
    mesh.name = name;
    AloWriter w;
    w.addMesh(mesh);
    return w.build();
}

} // namespace

TEST(ModelManager, LoadsEachPathOnceAndTriesAFileThatIsNoModelAgainUnderTheModelsFolder) {
    TempDir dir;
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path()); // as the program runs in the game's folder
    ModelManager models("Data\\Art\\Models\\");
    const std::string path = dir.write("Ships/Frigate.alo", oneMesh("Hull"));
    Model* first = models.load(path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getMesh(0).getName(), "Hull");
    fs::remove(path);
    EXPECT_EQ(models.load(dir.path() + "/SHIPS/frigate.ALO"), first);

    // Kept under the name as asked, not the folder-prefixed one.
    dir.write("fighter.alo", "\x01\x02\x03");
    dir.write("Data/Art/Models/FIGHTER.ALO", oneMesh("Wing"));
    Model* fighter = models.load("fighter.alo");
    ASSERT_NE(fighter, nullptr);
    EXPECT_EQ(fighter->getMesh(0).getName(), "Wing");
    fs::remove(dir.path() + "/Data/Art/Models/FIGHTER.ALO");
    EXPECT_EQ(models.load("Fighter.alo"), fighter);

    // A missing file raises at once; one missing under the models folder raises too; none is kept.
    dir.write("Data/Art/Models/GONE.ALO", oneMesh("decoy"));
    EXPECT_THROW(models.load("gone.alo"), FileNotFoundException);
    EXPECT_THROW(models.load(dir.write("elsewhere/broken.alo", "\x03")), FileNotFoundException);
    dir.write("bad.alo", "\x01");
    dir.write("Data/Art/Models/BAD.ALO", "\x02");
    EXPECT_EQ(models.load("bad.alo"), nullptr);
    dir.write("bad.alo", oneMesh("Fixed"));
    EXPECT_NE(models.load("bad.alo"), nullptr);
    fs::current_path(previous);
}
