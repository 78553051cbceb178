#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes nested chunk files: each chunk an 8-byte header (id, then size with bit 31 as a flag)
// followed by raw data or by child chunks. Containers are opened with begin and closed with end,
// which fills in their size.
class ChunkWriter {
public:
    // Opens a container chunk; flag sets bit 31 of its size word.
    ChunkWriter& begin(std::uint32_t id, bool flag = false);
    // Closes the innermost open container.
    ChunkWriter& end();
    // A chunk holding bytes.
    ChunkWriter& data(std::uint32_t id, const std::string& bytes, bool flag = false);
    // A chunk holding text and its terminating zero byte.
    ChunkWriter& text(std::uint32_t id, const std::string& text);
    // A chunk header declaring size bytes, with no data behind it.
    ChunkWriter& header(std::uint32_t id, std::uint32_t sizeWord);
    // Bytes placed as they are, outside any chunk framing.
    ChunkWriter& raw(const std::string& bytes);

    // The file written so far; every container must be closed.
    const std::string& bytes() const;

    // One mini-chunk: id byte, length byte, payload.
    static std::string mini(std::uint8_t id, const std::string& payload);

private:
    std::string m_bytes;
    std::vector<std::size_t> m_open;
};
