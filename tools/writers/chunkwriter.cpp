#include "writers/chunkwriter.h"

#include "writers/bytewriter.h"

#include <stdexcept>

namespace {

constexpr std::uint32_t kFlag = 0x80000000u;

std::string headerBytes(std::uint32_t id, std::uint32_t sizeWord) {
    ByteWriter w;
    w.u32(id).u32(sizeWord);
    return w.data();
}

} // namespace

ChunkWriter& ChunkWriter::begin(std::uint32_t id, bool flag) {
    m_open.push_back(m_bytes.size());
    m_bytes += headerBytes(id, flag ? kFlag : 0);
    return *this;
}

ChunkWriter& ChunkWriter::end() {
    if (m_open.empty()) {
        throw std::logic_error("ChunkWriter::end without begin");
    }
    const std::size_t at = m_open.back();
    m_open.pop_back();
    const auto size = static_cast<std::uint32_t>(m_bytes.size() - at - 8);
    const auto flag = static_cast<std::uint32_t>(static_cast<unsigned char>(m_bytes[at + 7])) << 24 & kFlag;
    const std::string word = headerBytes(0, size | flag).substr(4);
    m_bytes.replace(at + 4, 4, word);
    return *this;
}

ChunkWriter& ChunkWriter::data(std::uint32_t id, const std::string& bytes, bool flag) {
    m_bytes += headerBytes(id, static_cast<std::uint32_t>(bytes.size()) | (flag ? kFlag : 0));
    m_bytes += bytes;
    return *this;
}

ChunkWriter& ChunkWriter::text(std::uint32_t id, const std::string& value) {
    return data(id, value + std::string(1, '\0'));
}

ChunkWriter& ChunkWriter::header(std::uint32_t id, std::uint32_t sizeWord) {
    m_bytes += headerBytes(id, sizeWord);
    return *this;
}

ChunkWriter& ChunkWriter::raw(const std::string& bytes) {
    m_bytes += bytes;
    return *this;
}

const std::string& ChunkWriter::bytes() const {
    if (!m_open.empty()) {
        throw std::logic_error("ChunkWriter: a container is still open");
    }
    return m_bytes;
}

std::string ChunkWriter::mini(std::uint8_t id, const std::string& payload) {
    ByteWriter w;
    w.u8(id).u8(static_cast<std::uint32_t>(payload.size())).bytes(payload);
    return w.data();
}
