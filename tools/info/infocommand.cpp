#include "info/infocommand.h"

#include "info/checkcommand.h"
#include "info/effectcommand.h"
#include "info/jsonwriter.h"
#include "main/errorreport.h"
#include "main/exception.h"
#include "managers/filemanager.h"
#include "managers/megafile.h"
#include "managers/physicalfile.h"
#include "model/model.h"

namespace {

const char kUsage[] = "usage: kestrin-info archive FILE.MEG\n"
                      "       kestrin-info find FILE.MEG NAME\n"
                      "       kestrin-info resolve DATAFOLDER GAMEPATH\n"
                      "       kestrin-info model FILE.ALO\n"
                      "       kestrin-info model FILE.MEG ENTRY\n"
                      "       kestrin-info effect FILE.FXO\n"
                      "       kestrin-info effect FILE.MEG ENTRY\n"
                      "       kestrin-info check [--text] DATAFOLDER [MODEL ...]\n"
                      "  MODEL: a model file, a game path or ARCHIVE.MEG:ENTRY; all models when none\n";

void listArchive(const std::string& path, std::ostream& out) {
    RefPtr<File> file = makeRef<PhysicalFile>(path);
    const MegaFile archive(file.get());
    JsonWriter json(out);
    json.beginObject().key("entries").beginArray();
    for (std::size_t i = 0; i < archive.getFileCount(); ++i) {
        const MegaFileRecord& r = archive.getRecord(i);
        json.beginObject();
        json.key("name").value(archive.getFileName(i));
        json.key("crc").value(std::uint64_t{r.crc});
        json.key("size").value(std::uint64_t{r.size});
        json.key("start").value(std::uint64_t{r.start});
        json.endObject();
    }
    json.endArray().endObject();
    out << '\n';
}

void findEntry(const std::string& path, const std::string& name, std::ostream& out) {
    RefPtr<File> file = makeRef<PhysicalFile>(path);
    const MegaFile archive(file.get());
    const std::size_t index = archive.findIndex(name);
    JsonWriter json(out);
    if (index == MegaFile::kNotFound) {
        json.null();
    } else {
        const MegaFileRecord& r = archive.getRecord(index);
        json.beginObject();
        json.key("start").value(std::uint64_t{r.start});
        json.key("size").value(std::uint64_t{r.size});
        json.endObject();
    }
    out << '\n';
}

void resolvePath(const std::string& dataFolder, const std::string& path, std::ostream& out) {
    const FileManager files(CheckCommand::dataFolder(dataFolder));
    std::string source;
    const RefPtr<File> found = files.locate(path, source);
    JsonWriter json(out);
    json.beginObject().key("archives").beginArray();
    for (const std::string& key : files.getArchiveKeys()) {
        json.value(key);
    }
    json.endArray();
    json.key("source");
    if (!found) {
        json.null();
    } else if (source.empty()) {
        json.value("loose");
    } else {
        json.value(source);
    }
    json.key("size");
    if (found) {
        json.value(std::uint64_t{found->size()});
    } else {
        json.null();
    }
    json.endObject();
    out << '\n';
}

void writeParameter(JsonWriter& json, const EffectParameter& p) {
    json.beginObject().key("name").value(p.name).key("type");
    switch (p.type) {
    case EffectParameter::kFloat:
        json.value("float").key("value").value(p.floatValue);
        break;
    case EffectParameter::kTexture:
        json.value("texture").key("value").value(p.textureName);
        break;
    default:
        json.value("float4").key("value").beginArray();
        for (const float v : p.float4Value) {
            json.value(v);
        }
        json.endArray();
        break;
    }
    json.endObject();
}

void describeModel(const Model& model, std::ostream& out) {
    JsonWriter json(out);
    json.beginObject().key("meshes").beginArray();
    for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
        const Mesh& mesh = model.getMesh(i);
        json.beginObject();
        json.key("name").value(mesh.getName());
        json.key("vertexCount").value(std::uint64_t{mesh.getVertexCount()});
        json.key("triangleCount").value(std::uint64_t{mesh.getTriangleCount()});
        json.key("vertexFormat").value(mesh.getVertexFormat());
        json.key("material");
        if (const Material* material = mesh.getMaterial()) {
            json.beginObject().key("effect").value(material->effectName).key("parameters").beginArray();
            for (const EffectParameter& p : material->parameters) {
                writeParameter(json, p);
            }
            json.endArray().endObject();
        } else {
            json.null();
        }
        float world[16];
        model.getMeshTransform(i, world);
        json.key("world").beginArray();
        for (const float v : world) {
            json.value(v);
        }
        json.endArray().endObject();
    }
    json.endArray().key("bones").value(std::uint64_t{model.getBoneCount()}).endObject();
    out << '\n';
}

// The file args[1], or with an entry name args[2] that entry of the archive args[1]; none, with the
// reason on err, when the archive has no such entry.
RefPtr<File> openNamed(const std::vector<std::string>& args, std::ostream& err) {
    RefPtr<File> file = makeRef<PhysicalFile>(args[1]);
    if (args.size() == 3) {
        const MegaFile archive(file.get());
        file = archive.find(args[2]);
        if (!file) {
            err << "kestrin-info: " << args[1] << " holds no entry " << args[2] << "\n";
        }
    }
    return file;
}

} // namespace

int runInfoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   std::ostream* progress) {
    try {
        if (!args.empty() && args[0] == "check") {
            const int status = CheckCommand::run({args.begin() + 1, args.end()}, out, err, progress);
            if (status == 2) {
                err << kUsage;
            }
            return status;
        }
        if (args.size() == 2 && args[0] == "archive") {
            listArchive(args[1], out);
        } else if (args.size() == 3 && args[0] == "find") {
            findEntry(args[1], args[2], out);
        } else if (args.size() == 3 && args[0] == "resolve") {
            resolvePath(args[1], args[2], out);
        } else if ((args.size() == 2 || args.size() == 3) && (args[0] == "model" || args[0] == "effect")) {
            const RefPtr<File> file = openNamed(args, err);
            if (!file) {
                return 1;
            }
            if (args[0] == "model") {
                describeModel(Model(*file), out);
            } else {
                EffectCommand::describe(args.size() == 3 ? args[1] + ":" + args[2] : args[1],
                                        file->readBytes(file->size()), out, err);
            }
        } else {
            err << kUsage;
            return 2;
        }
    } catch (const Exception& e) {
        err << composeErrorReport(e);
        return 1;
    }
    return 0;
}
