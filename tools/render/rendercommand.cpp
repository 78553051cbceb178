#include "render/rendercommand.h"

#include "engine/engine.h"
#include "engine/modelframing.h"
#include "main/errorreport.h"
#include "main/exception.h"
#include "main/textcase.h"
#include "managers/filemanager.h"
#include "managers/megafile.h"
#include "managers/physicalfile.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "model/model.h"
#include "render/offscreenview.h"
#include "render/pngwriter.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

const char kUsage[] = "usage: kestrin-render [OPTIONS] DATAFOLDER MODEL OUT.png\n"
                      "       kestrin-render [OPTIONS] --batch OUTDIR DATAFOLDER MODELS\n"
                      "  MODEL is a model file or ARCHIVE.MEG:ENTRY; MODELS a folder (every .alo in it and\n"
                      "  below) or an archive (every .alo entry); each picture goes to OUTDIR/NAME.png.\n"
                      "options:\n"
                      "  --meshes I,J,...  draw only these meshes (0 is the first); all by default\n"
                      "  --size WxH        picture size in pixels (default 800x600)\n"
                      "  --fit             frame the drawn meshes from the default camera's direction\n"
                      "  --orbit DX,DY     turn the view as a right-drag of DX,DY pixels would\n";

struct Options {
    std::optional<std::vector<std::size_t>> meshes;
    int width = 800;
    int height = 600;
    bool fit = false;
    int orbitX = 0;
    int orbitY = 0;
    std::string batchFolder;
    std::vector<std::string> positional;
};

// Whole decimal number in [low, high].
bool parseNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) {
        return false;
    }
    long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        v = v * 10 + (text[i] - '0');
    }
    value = text[0] == '-' ? -v : v;
    return value >= low && value <= high;
}

bool parsePair(const std::string& text, char separator, long low, long high, long& a, long& b) {
    const std::size_t at = text.find(separator);
    return at != std::string::npos && parseNumber(text.substr(0, at), low, high, a) &&
           parseNumber(text.substr(at + 1), low, high, b);
}

bool parseOptions(const std::vector<std::string>& args, Options& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--fit") {
            o.fit = true;
        } else if (a == "--size" && hasValue) {
            long w = 0;
            long h = 0;
            if (!parsePair(args[++i], 'x', 1, 8192, w, h)) {
                return false;
            }
            o.width = static_cast<int>(w);
            o.height = static_cast<int>(h);
        } else if (a == "--orbit" && hasValue) {
            long x = 0;
            long y = 0;
            if (!parsePair(args[++i], ',', -100000, 100000, x, y)) {
                return false;
            }
            o.orbitX = static_cast<int>(x);
            o.orbitY = static_cast<int>(y);
        } else if (a == "--meshes" && hasValue) {
            std::vector<std::size_t> list;
            std::string rest = args[++i];
            while (true) {
                const std::size_t comma = rest.find(',');
                long index = 0;
                if (!parseNumber(rest.substr(0, comma), 0, 100000000, index)) {
                    return false;
                }
                list.push_back(static_cast<std::size_t>(index));
                if (comma == std::string::npos) {
                    break;
                }
                rest = rest.substr(comma + 1);
            }
            o.meshes = list;
        } else if (a == "--batch" && hasValue) {
            o.batchFolder = args[++i];
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            return false;
        } else {
            o.positional.push_back(a);
        }
    }
    return o.positional.size() == (o.batchFolder.empty() ? 3u : 2u);
}

// Where "ARCHIVE.MEG:ENTRY" splits, or npos for a plain path.
std::size_t archiveSeparator(const std::string& model) {
    const std::string upper = toUpperAscii(model);
    const std::size_t at = upper.rfind(".MEG:");
    return at == std::string::npos ? at : at + 4;
}

std::unique_ptr<Model> loadModel(const std::string& location) {
    const std::size_t colon = archiveSeparator(location);
    if (colon == std::string::npos) {
        RefPtr<File> file = makeRef<PhysicalFile>(location);
        return std::make_unique<Model>(*file);
    }
    RefPtr<File> archiveFile = makeRef<PhysicalFile>(location.substr(0, colon));
    const MegaFile archive(archiveFile.get());
    // Entry names use backslashes; forward slashes are taken for them, as shells make those easier.
    std::string entry = location.substr(colon + 1);
    std::replace(entry.begin(), entry.end(), '/', '\\');
    RefPtr<File> file = archive.find(entry);
    if (!file) {
        throw std::runtime_error(location.substr(0, colon) + " holds no entry " + entry);
    }
    return std::make_unique<Model>(*file);
}

// One model to render in a batch: how to load it, and the picture's name.
struct BatchItem {
    std::string location;
    std::string name;
};

bool hasAloExtension(const std::string& name) {
    return name.size() > 4 && toUpperAscii(name.substr(name.size() - 4)) == ".ALO";
}

