#include "engine/engine.h"
#include "main/application.h"
#include "main/parseexception.h"
#include "main/shellface.h"
#include "support/fakegraphics.h"
#include "support/tempdir.h"
#include "writers/alowriter.h"
#include "writers/megwriter.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// A face whose answers the test sets and whose event loop runs the test's script.
class ScriptedFace : public ShellFace {
public:
    std::function<void()> script;
    std::vector<std::string> folderAnswers;
    int folderPrompts = 0;
    std::string filePath;
    std::string fileExtension;
    bool fileChosen = true;
    int pickedEntry = -1;
    std::vector<std::pair<std::size_t, std::string>> offeredEntries;
    std::vector<std::string> rows;
    std::vector<bool> selection;
    std::vector<std::string> errors;
    int mainWidth = 840;
    int mainHeight = 480;
    int invalidations = 0;
    bool shown = false;
    bool dragging = false;
    int window = 0;

    void* renderWindowHandle() override { return &window; }
    void mainClientSize(int& width, int& height) override {
        width = mainWidth;
        height = mainHeight;
    }
    void renderClientSize(int& width, int& height) override {
        width = std::max(0, mainWidth - 200);
        height = mainHeight;
    }
    void showMainWindow() override { shown = true; }
    void runEventLoop() override {
        if (script) {
            script();
        }
    }
    void clearMeshList() override { rows.clear(); }
    void addMeshListRow(const std::string& text) override { rows.push_back(text); }
    std::vector<bool> meshListSelection() override { return selection; }
    void invalidateRenderWindow(bool) override { ++invalidations; }
    void beginDrag() override { dragging = true; }
    void endDrag() override { dragging = false; }
    bool askModelFile(std::string& path, std::string& extension) override {
        path = filePath;
        extension = fileExtension;
        return fileChosen;
    }
    int pickArchiveEntry(const std::vector<std::pair<std::size_t, std::string>>& entries) override {
        offeredEntries = entries;
        return pickedEntry;
    }
    bool askDataFolder(std::string& folder) override {
        ++folderPrompts;
        if (folderAnswers.empty()) {
            return false;
        }
        folder = folderAnswers.front();
        folderAnswers.erase(folderAnswers.begin());
        return true;
    }
    void showError(const std::string& text) override { errors.push_back(text); }
    void showMessage(const std::string&) override {}
    void showAbout(const std::string&) override {}
};

std::string shipModel() {
    AloWriter w;
    for (const char* name : {"Hull", "", "Engine"}) {
        AloMesh mesh;
        mesh.name = name;
        mesh.vertices = {{}, {1, 0, 0}, {0, 1, 0}};
        mesh.indices = {0, 1, 2};
        mesh.effect = "Plain.fx";
        w.addMesh(mesh);
    }
    return w.build();
}

// A data folder with one effect the fake accepts and an archive of models.
struct DataFolder {
    TempDir dir;
    DataFolder() {
        dir.write("Data/MegaFiles.xml", "<Mega_Files/>");
        dir.write("Data/Art/Shaders/PLAIN.FXO", "pass\n");
    }
    std::string folder() const { return dir.path(); }
};

std::function<std::string()> nothing() {
    return [] { return std::string(); };
}

} // namespace

TEST(Application, StartsOnTheGivenFolderAndEndsQuietlyWhenThePromptIsCancelled) {
    FakeGraphics fake;
    DataFolder data;
    ScriptedFace face;
    Application app(face);
    bool ran = false;
    face.script = [&] { ran = app.getEngine() != nullptr; };
    EXPECT_EQ(app.run({"kestrin.exe", data.folder()}, nothing(), nothing()), 0);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(face.shown);
    EXPECT_EQ(face.folderPrompts, 0);
    EXPECT_EQ(app.getEngine(), nullptr);
    EXPECT_EQ(fake.liveObjects(), 0);

    // A wrong folder brings the prompt; Cancel ends without building anything more.
    ScriptedFace cancelled;
    Application quiet(cancelled);
    fake.clearCalls();
    EXPECT_EQ(quiet.run({"kestrin.exe", data.folder() + "/missing"}, nothing(), nothing()), 0);
    EXPECT_EQ(cancelled.folderPrompts, 1);
    EXPECT_FALSE(cancelled.shown);
    EXPECT_TRUE(fake.calls().empty());
}

