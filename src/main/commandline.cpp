#include "main/commandline.h"

#include "main/textcase.h"

std::vector<std::string> splitCommandLine(const std::string& line) {
    std::vector<std::string> tokens;
    std::string token;
    bool quoted = false;
    // The terminating zero of the line ends the last token, as any zero byte does.
    const std::string text = line + std::string(1, '\0');
    for (const char c : text) {
        if (c == '\0' || (c == ' ' && !quoted)) {
            if (!token.empty()) {
                tokens.push_back(token);
                token.clear();
            }
            if (c == '\0') {
                break;
            }
        } else if (c == '"') {
            quoted = !quoted;
        } else {
            token += c;
        }
    }
    return tokens;
}

std::string withTrailingBackslash(std::string folder) {
    if (folder.empty() || folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

std::string folderOfExecutable(const std::string& exePath) {
    const std::string path = exePath.substr(0, exePath.find('\0'));
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

} // namespace

std::size_t archiveSeparator(const std::string& location) {
    const std::size_t at = toUpperAscii(location).rfind(".MEG:");
    return at == std::string::npos ? at : at + 4;
}

std::string extensionOf(const std::string& path) {
    std::size_t name = path.size();
    while (name > 0 && !isSeparator(path[name - 1])) {
        --name;
    }
    const std::size_t dot = path.rfind('.');
    return dot == std::string::npos || dot < name ? std::string() : path.substr(dot + 1);
}

bool namesModel(const std::string& token) {
    const std::string extension = toUpperAscii(extensionOf(token));
    const bool model =
        extension == "ALO" || extension == "MEG" || archiveSeparator(token) != std::string::npos;
    return model && !isFolder(token);
}

std::string dataFolderOfModel(const std::string& model) {
    const std::size_t colon = archiveSeparator(model);
    const bool archive = colon != std::string::npos || toUpperAscii(extensionOf(model)) == "MEG";
    const std::string path = colon == std::string::npos ? model : model.substr(0, colon);
    // Each folder on the path with where it starts; the last component is the file.
    std::vector<std::pair<std::size_t, std::string>> folders;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || isSeparator(path[i])) {
            folders.emplace_back(start, toUpperAscii(path.substr(start, i - start)));
            start = i + 1;
        }
    }
    folders.pop_back();
    const std::vector<std::string> under =
        archive ? std::vector<std::string>{"DATA"} : std::vector<std::string>{"DATA", "ART", "MODELS"};
    for (std::size_t i = folders.size(); i-- > 0;) {
        bool match = i + under.size() <= folders.size();
        for (std::size_t k = 0; match && k < under.size(); ++k) {
            match = folders[i + k].second == under[k];
        }
        if (!match) {
            continue;
        }
        const std::size_t at = folders[i].first;
        if (at == 0) {
            return ".";
        }
        // A folder at the root keeps its separator; "C:" stands for the drive's root once a
        // backslash is appended.
        return at == 1 ? path.substr(0, 1) : path.substr(0, at - 1);
    }
    return {};
}

std::string startModel(const std::vector<std::string>& args) {
    if (args.size() > 1 && namesModel(args[1])) {
        return args[1];
    }
    return args.size() > 2 ? args[2] : std::string();
}
