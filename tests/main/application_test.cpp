#include "engine/engine.h"
#include "main/application.h"
#include "main/parseexception.h"
#include "main/shellface.h"
#include "support/fakegraphics.h"
#include "support/tempdir.h"
#include "writers/alowriter.h"
#include "writers/megwriter.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

// A face whose answers the test sets and whose event loop runs the test's script.
class ScriptedFace : public ShellFace {
public:
    std::function<void()> script;
    std::vector<std::string> folderAnswers, rows, errors, offered, shownNames;
    std::string filePath, pick, paints; // paints: N now, L when the loop comes to it; no file path: cancel
    std::vector<bool> selection;
    int folderPrompts = 0, width = 840, height = 480;
    bool shown = false, dragging = false;

    void* renderWindowHandle() override { return this; }
    void mainClientSize(int& w, int& h) override { w = width, h = height; }
    void renderClientSize(int& w, int& h) override { w = std::max(0, width - 200), h = height; }
    void showMainWindow() override { shown = true; }
    void runEventLoop() override {
        if (script) {
            script();
        }
    }
    void clearMeshList() override { rows.clear(); }
    void addMeshListRow(const std::string& text) override { rows.push_back(text); }
    std::vector<bool> meshListSelection() override { return selection; }
    void invalidateRenderWindow(bool now) override { paints += now ? 'N' : 'L'; }
    void beginDrag() override { dragging = true; }
    void endDrag() override { dragging = false; }
    bool askModelFile(std::string& path, std::string& extension) override {
        path = filePath, extension = filePath.substr(filePath.rfind('.') + 1);
        return !path.empty();
    }
    // Offers are kept sorted; the entry named pick is chosen.
    int pickArchiveEntry(const std::vector<std::pair<std::size_t, std::string>>& entries) override {
        int chosen = -1;
        offered.clear();
        for (const auto& [index, name] : entries) {
            offered.push_back(name);
            chosen = name == pick ? static_cast<int>(index) : chosen;
        }
        std::sort(offered.begin(), offered.end());
        return chosen;
    }
    bool askDataFolder(std::string& folder) override {
        const bool answered = folderPrompts < static_cast<int>(folderAnswers.size());
        folder = answered ? folderAnswers[static_cast<std::size_t>(folderPrompts)] : folder;
        return ++folderPrompts, answered;
    }
    void showError(const std::string& text) override { errors.push_back(text); }
    void showMessage(const std::string&) override {}
    void showAbout(const std::string&) override {}
    void modelShown(const std::string& name, const Model&, FileManager&) override {
        shownNames.push_back(name);
    }
};

// Three meshes, each a triangle from (x, 0, 0) in the ground plane.
std::string shipModel(std::vector<float> xs = {0, 0, 0}) {
    AloWriter w;
    const char* const names[] = {"Hull", "", "Engine"};
    for (std::size_t i = 0; i < 3; ++i) {
        AloMesh mesh;
        mesh.name = names[i];
        mesh.vertices = {{xs[i], 0, 0}, {xs[i] + 1, 0, 0}, {xs[i], 1, 0}};
        mesh.indices = {0, 1, 2};
        mesh.effect = "Plain.fx";
        w.addMesh(mesh);
    }
    return w.build();
}

// Runs the application on a data folder with an effect the fake accepts, the script as its event loop.
struct Session {
    FakeGraphics fake;
    TempDir dir;
    ScriptedFace face;
    Application app{face};
    Session() {
        dir.write("Data/MegaFiles.xml", "<Mega_Files/>");
        dir.write("Data/Art/Shaders/PLAIN.FXO", "pass\n");
    }
    int run(std::vector<std::string> args, const std::string& registry = "") {
        return app.run(
            args, [=] { return registry; }, [] { return std::string("/no/program/files"); });
    }
    std::size_t count(const std::string& call) const { return fake.callsStartingWith(call).size(); }
};

} // namespace

