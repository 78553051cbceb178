#include "writers/megwriter.h"

#include "main/textcase.h"
#include "managers/crc32.h"
#include "writers/bytewriter.h"

#include <algorithm>

void MegWriter::add(const std::string& name, const std::string& data) {
    m_entries.push_back({name, data});
}

std::string MegWriter::build() const {
    std::vector<std::string> names;
    for (const Entry& e : m_entries) {
        names.push_back(e.name);
    }
    std::uint32_t start = tablesSize(names, m_entries.size());
    std::vector<MegaFileRecord> records;
    std::string payload;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const std::string key = toUpperAscii(m_entries[i].name);
        MegaFileRecord r;
        r.crc = crc32(key.data(), key.size());
        r.size = static_cast<std::uint32_t>(m_entries[i].data.size());
        r.start = start;
        r.nameIndex = static_cast<std::uint32_t>(i);
        records.push_back(r);
        payload += m_entries[i].data;
        start += r.size;
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const MegaFileRecord& a, const MegaFileRecord& b) { return a.crc < b.crc; });
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].index = static_cast<std::uint32_t>(i);
    }
    return layout(names, records, payload);
}

bool MegWriter::write(const std::string& path) const {
    return ByteWriter::saveFile(path, build());
}

std::string MegWriter::layout(const std::vector<std::string>& names,
                              const std::vector<MegaFileRecord>& records, const std::string& payload) {
    ByteWriter w;
    w.u32(static_cast<std::uint32_t>(names.size())).u32(static_cast<std::uint32_t>(records.size()));
    for (const std::string& name : names) {
        w.u16(static_cast<std::uint32_t>(name.size())).bytes(name);
    }
    for (const MegaFileRecord& r : records) {
        w.u32(r.crc).u32(r.index).u32(r.size).u32(r.start).u32(r.nameIndex);
    }
    w.bytes(payload);
    return w.data();
}

std::uint32_t MegWriter::tablesSize(const std::vector<std::string>& names, std::size_t recordCount) {
    std::size_t size = 8 + 20 * recordCount;
    for (const std::string& name : names) {
        size += 2 + name.size();
    }
    return static_cast<std::uint32_t>(size);
}
