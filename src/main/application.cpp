#include "main/application.h"

#include "engine/engine.h"
#include "engine/modelframing.h"
#include "main/commandline.h"
#include "main/filenotfoundexception.h"
#include "main/modelmanager.h"
#include "main/refptr.h"
#include "main/shellface.h"
#include "main/textcase.h"
#include "managers/filemanager.h"
#include "managers/megafile.h"
#include "managers/physicalfile.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "model/model.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kDragNone = 0;
constexpr int kDragOrbit = 1;
constexpr int kDragPan = 2;
constexpr int kListWidth = 200;

// The last component of a path, as the status line names a model.
std::string fileNameOf(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// Clears the Application's pointers to the locals of run however run ends.
class Borrowed {
public:
    explicit Borrowed(std::function<void()> clear) : m_clear(std::move(clear)) {}
    ~Borrowed() { m_clear(); }

private:
    std::function<void()> m_clear;
};

} // namespace

const char* const Application::kAboutText = "Kestrin\nA viewer for Alamo models, by the Kestrin developers";
const char* const Application::kFolderPrompt =
    "Please select the GameData folder in the Star Wars Empire at War installation directory.";
const char* const Application::kCannotOpenModel = "Unable to open the specified model";

Application::Application(ShellFace& face) : m_face(face) {}

Application::~Application() = default;

int Application::run(const std::vector<std::string>& args, const std::function<std::string()>& registry,
                     const std::function<std::string()>& programFiles) {
    std::string folder = chooseDataFolder(args, registry, programFiles);
    const std::string model = startModel(args);
    std::unique_ptr<FileManager> files;
    while (!files) {
        folder = withTrailingBackslash(folder);
        try {
            files = std::make_unique<FileManager>(folder);
        } catch (const FileNotFoundException&) {
            if (!m_face.askDataFolder(folder)) {
                return 0;
            }
        }
    }
    ModelManager models("Data\\Art\\Models\\");
    TextureManager textures(files.get(), "Data\\Art\\Textures\\");
    ShaderManager shaders(files.get(), "Data\\Art\\Shaders\\");
    int width = 0;
    int height = 0;
    m_face.renderClientSize(width, height);
    Engine engine(m_face.renderWindowHandle(), width, height, textures, shaders);

    const Borrowed borrowed([this] {
        // The Engine goes before the models its instances point into; so does the list built from it.
        m_engine = nullptr;
        m_shaderManager = nullptr;
        m_textureManager = nullptr;
        m_modelManager = nullptr;
        m_fileManager = nullptr;
        m_dataFolder.clear();
    });
    m_modelManager = &models;
    m_engine = &engine;
    m_fileManager = files.get();
    m_shaderManager = &shaders;
    m_textureManager = &textures;
    m_dataFolder = folder;

    m_face.showMainWindow();
    if (!model.empty()) {
        openFile(model);
    }
    m_face.runEventLoop();
    return 0;
}

void Application::openModel() {
    if (m_engine == nullptr) {
        return;
    }
    std::string path;
    std::string extension;
    if (m_face.askModelFile(path, extension)) {
        openPath(path, extension);
    }
}

void Application::openFile(const std::string& location) {
    if (m_engine == nullptr) {
        return;
    }
    const std::size_t colon = archiveSeparator(location);
    if (colon == std::string::npos) {
        openPath(location, extensionOf(location));
        return;
    }
    const std::string path = location.substr(0, colon);
    const std::unique_ptr<MegaFile> archive = openArchive(path);
    if (archive) {
        // Entry names use backslashes; slashes are taken for them, as shells make those easier.
        std::string entry = location.substr(colon + 1);
        std::replace(entry.begin(), entry.end(), '/', '\\');
        const RefPtr<File> file = archive->find(entry);
        showArchived(file.get(), fileNameOf(path) + ":" + entry);
    }
}

void Application::openPath(const std::string& path, const std::string& extension) {
    if (toUpperAscii(extension) == "MEG") {
        const std::unique_ptr<MegaFile> archive = openArchive(path);
        if (!archive) {
            return;
        }
        const int index = m_face.pickArchiveEntry(modelEntries(*archive));
        if (index >= 0) {
            const auto entry = static_cast<std::size_t>(index);
            const RefPtr<File> file = archive->openFile(entry);
            showArchived(file.get(), fileNameOf(path) + ":" + archive->getFileName(entry));
        }
        return;
    }
    // A loose file that cannot be opened at all is reported like one that reads as no model.
    Model* model = nullptr;
    try {
        model = m_modelManager->load(path);
    } catch (const Exception&) {
        model = nullptr;
    }
    if (model != nullptr) {
        showModel(model, nullptr, fileNameOf(path));
    } else {
        m_face.showError(kCannotOpenModel);
    }
}

std::unique_ptr<MegaFile> Application::openArchive(const std::string& path) {
    // An archive that cannot be read is reported and the viewer goes on.
    try {
        RefPtr<File> file = makeRef<PhysicalFile>(path);
        return std::make_unique<MegaFile>(file.get());
    } catch (const Exception& e) {
        m_face.showError(e.getMessage());
        return nullptr;
    }
}

void Application::showArchived(File* entry, const std::string& name) {
    bool shown = false;
    if (entry != nullptr) {
        try {
            auto model = std::make_unique<Model>(*entry);
            Model* read = model.get();
            showModel(read, std::move(model), name);
            shown = true;
        } catch (...) {
            shown = false;
        }
    }
    if (!shown) {
        m_face.showError(kCannotOpenModel);
    }
}