TEST(Application, StartsOnTheFirstFolderThatHoldsTheArchiveListAndPromptsOtherwise) {
    Session s;
    bool looped = false;
    s.face.script = [&] { looped = s.app.getEngine() != nullptr; };
    EXPECT_EQ(s.run({"kestrin.exe", s.dir.path()}), 0);
    EXPECT_TRUE(looped && s.face.shown);
    EXPECT_EQ(s.face.folderPrompts, 0);
    EXPECT_EQ(s.app.getEngine(), nullptr);
    EXPECT_EQ(s.fake.liveObjects(), 0);

    // Without a folder on the line the registry's is tried, then the prompt until one holds the list.
    Session prompted;
    prompted.face.folderAnswers = {prompted.dir.path() + "/still-missing", prompted.dir.path()};
    EXPECT_EQ(prompted.run({"kestrin.exe"}, prompted.dir.path() + "/missing"), 0);
    EXPECT_EQ(prompted.face.folderPrompts, 2);
    EXPECT_TRUE(prompted.face.shown);

    // Cancel ends quietly without building anything; a broken list is an error, not a prompt.
    Session cancelled;
    EXPECT_EQ(cancelled.run({"kestrin.exe", cancelled.dir.path() + "/missing"}), 0);
    EXPECT_EQ(cancelled.face.folderPrompts, 1);
    EXPECT_FALSE(cancelled.face.shown);
    EXPECT_TRUE(cancelled.fake.calls().empty());
    cancelled.dir.write("Data/MegaFiles.xml", "<Mega_Files>");
    EXPECT_THROW(cancelled.run({"kestrin.exe", cancelled.dir.path()}), ParseException);
    EXPECT_EQ(cancelled.face.folderPrompts, 1);
}

TEST(Application, ListsTheMeshesOfALooseModelAndDrawsTheSelectedOnes) {
    Session s;
    s.face.filePath = s.dir.write("ship.alo", shipModel());
    s.face.script = [&] {
        s.app.openModel();
        EXPECT_EQ(s.face.rows, (std::vector<std::string>{"Hull", "<unnamed>", "Engine"}));
        EXPECT_EQ(s.app.getEngine()->getMeshCount(), 3u);
        s.app.paint();
        EXPECT_EQ(s.count("DrawIndexedPrimitive"), 0u);
        s.face.selection = {true, false, true};
        s.app.selectionChanged();
        s.app.paint();
        EXPECT_EQ(s.count("DrawIndexedPrimitive"), 2u);
        EXPECT_EQ(s.face.paints, "LN");

        // A file that is no model, or that is gone, is reported and the model stays.
        s.face.filePath = s.dir.write("broken.alo", "\x01\x02");
        s.app.openModel();
        s.face.filePath = s.dir.path() + "/gone.alo";
        s.app.openModel();
        s.face.filePath.clear();
        s.app.openModel();
        EXPECT_EQ(s.face.errors, std::vector<std::string>(2, Application::kCannotOpenModel));
        EXPECT_EQ(s.face.rows.size(), 3u);
    };
    s.run({"kestrin.exe", s.dir.path()});
    EXPECT_EQ(s.fake.liveObjects(), 0);
    EXPECT_TRUE(s.fake.errors().empty());
}

