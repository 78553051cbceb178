#include "model/chunkreader.h"

#include "main/ioexception.h"
#include "managers/megasubfile.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kSizeMask = 0x7FFFFFFFu;

bool readWord(File& file, std::uint32_t& value) {
    unsigned char b[4];
    if (file.read(b, 4) != 4) {
        return false;
    }
    value = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
            std::uint32_t{b[3]} << 24;
    return true;
}

} // namespace

ChunkReader::ChunkReader(File& parent) {
    std::uint32_t sizeWord = 0;
    if (!readWord(parent, m_id) || !readWord(parent, sizeWord)) {
        throw IOException(__FILE__, __LINE__, "Unable to read chunk header");
    }
    m_size = sizeWord & kSizeMask;
    m_dataStart = parent.tell();
    m_data = makeRef<MegaSubFile>(&parent, m_dataStart, m_size);
}

std::uint32_t ChunkReader::getEnd() const {
    const std::uint64_t end = std::uint64_t{m_dataStart} + m_size;
    return end > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(end);
}

std::vector<unsigned char> ChunkReader::readData() {
    m_data->seek(0);
    std::vector<unsigned char> data = m_data->readBytes(m_size);
    if (data.size() < m_size) {
        throw IOException(__FILE__, __LINE__, "Unable to read chunk data");
    }
    return data;
}

std::string ChunkReader::textOf(const std::vector<unsigned char>& data) {
    const auto end = std::find(data.begin(), data.end(), 0);
    return std::string(data.begin(), end);
}
