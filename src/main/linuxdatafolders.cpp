#include "main/linuxdatafolders.h"

#include "main/commandline.h"
#include "main/steamlibraryfolders.h"
#include "main/textcase.h"
#include "main/wineregistry.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The game's key below HKEY_LOCAL_MACHINE; a 64-bit prefix keeps 32-bit programs' keys under
// Wow6432Node.
const char* const kGameKeys[] = {"Software\\Wow6432Node\\LucasArts\\Star Wars Empire at War\\1.0",
                                 "Software\\LucasArts\\Star Wars Empire at War\\1.0"};
const char* const kDefaultFolders[] = {
    "C:\\Program Files\\LucasArts\\Star Wars Empire at War\\GameData",
    "C:\\Program Files (x86)\\LucasArts\\Star Wars Empire at War\\GameData"};
const char* const kSteamRoots[] = {"/.steam/steam", "/.local/share/Steam",
                                   "/.var/app/com.valvesoftware.Steam/.local/share/Steam"};
const char* const kProtonPrefix = "steamapps/compatdata/32470/pfx";
const char* const kSteamGameFolder = "steamapps/common/Star Wars Empire at War/GameData";

// A large prefix's system.reg is tens of megabytes; a libraryfolders.vdf a few kilobytes.
constexpr std::size_t kMaxRegistrySize = std::size_t{256} << 20;
constexpr std::size_t kMaxLibraryListSize = std::size_t{16} << 20;

std::string joined(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') {
        return folder + name;
    }
    return folder + '/' + name;
}

// The whole of the regular file at path when it is at most limit bytes long. Opened without
// blocking so that a FIFO in its place cannot hold the lookup.
bool readSmallFile(const std::string& path, std::size_t limit, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool ok =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uintmax_t>(st.st_size) <= limit;
    text.clear();
    char buffer[65536];
    while (ok) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            ok = count == 0;
            break;
        }
        // The file may have grown since fstat.
        ok = text.size() + static_cast<std::size_t>(count) <= limit;
        if (ok) {
            text.append(buffer, static_cast<std::size_t>(count));
        }
    }
    ::close(fd);
    return ok;
}

// The entry of folder whose name equals name ignoring ASCII case (the smallest such name when
// several do), or an empty string.
std::string entryIgnoringCase(const std::string& folder, const std::string& name) {
    const std::string wanted = toLowerAscii(name);
    std::string match;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (toLowerAscii(entry) == wanted && (match.empty() || entry < match)) {
            match = entry;
        }
    }
    return match;
}

// base followed by components, each taken as spelled when it exists and otherwise as the entry
// that matches it ignoring case; an empty string unless that is an existing folder.
std::string resolveFolder(std::string path, const std::vector<std::string>& components) {
    for (const std::string& component : components) {
        std::error_code error;
        const std::string spelled = joined(path, component);
        if (fs::exists(fs::symlink_status(spelled, error))) {
            path = spelled;
            continue;
        }
        const std::string match = entryIgnoringCase(path, component);
        if (match.empty()) {
            return {};
        }
        path = joined(path, match);
    }
    std::error_code error;
    return fs::is_directory(path, error) ? path : std::string();
}

// The components of a relative path, with "." and empty ones left out and ".." taking away the
// one before it (never going above the start).
std::vector<std::string> components(const std::string& path, const char* separators) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = path.find_first_of(separators, begin);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(begin, end - begin);
        begin = end + 1;
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
    }
    return parts;
}

// The real path of an existing folder, by which folders reached along different links are told
// to be the same; empty when folder is not one.
std::string identity(const std::string& folder) {
    std::error_code error;
    const fs::path real = fs::canonical(folder, error);
    if (error || !fs::is_directory(real, error)) {
        return {};
    }
    return real.string();
}

// Adds folder to folders unless it is missing or already there under another spelling.
void addFolder(const std::string& folder, std::set<std::string>& seen, std::vector<std::string>& folders) {
    const std::string real = identity(folder);
    if (!real.empty() && seen.insert(real).second) {
        folders.push_back(folder);
    }
}