TEST(Application, OffersTheModelsOfAnArchiveAndOpensThePickedOne) {
    Session s;
    MegWriter meg;
    meg.add("DATA\\ART\\MODELS\\SHIP.ALO", shipModel());
    meg.add("DATA\\ART\\MODELS\\Mixed.AlO", shipModel());
    meg.add("DATA\\ART\\MODELS\\BROKEN.ALO", "\x01");
    meg.add("DATA\\ART\\TEXTURES\\HULL.DDS", "DDS ");
    meg.add("DATA\\NOEXTENSION", "");
    meg.add("ALO", "");
    meg.add("DATA\\DOT.", "");
    s.face.filePath = s.dir.write("models.MeG", meg.build());
    s.face.script = [&] {
        s.app.openModel();
        EXPECT_EQ(s.face.offered,
                  (std::vector<std::string>{"DATA\\ART\\MODELS\\BROKEN.ALO", "DATA\\ART\\MODELS\\Mixed.AlO",
                                            "DATA\\ART\\MODELS\\SHIP.ALO"}));
        EXPECT_TRUE(s.face.rows.empty());
        s.face.pick = "DATA\\ART\\MODELS\\SHIP.ALO";
        s.app.openModel();
        EXPECT_EQ(s.face.rows.size(), 3u);
        Model* shown = s.app.getModel();
        s.face.pick = "DATA\\ART\\MODELS\\BROKEN.ALO";
        s.app.openModel();
        EXPECT_EQ(s.face.errors, std::vector<std::string>{Application::kCannotOpenModel});
        EXPECT_EQ(s.app.getModel(), shown);

        // The first entry of the table is one to pick too.
        MegWriter one;
        one.add("Data\\Art\\Models\\One.alo", shipModel());
        s.face.filePath = s.dir.write("one.meg", one.build());
        s.face.pick = "Data\\Art\\Models\\One.alo";
        s.app.openModel();
        EXPECT_NE(s.app.getModel(), shown);
        // An archive that cannot be read is reported with its own error, and the viewer goes on.
        s.face.filePath = s.dir.write("cut.meg", "\x05\x00");
        s.app.openModel();
        EXPECT_EQ(s.face.errors.back(), "Bad or corrupted file:\n" + s.face.filePath);
    };
    s.run({"kestrin.exe", s.dir.path()});
    EXPECT_EQ(s.fake.liveObjects(), 0);
}

TEST(Application, DragsMoveTheCameraFromWhereThePressLeftItAndTheWheelZoomsBetweenDrags) {
    Session s;
    s.face.script = [&] {
        Engine& engine = *s.app.getEngine();
        const Camera start = engine.getCamera();
        s.app.buttonDown(true, 100, 100);
        EXPECT_TRUE(s.face.dragging);
        s.app.pointerMoved(150, 60);
        EXPECT_NE(engine.getCamera().target, start.target);
        const Camera dragged = engine.getCamera();
        s.app.wheelTurned(120);
        EXPECT_EQ(engine.getCamera().eye, dragged.eye);
        s.app.pointerMoved(100, 100);
        EXPECT_EQ(engine.getCamera().eye, start.eye);
        // The other button orbits from the camera as it is now.
        s.app.pointerMoved(120, 100);
        const Camera panned = engine.getCamera();
        s.app.buttonDown(false, 10, 10);
        s.app.pointerMoved(10, 10);
        EXPECT_EQ(engine.getCamera().eye, panned.eye);
        s.app.pointerMoved(40, 10);
        EXPECT_EQ(engine.getCamera().target, panned.target);
        EXPECT_NE(engine.getCamera().eye, panned.eye);
        s.app.buttonUp();
        EXPECT_FALSE(s.face.dragging);
        const Camera orbited = engine.getCamera();
        s.app.pointerMoved(400, 400);
        EXPECT_EQ(engine.getCamera().eye, orbited.eye);
        s.app.wheelTurned(120);
        EXPECT_NE(engine.getCamera().eye, orbited.eye);
        EXPECT_EQ(s.face.paints, "LLLLLL");
    };
    s.run({"kestrin.exe", s.dir.path()});
}

TEST(Application, ResizesResetTheDeviceOnlyWhenTheDrawingAreaHasRoomAndPaintResetsALostOne) {
    Session s;
    s.face.script = [&] {
        s.face.width = 150; // narrower than the list: nothing left to draw in
        s.app.resized();
        s.face.width = 1000;
        s.face.height = 0;
        s.app.resized();
        EXPECT_EQ(s.count("Reset"), 0u);
        s.face.height = 700;
        s.app.resized();
        EXPECT_EQ(s.count("Reset"), 1u);
        // A device that can be reset is reset and drawn again in the same paint.
        s.fake.failCall("TestCooperativeLevel", d3d::D3DERR_DEVICENOTRESET, 1);
        s.app.paint();
        EXPECT_EQ(s.count("Reset"), 2u);
        EXPECT_EQ(s.count("Present"), 1u);
    };
    s.run({"kestrin.exe", s.dir.path()});
}

