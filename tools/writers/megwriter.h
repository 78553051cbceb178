#pragma once

#include "managers/megafilerecord.h"

#include <cstdint>
#include <string>
#include <vector>

// Writes MEG archives: the header, the names in the order given, the file table sorted by the
// CRC-32 of each upper-cased name, then the entries' data in the order given.
class MegWriter {
public:
    // Adds an entry; its name is stored as given.
    void add(const std::string& name, const std::string& data);
    // The whole archive.
    std::string build() const;
    // Writes the archive to path; false when the file cannot be written.
    bool write(const std::string& path) const;

    // The raw layout, for archives a well-behaved writer would never make: the header counts
    // taken from the tables, names and records exactly as given, then payload.
    static std::string layout(const std::vector<std::string>& names,
                              const std::vector<MegaFileRecord>& records, const std::string& payload);
    // Bytes the header and tables of such an archive take.
    static std::uint32_t tablesSize(const std::vector<std::string>& names, std::size_t recordCount);

private:
    struct Entry {
        std::string name;
        std::string data;
    };
    std::vector<Entry> m_entries;
};
