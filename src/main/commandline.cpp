#include "main/commandline.h"

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