TEST(Application, OpensTheModelTheCommandLineNamesOrThatIsDroppedAsFileOpenWould) {
    // A model alone starts on the data folder it lies in, and is shown.
    Session alone;
    const std::string ship = alone.dir.write("Data/Art/Models/Ship.alo", shipModel());
    alone.face.script = [&] { EXPECT_EQ(alone.face.rows.size(), 3u); };
    alone.run({"kestrin.exe", ship});
    EXPECT_EQ(alone.face.shownNames, std::vector<std::string>{"Ship.alo"});
    EXPECT_EQ(alone.face.folderPrompts, 0);

    // After the folder: an archive's entry, named with slashes; the whole archive, through the picker.
    Session s;
    MegWriter meg;
    meg.add("DATA\\ART\\MODELS\\SHIP.ALO", shipModel());
    meg.add("DATA\\ART\\MODELS\\BROKEN.ALO", "\x01");
    const std::string archive = s.dir.write("Models.MEG", meg.build());
    s.face.pick = "DATA\\ART\\MODELS\\SHIP.ALO";
    s.face.script = [&] {
        EXPECT_EQ(s.face.shownNames, std::vector<std::string>{"Models.MEG:data\\art\\models\\ship.alo"});
        EXPECT_TRUE(s.face.offered.empty());
        s.app.openFile(archive);
        EXPECT_EQ(s.face.offered.size(), 2u);
        EXPECT_EQ(s.face.shownNames.back(), "Models.MEG:DATA\\ART\\MODELS\\SHIP.ALO");
        // No such entry, an entry that is no model, a missing file: the box, and the model stays.
        for (const std::string& file :
             {archive + ":DATA/ART/MODELS/NONE.ALO", archive + ":DATA/ART/MODELS/BROKEN.ALO",
              s.dir.path() + "/gone.alo"}) {
            s.app.openFile(file);
        }
        EXPECT_EQ(s.face.errors, std::vector<std::string>(3, Application::kCannotOpenModel));
        EXPECT_EQ(s.face.shownNames.size(), 2u);
    };
    s.run({"kestrin.exe", s.dir.path(), archive + ":data/art/models/ship.alo"});
    EXPECT_EQ(s.fake.liveObjects(), 0);
}

TEST(Application, FFramesTheDrawnMeshesOrAllOfThemAndHomeBringsTheStartingViewBack) {
    Session s;
    s.face.filePath = s.dir.write("apart.alo", shipModel({1000, -1000, 2000}));
    s.face.script = [&] {
        Engine& engine = *s.app.getEngine();
        s.app.frameModel(); // nothing shown yet
        EXPECT_EQ(engine.getCamera().eye, Camera().eye);
        s.app.openModel();
        // Nothing drawn: the whole model.
        s.app.frameModel();
        const Camera whole = engine.getCamera();
        EXPECT_NEAR(whole.target.x, 500.5f, 1.0f);
        // The first mesh alone: much nearer, in front of it.
        s.face.selection = {true, false, false};
        s.app.selectionChanged();
        s.app.frameModel();
        const Camera first = engine.getCamera();
        EXPECT_NEAR(first.target.x, 1000.5f, 1.0f);
        const d3d::D3DXVECTOR3 near = first.eye - first.target, far = whole.eye - whole.target;
        EXPECT_LT(d3d::D3DXVec3Length(&near) * 100, d3d::D3DXVec3Length(&far));
        // Neither key moves the camera during a drag.
        s.app.buttonDown(false, 10, 10);
        s.app.resetView();
        EXPECT_EQ(engine.getCamera().eye, first.eye);
        s.app.buttonUp();
        s.app.resetView();
        EXPECT_EQ(engine.getCamera().eye, Camera().eye);
        EXPECT_EQ(engine.getCamera().target, Camera().target);
        EXPECT_EQ(s.face.paints, "LLNLL");
    };
    s.run({"kestrin.exe", s.dir.path()});
}
