#include "info/checkcommand.h"

#include "info/checkreport.h"
#include "info/modelchecker.h"
#include "main/errorreport.h"
#include "main/exception.h"
#include "main/filenotfoundexception.h"
#include "main/textcase.h"
#include "managers/filemanager.h"
#include "managers/megafile.h"
#include "managers/physicalfile.h"
#ifndef _WIN32
#include "info/nativeeffectcheck.h"
#endif

#include <algorithm>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

// One model to check, and how to open it.
struct Target {
    enum class Kind { GamePath, File, ArchiveEntry };
    Kind kind = Kind::GamePath;
    std::string name;
};

bool isModelName(const std::string& name) {
    return name.size() > 4 && toUpperAscii(name.substr(name.size() - 4)) == ".ALO";
}

std::string withBackslashes(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Where "ARCHIVE.MEG:ENTRY" splits, or npos for anything else.
std::size_t archiveSeparator(const std::string& model) {
    const std::size_t at = toUpperAscii(model).rfind(".MEG:");
    return at == std::string::npos ? at : at + 4;
}

// The folder below base named by names one level each, letter case ignored as the game's paths
// ignore it; empty when there is none.
fs::path matchingFolder(fs::path folder, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        std::error_code ec;
        if (fs::is_directory(folder / name, ec)) {
            folder /= name;
            continue;
        }
        fs::path match;
        for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            if (it->is_directory(ec) && toUpperAscii(it->path().filename().string()) == toUpperAscii(name)) {
                match = it->path();
                break;
            }
        }
        if (match.empty()) {
            return {};
        }
        folder = match;
    }
    return folder;
}

// The models named on the command line: an archive's entry, a file, or else a game path.
std::vector<Target> namedModels(const std::vector<std::string>& names) {
    std::vector<Target> targets;
    for (const std::string& name : names) {
        if (archiveSeparator(name) != std::string::npos) {
            targets.push_back({Target::Kind::ArchiveEntry, name});
        } else if (PhysicalFile::tryOpen(name)) {
            targets.push_back({Target::Kind::File, name});
        } else {
            targets.push_back({Target::Kind::GamePath, name});
        }
    }
    return targets;
}

// The model's file, as the viewer would open it; source becomes where it was found.
RefPtr<File> openModel(const Target& target, const FileManager& files, std::string& source) {
    if (target.kind == Target::Kind::File) {
        source = "file";
        return makeRef<PhysicalFile>(target.name);
    }
    if (target.kind == Target::Kind::ArchiveEntry) {
        const std::size_t colon = archiveSeparator(target.name);
        source = target.name.substr(0, colon);
        RefPtr<File> archiveFile = makeRef<PhysicalFile>(source);
        const MegaFile archive(archiveFile.get());
        RefPtr<File> entry = archive.find(withBackslashes(target.name.substr(colon + 1)));
        if (!entry) {
            throw FileNotFoundException(__FILE__, __LINE__, target.name);
        }
        return entry;
    }
    const std::string path = withBackslashes(target.name);
    RefPtr<File> file = files.locate(path, source);
    if (!file) {
        throw FileNotFoundException(__FILE__, __LINE__, path);
    }
    source = source.empty() ? "loose" : source;
    return file;
}

// Rewrites the progress line in place: back to its start, the new text, and blanks over whatever
// the longer text before it left (escape codes would show as text in a Windows console).
void showProgress(std::ostream& progress, const std::string& text, std::size_t& shown) {
    progress << '\r' << text << std::string(shown > text.size() ? shown - text.size() : 0, ' ') << std::flush;
    shown = text.size();
}

} // namespace

std::vector<std::string> CheckCommand::modelPaths(const std::string& dataFolder, const FileManager& files) {
    std::map<std::string, std::string> paths;
    const fs::path models = matchingFolder(fs::path(dataFolder), {"Data", "Art", "Models"});
    std::error_code ec;
    for (auto it = models.empty() ? fs::recursive_directory_iterator()
                                  : fs::recursive_directory_iterator(models, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && isModelName(it->path().filename().string())) {
            const std::string path = "Data\\Art\\Models\\" +
                                     withBackslashes(it->path().lexically_relative(models).generic_string());
            paths.emplace(toUpperAscii(path), path);
        }
    }
    // A path already found loose, or in an archive that sorts first, is checked from there.
    for (const std::string& key : files.getArchiveKeys()) {
        const MegaFile& archive = *files.getArchive(key);
        for (std::size_t i = 0; i < archive.getFileCount(); ++i) {
            if (isModelName(archive.getFileName(i))) {
                paths.emplace(toUpperAscii(archive.getFileName(i)), archive.getFileName(i));
            }
        }
    }
    std::vector<std::string> result;
    for (const auto& entry : paths) {
        result.push_back(entry.second);
    }
    return result;
}

std::string CheckCommand::dataFolder(std::string folder) {
#ifdef _WIN32
    const char separator = '\\';
#else
    const char separator = '/';
#endif
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) {
        folder += separator;
    }
    return folder;
}

int CheckCommand::run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      std::ostream* progress) {
    bool text = false;
    std::vector<std::string> positional;
    for (const std::string& arg : args) {
        if (arg == "--text") {
            text = true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            return 2;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.empty()) {
        return 2;
    }
    const std::string folder = dataFolder(positional[0]);
    FileManager files(folder);
    std::vector<Target> targets;
    if (positional.size() > 1) {
        targets = namedModels({positional.begin() + 1, positional.end()});
    } else {
        for (const std::string& path : modelPaths(folder, files)) {
            targets.push_back({Target::Kind::GamePath, path});
        }
    }
#ifdef _WIN32
    ModelChecker checker(files, {});
#else
    NativeEffectCheck native;
    ModelChecker checker(files,
                         [&native](const std::vector<unsigned char>& bytes) { return native.check(bytes); });
#endif
    CheckReport report(out, text);
    std::size_t shown = 0;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (progress != nullptr && targets.size() > 1) {
            const std::string line =
                "[" + std::to_string(i + 1) + "/" + std::to_string(targets.size()) + "] " + targets[i].name;
            showProgress(*progress, line.size() > 79 ? line.substr(0, 76) + "..." : line, shown);
        }
        std::string source;
        try {
            const RefPtr<File> file = openModel(targets[i], files, source);
            report.add(checker.check(targets[i].name, source, *file));
        } catch (const Exception& e) {
            report.add(ModelChecker::unreadable(targets[i].name, source, composeErrorReport(e)));
        }
    }
    if (shown > 0) {
        showProgress(*progress, "", shown);
        *progress << '\r' << std::flush;
    }
    report.finish();
#ifdef _WIN32
    static_cast<void>(err);
#else
    if (!native.unavailable().empty()) {
        err << "kestrin-info: effects were not tried on the native renderer: " << native.unavailable()
            << "\n";
    }
#endif
    return report.problems() > 0 ? 1 : 0;
}