// The prefixes that exist, each once: winePrefix, ~/.wine, then Proton's prefix of the game in each
// of libraries.
std::vector<std::string> prefixesOf(const std::string& home, const std::string& winePrefix,
                                    const std::vector<std::string>& libraries) {
    std::vector<std::string> found;
    std::set<std::string> seen;
    if (!winePrefix.empty()) {
        addFolder(winePrefix, seen, found);
    }
    if (!home.empty()) {
        addFolder(home + "/.wine", seen, found);
    }
    for (const std::string& library : libraries) {
        addFolder(joined(library, kProtonPrefix), seen, found);
    }
    return found;
}

} // namespace

LinuxDataFolders::LinuxDataFolders(std::string home, std::string winePrefix)
    : m_home(std::move(home)), m_winePrefix(std::move(winePrefix)) {}

std::vector<std::string> LinuxDataFolders::steamLibraries() const {
    std::vector<std::string> libraries;
    if (m_home.empty()) {
        return libraries;
    }
    std::set<std::string> seen;
    for (const char* rootName : kSteamRoots) {
        const std::string root = m_home + rootName;
        std::string vdf;
        if (readSmallFile(root + "/steamapps/libraryfolders.vdf", kMaxLibraryListSize, vdf)) {
            for (const std::string& folder : steamLibraryFolders(vdf)) {
                // A relative path would be read against whatever the current folder is.
                if (!folder.empty() && folder[0] == '/') {
                    addFolder(folder, seen, libraries);
                }
            }
        }
        addFolder(root, seen, libraries);
    }
    return libraries;
}

std::vector<std::string> LinuxDataFolders::prefixes() const {
    return prefixesOf(m_home, m_winePrefix, steamLibraries());
}

std::string LinuxDataFolders::readRegistryDataFolder() const {
    for (const std::string& prefix : prefixes()) {
        std::string text;
        if (!readSmallFile(joined(prefix, "system.reg"), kMaxRegistrySize, text)) {
            continue;
        }
        const WineRegistry registry(std::move(text));
        for (const char* key : kGameKeys) {
            const std::optional<std::string> exePath = registry.stringValue(key, "ExePath");
            if (!exePath) {
                continue;
            }
            std::string folder = mapWindowsFolder(prefix, folderOfExecutable(*exePath));
            if (!folder.empty()) {
                return folder;
            }
        }
    }
    return {};
}

std::string LinuxDataFolders::defaultDataFolder() const {
    const std::vector<std::string> libraries = steamLibraries();
    for (const std::string& prefix : prefixesOf(m_home, m_winePrefix, libraries)) {
        for (const char* windowsFolder : kDefaultFolders) {
            std::string folder = mapWindowsFolder(prefix, windowsFolder);
            if (!folder.empty()) {
                return folder;
            }
        }
    }
    for (const std::string& library : libraries) {
        std::string folder = resolveFolder(library, components(kSteamGameFolder, "/"));
        if (!folder.empty()) {
            return folder;
        }
    }
    return {};
}

std::string LinuxDataFolders::mapWindowsFolder(const std::string& prefix, const std::string& windowsPath) {
    // Windows ends the text at a zero, and so do the calls that take the Linux path.
    const std::string path = windowsPath.substr(0, windowsPath.find('\0'));
    const bool hasDrive = path.size() >= 2 && path[1] == ':' &&
                          ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (!hasDrive || (path.size() > 2 && path[2] != '\\' && path[2] != '/')) {
        return {};
    }
    // Wine names its drive links in lower case; c: leads to drive_c in a prefix Wine made.
    const std::string drive = toLowerAscii(path.substr(0, 2));
    std::string root = identity(joined(prefix, "dosdevices/" + drive));
    if (root.empty() && drive == "c:") {
        root = identity(joined(prefix, "drive_c"));
    }
    if (root.empty()) {
        return {};
    }
    return resolveFolder(root, components(path.substr(2), "\\/"));
}
