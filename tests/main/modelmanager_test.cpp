#include "main/filenotfoundexception.h"
#include "main/modelmanager.h"
#include "model/model.h"
#include "support/tempdir.h"
#include "writers/alowriter.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

std::string oneMesh(const std::string& name) {
    AloMesh mesh;
    mesh.name = name;
    mesh.vertices = {{}, {}, {}};
    mesh.indices = {0, 1, 2};
    AloWriter w;
    w.addMesh(mesh);
    return w.build();
}

// Runs the test body inside a folder of its own, as the program runs in the game's folder.
class ModelManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_dir.path());
    }
    void TearDown() override { std::filesystem::current_path(m_previous); }

    TempDir m_dir;
    std::filesystem::path m_previous;
};

} // namespace

TEST_F(ModelManagerTest, LoadsEachPathOnceWhateverItsCase) {
    const std::string path = m_dir.write("Ships/Frigate.alo", oneMesh("Hull"));
    ModelManager models("Data\\Art\\Models\\");
    Model* first = models.load(path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getMesh(0).getName(), "Hull");
    std::filesystem::remove(path);
    EXPECT_EQ(models.load(m_dir.path() + "/SHIPS/frigate.ALO"), first);
}

TEST_F(ModelManagerTest, MissingFilesRaiseAtOnceWithoutASecondAttempt) {
    m_dir.write("Data/Art/Models/GONE.ALO", oneMesh("decoy"));
    ModelManager models("Data\\Art\\Models\\");
    try {
        models.load("gone.alo");
        ADD_FAILURE();
    } catch (const FileNotFoundException& e) {
        EXPECT_EQ(e.getMessage(), "Unable to find file:\nGONE.ALO");
    }
}

TEST_F(ModelManagerTest, AFileThatIsNoModelIsTriedAgainUnderTheModelsFolder) {
    m_dir.write("fighter.alo", std::string("\x01\x02\x03", 3));
    m_dir.write("Data/Art/Models/FIGHTER.ALO", oneMesh("Wing"));
    ModelManager models("Data\\Art\\Models\\");
    Model* model = models.load("fighter.alo");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->getMesh(0).getName(), "Wing");
    // Cached under the name as asked, not the folder-prefixed one.
    std::filesystem::remove(m_dir.path() + "/Data/Art/Models/FIGHTER.ALO");
    EXPECT_EQ(models.load("Fighter.alo"), model);
}

TEST_F(ModelManagerTest, GivesNoneWhenBothAttemptsReadBadBytesAndRaisesWhenTheSecondIsMissing) {
    m_dir.write("bad.alo", "\x01");
    m_dir.write("Data/Art/Models/BAD.ALO", "\x02");
    ModelManager models("Data\\Art\\Models\\");
    EXPECT_EQ(models.load("bad.alo"), nullptr);
    const std::string absolute = m_dir.write("elsewhere/broken.alo", "\x03");
    EXPECT_THROW(models.load(absolute), FileNotFoundException);
    // Nothing failed is cached: a repaired file loads.
    m_dir.write("bad.alo", oneMesh("Fixed"));
    ASSERT_NE(models.load("bad.alo"), nullptr);
}