TEST(Application, PromptsUntilAFolderHoldsTheArchiveList) {
    FakeGraphics fake;
    DataFolder data;
    ScriptedFace face;
    face.folderAnswers = {data.folder() + "/still-missing", data.folder()};
    Application app(face);
    int registryAsked = 0;
    EXPECT_EQ(app.run(
                  {"kestrin.exe"},
                  [&] {
                      ++registryAsked;
                      return std::string();
                  },
                  [] { return std::string("/no/program/files"); }),
              0);
    EXPECT_EQ(registryAsked, 1);
    EXPECT_EQ(face.folderPrompts, 2);
    EXPECT_TRUE(face.shown);
}

TEST(Application, ABrokenArchiveListIsReportedNotPromptedFor) {
    FakeGraphics fake;
    DataFolder data;
    data.dir.write("Data/MegaFiles.xml", "<Mega_Files>");
    ScriptedFace face;
    Application app(face);
    EXPECT_THROW(app.run({"kestrin.exe", data.folder()}, nothing(), nothing()), ParseException);
    EXPECT_EQ(face.folderPrompts, 0);
}

TEST(Application, OpensLooseModelsAndListsTheirMeshes) {
    FakeGraphics fake;
    DataFolder data;
    ScriptedFace face;
    Application app(face);
    face.filePath = data.dir.write("ship.alo", shipModel());
    face.fileExtension = "alo";
    face.script = [&] {
        app.openModel();
        EXPECT_EQ(face.rows, (std::vector<std::string>{"Hull", "<unnamed>", "Engine"}));
        // Nothing is drawn until rows are selected; then only the selected ones.
        fake.clearCalls();
        app.paint();
        EXPECT_TRUE(fake.callsStartingWith("DrawIndexedPrimitive").empty());
        face.selection = {true, false, true};
        app.selectionChanged();
        fake.clearCalls();
        app.paint();
        EXPECT_EQ(fake.callsStartingWith("DrawIndexedPrimitive").size(), 2u);

        // A file that is no model, or that is gone, is reported and the model stays.
        face.filePath = data.dir.write("broken.alo", "\x01\x02");
        app.openModel();
        face.filePath = data.dir.path() + "/gone.alo";
        app.openModel();
        EXPECT_EQ(face.errors,
                  (std::vector<std::string>{Application::kCannotOpenModel, Application::kCannotOpenModel}));
        EXPECT_EQ(face.rows.size(), 3u);
        face.fileChosen = false;
        app.openModel();
        EXPECT_EQ(face.errors.size(), 2u);
    };
    app.run({"kestrin.exe", data.folder()}, nothing(), nothing());
    EXPECT_EQ(fake.liveObjects(), 0);
    EXPECT_TRUE(fake.errors().empty());
}

