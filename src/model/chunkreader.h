#pragma once

#include "main/refptr.h"
#include "managers/file.h"

#include <cstdint>
#include <string>
#include <vector>

// One chunk of a nested chunk file (.ALO), read at its parent's position.
//
//   offset  size  field
//   0       4     id, little-endian; its meaning depends on the enclosing chunk
//   4       4     size: bits 0-30 the number of data bytes that follow, bit 31 a flag
//   8       size  data: raw bytes, or child chunks laid end to end (decided by the id alone)
//
// The data is presented as a File of its own, a window onto the parent that holds a reference
// on it and bears its name, so errors found deep inside still name the model file.
class ChunkReader {
public:
    // Reads the header from parent's position; IOException "Unable to read chunk header" when
    // fewer than 8 bytes are left. The parent is left at the first data byte.
    explicit ChunkReader(File& parent);
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;

    // The chunk id.
    std::uint32_t getId() const { return m_id; }
    // The data length: the size word without bit 31.
    std::uint32_t getSize() const { return m_size; }
    // Position of the first data byte in the parent.
    std::uint32_t getDataStart() const { return m_dataStart; }
    // Position just after the data in the parent, saturated at 4 GiB - 1 so that seeking there
    // always ends at or beyond the parent's end rather than wrapping around to its start.
    std::uint32_t getEnd() const;
    // The data as a File of its own, positioned at 0 when the reader is new.
    File& getDataFile() const { return *m_data; }
    // The whole data; IOException "Unable to read chunk data" when the file ends inside it.
    std::vector<unsigned char> readData();

    // Walks the chunks of container from its position to its end: handle(reader) for each,
    // then the container is moved past that chunk's data whatever the handler read.
    template <class Handler>
    static void walk(File& container, Handler&& handle) {
        while (!container.isEOF()) {
            ChunkReader chunk(container);
            handle(chunk);
            container.seek(chunk.getEnd());
        }
    }

    // The text of a text chunk's data: the bytes up to the first zero byte, or all of them when
    // there is none (a text is never read past the chunk's data).
    static std::string textOf(const std::vector<unsigned char>& data);

private:
    std::uint32_t m_id;
    std::uint32_t m_size;
    std::uint32_t m_dataStart;
    RefPtr<File> m_data;
};
