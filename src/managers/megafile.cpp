#include "managers/megafile.h"

#include "main/badfileexception.h"
#include "main/ioexception.h"
#include "main/textcase.h"
#include "managers/crc32.h"
#include "managers/megasubfile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint32_t kRecordSize = 20;
constexpr std::uint32_t kBlockSize = 64 * 1024;

// Reads a file front to back in large blocks, so that a table of many small fields costs a few
// reads of the file rather than one per field.
class BlockReader {
public:
    explicit BlockReader(File& file) : m_file(file), m_block(kBlockSize) {}

    // Copies count bytes; false when the file ends first.
    bool take(void* out, std::uint32_t count) {
        auto* dst = static_cast<unsigned char*>(out);
        while (count > 0) {
            if (m_begin == m_end) {
                m_begin = 0;
                m_end = m_file.read(m_block.data(), kBlockSize);
                if (m_end == 0) {
                    return false;
                }
            }
            const std::uint32_t n = std::min(count, m_end - m_begin);
            std::memcpy(dst, m_block.data() + m_begin, n);
            m_begin += n;
            dst += n;
            count -= n;
        }
        return true;
    }

    // Bytes the file could still deliver, for bounding allocations by what a count claims.
    std::uint32_t remaining() const { return m_file.size() - m_file.tell() + (m_end - m_begin); }

private:
    File& m_file;
    std::vector<unsigned char> m_block;
    std::uint32_t m_begin = 0;
    std::uint32_t m_end = 0;
};

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint32_t le16(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8;
}

} // namespace

MegaFile::MegaFile(File* file) : m_file(RefPtr<File>::share(file)) {
    try {
        readTables();
    } catch (const IOException&) {
        // The reference taken above goes with m_file as the construction unwinds.
        throw BadFileException(__FILE__, __LINE__, m_file->getName());
    }
    for (const MegaFileRecord& record : m_records) {
        if (record.nameIndex >= m_names.size()) {
            throw BadFileException(__FILE__, __LINE__, m_file->getName());
        }
    }
}

MegaFile::~MegaFile() = default;

// Archive layout, little-endian, parts back to back from the file's first byte:
//
//   offset  size  field
//   0       4     name count
//   4       4     file count
//   8       ...   name table: per name, 2-byte length then that many bytes (no terminator)
//   ...     ...   file table: per record, 20 bytes
//                   0 crc, 4 index, 8 size, 12 start, 16 nameIndex (4 bytes each)
//
// Entry data lies elsewhere, reached through start and size only.
void MegaFile::readTables() {
    BlockReader in(*m_file);
    unsigned char word[4];
    if (!in.take(word, 4)) {
        throw IOException(__FILE__, __LINE__, "Unable to read file header");
    }
    const std::uint32_t nameCount = le32(word);
    if (!in.take(word, 4)) {
        throw IOException(__FILE__, __LINE__, "Unable to read file header");
    }
    const std::uint32_t fileCount = le32(word);

    // Every name takes at least its 2 length bytes: never reserve more than the file can hold.
    m_names.reserve(std::min<std::uint32_t>(nameCount, in.remaining() / 2));
    std::vector<char> name;
    for (std::uint32_t i = 0; i < nameCount; ++i) {
        if (!in.take(word, 2)) {
            throw IOException(__FILE__, __LINE__, "Unable to read string table");
        }
        const std::uint32_t length = le16(word);
        name.resize(length);
        if (!in.take(name.data(), length)) {
            throw IOException(__FILE__, __LINE__, "Unable to read string table");
        }
        // A stored name ends at its first zero byte.
        const auto end = std::find(name.begin(), name.end(), '\0');
        m_names.emplace_back(name.begin(), end);
    }

    m_records.reserve(std::min<std::uint32_t>(fileCount, in.remaining() / kRecordSize));
    unsigned char raw[kRecordSize];
    for (std::uint32_t i = 0; i < fileCount; ++i) {
        if (!in.take(raw, kRecordSize)) {
            throw IOException(__FILE__, __LINE__, "Unable to read file table");
        }
        MegaFileRecord record;
        record.crc = le32(raw);
        record.index = le32(raw + 4);
        record.size = le32(raw + 8);
        record.start = le32(raw + 12);
        record.nameIndex = le32(raw + 16);
        m_records.push_back(record);
    }
}

RefPtr<File> MegaFile::find(const std::string& name) const {
    const std::size_t index = findIndex(name);
    return index == kNotFound ? nullptr : openFile(index);
}

std::size_t MegaFile::findIndex(const std::string& name) const {
    const std::string key = toUpperAscii(name);
    return findKey(key, crc32(key.data(), key.size()));
}

std::size_t MegaFile::findKey(const std::string& key, std::uint32_t crc) const {
    std::int64_t lo = 0;
    std::int64_t hi = static_cast<std::int64_t>(m_records.size()) - 1;
    while (lo <= hi) {
        const std::int64_t mid = (lo + hi) / 2;
        const std::uint32_t found = m_records[static_cast<std::size_t>(mid)].crc;
        if (found == crc) {
            // Entries whose names share a CRC sit side by side; a lone one is taken on its CRC alone.
            auto first = static_cast<std::size_t>(mid);
            auto last = first;
            while (first > 0 && m_records[first - 1].crc == crc) {
                --first;
            }
            while (last + 1 < m_records.size() && m_records[last + 1].crc == crc) {
                ++last;
            }
            if (first == last) {
                return first;
            }
            for (std::size_t k = first; k <= last; ++k) {
                if (m_names[m_records[k].nameIndex] == key) {
                    return k;
                }
            }
            return kNotFound;
        }
        if (crc < found) {
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    return kNotFound;
}

RefPtr<File> MegaFile::openFile(std::size_t i) const {
    return makeRef<MegaSubFile>(m_file.get(), m_records[i].start, m_records[i].size);
}
