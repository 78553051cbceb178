#include "managers/resourcefile.h"

#include "managers/filemanager.h"

std::string ResourceFile::replaceLastExtension(const std::string& key, const std::string& from,
                                               const std::string& to) {
    const std::size_t at = key.rfind(from);
    return at == std::string::npos ? key : key.substr(0, at) + to;
}

bool ResourceFile::read(FileManager& files, const std::string& path, std::vector<unsigned char>& bytes) {
    const RefPtr<File> file = files.open(path);
    if (!file) {
        return false;
    }
    // What arrives, not what an archive entry may claim: a short entry is handed over as it is.
    bytes = file->readBytes(file->size());
    return true;
}
