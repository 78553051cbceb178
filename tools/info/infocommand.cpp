#include "info/infocommand.h"

#include "info/jsonwriter.h"
#include "main/errorreport.h"
#include "main/exception.h"
#include "managers/filemanager.h"
#include "managers/megafile.h"
#include "managers/physicalfile.h"

namespace {

const char kUsage[] = "usage: kestrin-info archive FILE.MEG\n"
                      "       kestrin-info find FILE.MEG NAME\n"
                      "       kestrin-info resolve DATAFOLDER GAMEPATH\n";

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

void resolvePath(std::string dataFolder, const std::string& path, std::ostream& out) {
#ifdef _WIN32
    const char separator = '\\';
#else
    const char separator = '/';
#endif
    if (dataFolder.empty() || (dataFolder.back() != '\\' && dataFolder.back() != '/')) {
        dataFolder += separator;
    }
    const FileManager files(dataFolder);
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

} // namespace

int runInfoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        if (args.size() == 2 && args[0] == "archive") {
            listArchive(args[1], out);
        } else if (args.size() == 3 && args[0] == "find") {
            findEntry(args[1], args[2], out);
        } else if (args.size() == 3 && args[0] == "resolve") {
            resolvePath(args[1], args[2], out);
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
