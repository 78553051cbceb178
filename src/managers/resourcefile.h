#pragma once

#include <string>
#include <vector>

class FileManager;

// Helpers the texture and effect caches share: the file name a request is read from, and the
// file's bytes.
class ResourceFile {
public:
    // key with the last occurrence of from replaced by to, and whatever followed it dropped;
    // key unchanged when from does not occur.
    static std::string replaceLastExtension(const std::string& key, const std::string& from,
                                            const std::string& to);
    // The whole file at path through files, or false when there is none.
    static bool read(FileManager& files, const std::string& path, std::vector<unsigned char>& bytes);
};
