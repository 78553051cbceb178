#pragma once

#include "main/refptr.h"
#include "managers/file.h"
#include "managers/megafile.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// Resolves game-relative paths under the game's data folder: a loose file wins, otherwise the
// archives listed in "Data\MegaFiles.xml" are searched in the order of their upper-cased paths.
class FileManager {
public:
    // Mounts every archive the list names that can be read; the others are skipped silently.
    // FileNotFoundException when the list is missing, ParseException when it is not
    // well-formed, BadFileException when it is empty or not a "Mega_Files" list of "File"s.
    explicit FileManager(const std::string& dataFolder);
    virtual ~FileManager();
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;

    // The file at path, loose or archived, or none.
    virtual RefPtr<File> open(const std::string& path);
    // As open; source becomes empty for a loose file, or the key of the archive that answered.
    RefPtr<File> locate(const std::string& path, std::string& source) const;
    // Upper-cased full paths of the mounted archives, in search order.
    std::vector<std::string> getArchiveKeys() const;
    // The mounted archive of that key (one of getArchiveKeys()), or none.
    const MegaFile* getArchive(const std::string& key) const;

private:
    void mountArchives(const std::string& listPath);

    std::string m_dataFolder;
    std::map<std::string, std::unique_ptr<MegaFile>> m_archives;
};
