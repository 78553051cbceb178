#include "managers/physicalfile.h"

#include "main/textcase.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// Directory listings keyed by folded name, reused while the folder's change time stays the
// same, so that the many lookups that fall through to the archives do not list a folder each.
// File systems stamp changes with a coarse clock: two changes within one tick leave the same
// time, so a listing read within two seconds of its folder's last change is read again.
class FolderListings {
public:
    // The entry of folder whose name equals name ignoring case (the smallest such name when
    // several do), or an empty string.
    std::string match(const std::string& folder, const std::string& name) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            return {};
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        Listing& listing = m_listings[folder];
        // The folder's identity is checked too: a relative name means another folder after a chdir.
        if (!listing.settled || listing.device != st.st_dev || listing.inode != st.st_ino ||
            listing.changed.tv_sec != st.st_ctim.tv_sec || listing.changed.tv_nsec != st.st_ctim.tv_nsec ||
            listing.modified.tv_sec != st.st_mtim.tv_sec || listing.modified.tv_nsec != st.st_mtim.tv_nsec) {
            listing = Listing{};
            timespec now{};
            ::clock_gettime(CLOCK_REALTIME, &now);
            if (!load(folder, listing.names)) {
                m_listings.erase(folder);
                return {};
            }
            listing.device = st.st_dev;
            listing.inode = st.st_ino;
            listing.changed = st.st_ctim;
            listing.modified = st.st_mtim;
            listing.settled = now.tv_sec - st.st_ctim.tv_sec > 2 && now.tv_sec - st.st_mtim.tv_sec > 2;
        }
        const auto it = listing.names.find(toLowerAscii(name));
        return it == listing.names.end() ? std::string() : it->second;
    }

private:
    struct Listing {
        bool settled = false; // read well after the folder's last change
        dev_t device = 0;
        ino_t inode = 0;
        timespec changed{};
        timespec modified{};
        std::map<std::string, std::string> names;
    };

    static bool load(const std::string& folder, std::map<std::string, std::string>& names) {
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr) {
            return false;
        }
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            auto [it, inserted] = names.emplace(toLowerAscii(name), name);
            if (!inserted && name < it->second) {
                it->second = name;
            }
        }
        ::closedir(dir);
        return true;
    }

    std::mutex m_mutex;
    std::unordered_map<std::string, Listing> m_listings;
};

FolderListings& folderListings() {
    static FolderListings listings;
    return listings;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Rebuilds path one component at a time, taking each as spelled when it exists and otherwise
// the folder entry that matches it ignoring case. False when some component has no match.
bool resolveIgnoringCase(const std::string& path, std::string& resolved) {
    resolved = path.size() > 0 && path[0] == '/' ? "/" : "";
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = path.find('/', begin);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string component = path.substr(begin, end - begin);
        begin = end + 1;
        if (component.empty()) {
            continue;
        }
        if (!resolved.empty() && resolved.back() != '/') {
            resolved += '/';
        }
        const std::string spelled = resolved + component;
        if (component == "." || component == ".." || exists(spelled)) {
            resolved = spelled;
            continue;
        }
        const std::string match = folderListings().match(resolved.empty() ? "." : resolved, component);
        if (match.empty()) {
            return false;
        }
        resolved += match;
    }
    return true;
}

std::string nativePath(std::string path) {
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return path;
}

int openForReading(const std::string& path) {
    // Non-blocking so that a FIFO cannot hold the open; only regular files are accepted below.
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

bool isMissing(int error) {
    return error == ENOENT || error == ENOTDIR;
}

} // namespace

std::intptr_t PhysicalFile::openHandle(const std::string& path, bool& missing) {
    const std::string native = nativePath(path);
    int fd = openForReading(native);
    int error = errno;
    if (fd < 0 && isMissing(error)) {
        std::string resolved;
        if (resolveIgnoringCase(native, resolved)) {
            fd = openForReading(resolved);
            error = errno;
        }
    }
    if (fd < 0) {
        missing = isMissing(error);
        return kNoHandle;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // Windows refuses to open folders and devices as files; so do we.
        ::close(fd);
        missing = false;
        return kNoHandle;
    }
    return fd;
}

PhysicalFile::~PhysicalFile() {
    ::close(static_cast<int>(m_handle));
}

std::uint32_t PhysicalFile::size() const {
    struct stat st {};
    if (::fstat(static_cast<int>(m_handle), &st) != 0) {
        return 0;
    }
    // Only the low 32 bits, as GetFileSize without its high word gives them.
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.st_size));
}

std::uint32_t PhysicalFile::read(void* buffer, std::uint32_t count) {
    // Files of 4 GiB and more are outside the 32-bit design; never let the position wrap on them.
    if (count > 0xFFFFFFFFu - m_position) {
        count = 0xFFFFFFFFu - m_position;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    std::uint32_t got = 0;
    while (got < count) {
        const ssize_t n =
            ::pread(static_cast<int>(m_handle), out + got, count - got, static_cast<off_t>(m_position) + got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && got == 0) {
            return 0;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::uint32_t>(n);
    }
    m_position += got;
    return got;
}
