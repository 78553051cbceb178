#pragma once

#include "main/refptr.h"
#include "managers/file.h"
#include "managers/megafilerecord.h"

#include <cstddef>
#include <string>
#include <vector>

// A MEG archive: many game files in one, each found by its path name through a table kept
// sorted by the CRC-32 of the upper-cased names.
class MegaFile {
public:
    static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

    // Reads the archive's tables from file, which stands at the archive's first byte, and keeps
    // a reference on it. BadFileException naming the file when the tables are cut short or a
    // record names no name.
    explicit MegaFile(File* file);
    ~MegaFile();
    MegaFile(const MegaFile&) = delete;
    MegaFile& operator=(const MegaFile&) = delete;

    // The entry stored under name (any letter case), or none.
    RefPtr<File> find(const std::string& name) const;
    // Table index of the entry find returns, or kNotFound.
    std::size_t findIndex(const std::string& name) const;
    // As findIndex, for a name already upper-cased and its crc32, when many archives are asked.
    std::size_t findKey(const std::string& key, std::uint32_t crc) const;
    // Number of records in the file table.
    std::size_t getFileCount() const { return m_records.size(); }
    // Name of the entry at table index i, as stored.
    const std::string& getFileName(std::size_t i) const { return m_names[m_records[i].nameIndex]; }
    // Record at table index i.
    const MegaFileRecord& getRecord(std::size_t i) const { return m_records[i]; }
    // The entry at table index i.
    RefPtr<File> openFile(std::size_t i) const;

private:
    void readTables();

    RefPtr<File> m_file;
    std::vector<MegaFileRecord> m_records;
    std::vector<std::string> m_names;
};