void Application::showModel(Model* model, std::unique_ptr<Model> owned, const std::string& name) {
    m_engine->clearMeshes();
    try {
        for (std::size_t i = 0; i < model->getMeshCount(); ++i) {
            d3d::D3DXMATRIX world;
            model->getMeshTransform(i, &world.m[0][0]);
            m_engine->addMesh(&model->getMesh(i), world, false);
        }
    } catch (...) {
        // The caller frees a model it could not show: no instance may point into it.
        m_engine->clearMeshes();
        throw;
    }
    // The previous model goes only now that no instance points into it.
    m_ownedModel.reset();
    m_model = nullptr;
    m_face.clearMeshList();
    for (std::size_t i = 0; i < model->getMeshCount(); ++i) {
        const std::string& mesh = model->getMesh(i).getName();
        m_face.addMeshListRow(mesh.empty() ? "<unnamed>" : mesh);
    }
    m_face.invalidateRenderWindow(false);
    m_model = model;
    m_ownedModel = std::move(owned);
    m_face.modelShown(name, *model, *m_fileManager);
}

void Application::selectionChanged() {
    if (m_engine == nullptr) {
        return;
    }
    const std::vector<bool> selected = m_face.meshListSelection();
    for (std::size_t i = 0; i < selected.size(); ++i) {
        m_engine->setMeshVisible(i, selected[i]);
    }
    m_face.invalidateRenderWindow(true);
}

void Application::resized() {
    if (m_engine == nullptr) {
        return;
    }
    int width = 0;
    int height = 0;
    m_face.mainClientSize(width, height);
    m_textureManager->clear();
    m_shaderManager->clear();
    // A device refuses an empty back buffer (a minimised or very narrow window); the reset waits
    // for the next size the drawing area can show.
    int renderWidth = 0;
    int renderHeight = 0;
    m_face.renderClientSize(renderWidth, renderHeight);
    if (renderWidth > 0 && renderHeight > 0) {
        m_engine->reset(m_face.renderWindowHandle(), width - kListWidth, height);
    }
}

void Application::paint() {
    if (m_engine == nullptr) {
        return;
    }
    if (!m_engine->render()) {
        int width = 0;
        int height = 0;
        m_face.mainClientSize(width, height);
        m_textureManager->clear();
        m_shaderManager->clear();
        m_engine->reset(m_face.renderWindowHandle(), width - kListWidth, height);
        m_engine->render();
    }
}

void Application::buttonDown(bool left, int x, int y) {
    if (m_engine == nullptr) {
        return;
    }
    m_dragCamera = m_engine->getCamera();
    m_dragX = x;
    m_dragY = y;
    m_dragMode = left ? kDragPan : kDragOrbit;
    m_face.beginDrag();
}

void Application::buttonUp() {
    m_dragMode = kDragNone;
    m_face.endDrag();
}

void Application::pointerMoved(int x, int y) {
    if (m_engine == nullptr || m_dragMode == kDragNone) {
        return;
    }
    const int dx = x - m_dragX;
    const int dy = y - m_dragY;
    const Camera camera =
        m_dragMode == kDragOrbit ? Engine::orbit(m_dragCamera, dx, dy) : Engine::pan(m_dragCamera, dx, dy);
    m_engine->setCamera(camera);
    m_face.invalidateRenderWindow(false);
}

void Application::wheelTurned(int delta) {
    if (m_engine == nullptr || m_dragMode != kDragNone) {
        return;
    }
    m_engine->setCamera(Engine::zoom(m_engine->getCamera(), delta));
    m_face.invalidateRenderWindow(false);
}

void Application::frameModel() {
    if (m_engine == nullptr || m_model == nullptr || m_dragMode != kDragNone) {
        return;
    }
    const std::vector<bool> selected = m_face.meshListSelection();
    std::vector<std::size_t> drawn;
    for (std::size_t i = 0; i < selected.size(); ++i) {
        if (selected[i]) {
            drawn.push_back(i);
        }
    }
    if (drawn.empty()) {
        for (std::size_t i = 0; i < m_model->getMeshCount(); ++i) {
            drawn.push_back(i);
        }
    }
    int width = 0;
    int height = 0;
    m_face.renderClientSize(width, height);
    m_engine->setCamera(ModelFraming::fit(*m_model, drawn, m_engine->getCamera(), width, height));
    m_face.invalidateRenderWindow(false);
}

void Application::resetView() {
    if (m_engine == nullptr || m_dragMode != kDragNone) {
        return;
    }
    m_engine->setCamera(Camera());
    m_face.invalidateRenderWindow(false);
}

std::vector<std::pair<std::size_t, std::string>> Application::modelEntries(const MegaFile& archive) {
    std::vector<std::pair<std::size_t, std::string>> entries;
    for (std::size_t i = 0; i < archive.getFileCount(); ++i) {
        const std::string& name = archive.getFileName(i);
        const std::size_t dot = name.rfind('.');
        if (name.empty() || dot == std::string::npos) {
            continue;
        }
        if (toUpperAscii(name.substr(dot + 1)) == "ALO") {
            entries.emplace_back(i, name);
        }
    }
    return entries;
}