// Every model of a folder (and below) or an archive, by name.
std::vector<BatchItem> batchItems(const std::string& source) {
    std::vector<BatchItem> items;
    if (fs::is_directory(source)) {
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(source)) {
            if (e.is_regular_file() && hasAloExtension(e.path().filename().string())) {
                const std::string relative = fs::relative(e.path(), source).string();
                items.push_back({e.path().string(), relative});
            }
        }
    } else {
        RefPtr<File> file = makeRef<PhysicalFile>(source);
        const MegaFile archive(file.get());
        for (std::size_t i = 0; i < archive.getFileCount(); ++i) {
            const std::string& name = archive.getFileName(i);
            if (hasAloExtension(name)) {
                items.push_back({source + ":" + name, name});
            }
        }
    }
    std::sort(items.begin(), items.end(),
              [](const BatchItem& a, const BatchItem& b) { return a.name < b.name; });
    return items;
}

// NAME.png for a model named NAME.alo (folders and archive paths flattened with '_').
std::string pictureName(const std::string& name) {
    std::string base = name.substr(0, name.size() - 4);
    for (char& c : base) {
        if (c == '/' || c == '\\' || c == ':') {
            c = '_';
        }
    }
    return base + ".png";
}

std::string withTrailingSeparator(std::string folder) {
    if (folder.empty() || (folder.back() != '/' && folder.back() != '\\')) {
        folder += '/';
    }
    return folder;
}

// Renders models one after another on one view, engine and pair of caches.
class Renderer {
public:
    Renderer(const std::string& dataFolder, const Options& options)
        : m_options(options), m_view(options.width, options.height),
          m_files(withTrailingSeparator(dataFolder)), m_textures(&m_files, "Data\\Art\\Textures\\"),
          m_shaders(&m_files, "Data\\Art\\Shaders\\"),
          m_engine(m_view.window(), options.width, options.height, m_textures, m_shaders),
          m_defaultCamera(m_engine.getCamera()) {}

    // Draws model and writes the picture to path; std::runtime_error when it cannot be written.
    void render(const Model& model, const std::string& path) {
        std::vector<std::size_t> drawn;
        if (m_options.meshes) {
            drawn = *m_options.meshes;
        } else {
            for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
                drawn.push_back(i);
            }
        }
        m_engine.clearMeshes();
        for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
            d3d::D3DXMATRIX world;
            model.getMeshTransform(i, &world.m[0][0]);
            const bool visible = std::find(drawn.begin(), drawn.end(), i) != drawn.end();
            m_engine.addMesh(&model.getMesh(i), world, visible);
        }
        Camera camera = m_defaultCamera;
        if (m_options.fit) {
            camera = ModelFraming::fit(model, drawn, camera, m_options.width, m_options.height);
        }
        if (m_options.orbitX != 0 || m_options.orbitY != 0) {
            camera = Engine::orbit(camera, m_options.orbitX, m_options.orbitY);
        }
        m_engine.setCamera(camera);
        const std::vector<std::uint8_t> pixels = m_view.draw(m_engine);
        m_engine.clearMeshes();
        std::string error;
        if (!PngWriter::write(path, m_options.width, m_options.height, pixels, error)) {
            throw std::runtime_error(error);
        }
    }

private:
    const Options& m_options;
    OffscreenView m_view;
    FileManager m_files;
    TextureManager m_textures;
    ShaderManager m_shaders;
    Engine m_engine;
    Camera m_defaultCamera;
};

int runBatch(const Options& o, std::ostream& err, std::ostream* progress) {
    const std::vector<BatchItem> items = batchItems(o.positional[1]);
    std::error_code made;
    fs::create_directories(o.batchFolder, made);
    Renderer renderer(o.positional[0], o);
    int failures = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const BatchItem& item = items[i];
        if (progress != nullptr) {
            *progress << "[" << (i + 1) << "/" << items.size() << "] " << item.name << "\n" << std::flush;
        }
        try {
            const std::unique_ptr<Model> model = loadModel(item.location);
            renderer.render(*model, (fs::path(o.batchFolder) / pictureName(item.name)).string());
        } catch (const Exception& e) {
            err << item.name << ":\n" << composeErrorReport(e);
            ++failures;
        } catch (const std::exception& e) {
            err << "kestrin-render: " << item.name << ": " << e.what() << "\n";
            ++failures;
        }
    }
    if (progress != nullptr) {
        *progress << (items.size() - static_cast<std::size_t>(failures)) << " of " << items.size()
                  << " models rendered to " << o.batchFolder << "\n";
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int runRenderCommand(const std::vector<std::string>& args, std::ostream& err, std::ostream* progress) {
    Options o;
    if (!parseOptions(args, o)) {
        err << kUsage;
        return 2;
    }
    try {
        if (!o.batchFolder.empty()) {
            return runBatch(o, err, progress);
        }
        // The model first: a file that is no model is reported before any graphics start.
        const std::unique_ptr<Model> model = loadModel(o.positional[1]);
        Renderer renderer(o.positional[0], o);
        renderer.render(*model, o.positional[2]);
    } catch (const Exception& e) {
        err << composeErrorReport(e);
        return 1;
    } catch (const std::exception& e) {
        err << "kestrin-render: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
