#pragma once

#include "engine/camera.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class Engine;
class File;
class FileManager;
class MegaFile;
class Model;
class ModelManager;
class ShaderManager;
class ShellFace;
class TextureManager;

// The viewer's shell: start-up over the data folder, the model shown and its mesh list, the
// File > Open command, painting with recovery from a lost device, and the mouse's camera control.
// It works through a ShellFace, so every windowing system gets the same behaviour.
class Application {
public:
    explicit Application(ShellFace& face);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Finds the data folder (args' second token, else registry(), else programFiles(); then the
    // folder prompt while Data\MegaFiles.xml is missing), builds the caches and the Engine, shows
    // the main window and runs the event loop. Returns 0, also when the prompt is cancelled.
    int run(const std::vector<std::string>& args, const std::function<std::string()>& registry,
            const std::function<std::string()>& programFiles);

    // File > Open: a loose model through the model manager, or an entry picked from an archive.
    void openModel();
    // Opens location as File > Open opens the file chosen, and an archive's entry given as
    // ARCHIVE.MEG:ENTRY without the picker: a model named on the command line or dropped.
    void openFile(const std::string& location);
    // Shows model, named name: the Engine's instances and the mesh list are rebuilt, nothing
    // selected. owned is the model itself when the shell owns it (read from an archive), else none.
    void showModel(Model* model, std::unique_ptr<Model> owned, const std::string& name);
    // The mesh list's selection changed: selected rows are drawn.
    void selectionChanged();
    // The main window was resized and its children laid out: the caches are emptied and the
    // device reset for the new size (once the drawing area is not empty).
    void resized();
    // The drawing area needs painting.
    void paint();
    // A button went down at (x, y) in the drawing area: left pans, right orbits.
    void buttonDown(bool left, int x, int y);
    // Any button went up: the drag ends.
    void buttonUp();
    // The pointer moved to (x, y), maybe outside the drawing area while captured.
    void pointerMoved(int x, int y);
    // A wheel turn of delta (120 a notch, positive away from the user).
    void wheelTurned(int delta);
    // The camera turns to the drawn meshes (all of them while none is drawn) from where it looks
    // and comes as near as shows them whole. Not during a drag.
    void frameModel();
    // The camera goes back to where it starts. Not during a drag.
    void resetView();

    // The entries of archive whose extension is ALO in any case: (index, name) pairs.
    static std::vector<std::pair<std::size_t, std::string>> modelEntries(const MegaFile& archive);

    // The text of the About box.
    static const char* const kAboutText;
    // The title of the folder prompt.
    static const char* const kFolderPrompt;
    // The box shown when a chosen file gives no model.
    static const char* const kCannotOpenModel;

    Engine* getEngine() const { return m_engine; }
    Model* getModel() const { return m_model; }
    // The data folder in use (ending in a backslash), empty outside run.
    const std::string& getDataFolder() const { return m_dataFolder; }

private:
    // The loose-file or archive branch of File > Open for the file at path.
    void openPath(const std::string& path, const std::string& extension);
    // The archive at path read by itself; its error shown when it cannot be.
    std::unique_ptr<MegaFile> openArchive(const std::string& path);
    // Shows the model in an archive's entry, or says it cannot; none is no entry.
    void showArchived(File* entry, const std::string& name);

    ShellFace& m_face;
    std::string m_dataFolder;
    Engine* m_engine = nullptr;
    FileManager* m_fileManager = nullptr;
    ModelManager* m_modelManager = nullptr;
    ShaderManager* m_shaderManager = nullptr;
    TextureManager* m_textureManager = nullptr;
    Model* m_model = nullptr;
    std::unique_ptr<Model> m_ownedModel;
    int m_dragMode = 0;
    int m_dragX = 0;
    int m_dragY = 0;
    Camera m_dragCamera;
};