TEST(Application, OpensArchiveEntriesPickedFromTheModelsInIt) {
    FakeGraphics fake;
    DataFolder data;
    MegWriter meg;
    meg.add("DATA\\ART\\MODELS\\SHIP.ALO", shipModel());
    meg.add("DATA\\ART\\MODELS\\Mixed.AlO", shipModel());
    meg.add("DATA\\ART\\MODELS\\BROKEN.ALO", "\x01");
    meg.add("DATA\\ART\\TEXTURES\\HULL.DDS", "DDS ");
    meg.add("DATA\\NOEXTENSION", "");
    meg.add("DATA\\DOT.", "");
    ScriptedFace face;
    Application app(face);
    face.filePath = data.dir.write("models.MeG", meg.build());
    face.fileExtension = "MeG";
    face.script = [&] {
        face.pickedEntry = -1;
        app.openModel();
        std::vector<std::string> offered;
        for (const auto& entry : face.offeredEntries) {
            offered.push_back(entry.second);
        }
        std::sort(offered.begin(), offered.end());
        EXPECT_EQ(offered,
                  (std::vector<std::string>{"DATA\\ART\\MODELS\\BROKEN.ALO", "DATA\\ART\\MODELS\\Mixed.AlO",
                                            "DATA\\ART\\MODELS\\SHIP.ALO"}));
        EXPECT_TRUE(face.rows.empty());
        for (const auto& entry : face.offeredEntries) {
            if (entry.second == "DATA\\ART\\MODELS\\SHIP.ALO") {
                face.pickedEntry = static_cast<int>(entry.first);
            }
        }
        app.openModel();
        EXPECT_EQ(face.rows.size(), 3u);
        Model* first = app.getModel();
        for (const auto& entry : face.offeredEntries) {
            if (entry.second == "DATA\\ART\\MODELS\\BROKEN.ALO") {
                face.pickedEntry = static_cast<int>(entry.first);
            }
        }
        app.openModel();
        EXPECT_EQ(face.errors, std::vector<std::string>{Application::kCannotOpenModel});
        EXPECT_EQ(app.getModel(), first);

        // An archive that cannot be read is reported with its own error, and the viewer goes on.
        face.filePath = data.dir.write("cut.meg", "\x05\x00");
        app.openModel();
        ASSERT_EQ(face.errors.size(), 2u);
        EXPECT_EQ(face.errors[1], "Bad or corrupted file:\n" + face.filePath);
    };
    app.run({"kestrin.exe", data.folder()}, nothing(), nothing());
    EXPECT_EQ(fake.liveObjects(), 0);
}

TEST(Application, DragsMoveTheCameraFromWhereThePressLeftIt) {
    FakeGraphics fake;
    DataFolder data;
    ScriptedFace face;
    Application app(face);
    face.script = [&] {
        Engine& engine = *app.getEngine();
        const Camera start = engine.getCamera();
        app.buttonDown(true, 100, 100);
        EXPECT_TRUE(face.dragging);
        app.pointerMoved(150, 60);
        EXPECT_NE(engine.getCamera().target, start.target);
        app.wheelTurned(120); // ignored while dragging
        app.pointerMoved(100, 100);
        EXPECT_EQ(engine.getCamera().eye, start.eye);
        // The other button switches to orbiting from the camera as it is now.
        app.pointerMoved(120, 100);
        const Camera panned = engine.getCamera();
        app.buttonDown(false, 10, 10);
        app.pointerMoved(10, 10);
        EXPECT_EQ(engine.getCamera().eye, panned.eye);
        app.buttonUp();
        EXPECT_FALSE(face.dragging);
        app.pointerMoved(400, 400);
        EXPECT_EQ(engine.getCamera().eye, panned.eye);
        app.wheelTurned(120);
        EXPECT_NE(engine.getCamera().eye, panned.eye);
    };
    app.run({"kestrin.exe", data.folder()}, nothing(), nothing());
}

TEST(Application, ResizesResetTheDeviceButWaitWhileTheAreaIsEmpty) {
    FakeGraphics fake;
    DataFolder data;
    ScriptedFace face;
    Application app(face);
    face.script = [&] {
        fake.clearCalls();
        face.mainWidth = 150; // narrower than the list: nothing left to draw in
        app.resized();
        face.mainWidth = 0;
        face.mainHeight = 0;
        app.resized();
        EXPECT_TRUE(fake.callsStartingWith("Reset").empty());
        face.mainWidth = 1000;
        face.mainHeight = 700;
        app.resized();
        EXPECT_EQ(fake.callsStartingWith("Reset").size(), 1u);
        // A device that can be reset is reset and drawn again in the same paint.
        fake.clearCalls();
        fake.setCooperativeLevel(d3d::D3DERR_DEVICENOTRESET);
        app.paint();
        EXPECT_EQ(fake.callsStartingWith("Reset").size(), 1u);
        EXPECT_EQ(fake.callsStartingWith("TestCooperativeLevel").size(), 2u);
    };
    app.run({"kestrin.exe", data.folder()}, nothing(), nothing());
}
