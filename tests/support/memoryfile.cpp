#include "support/memoryfile.h"

#include <cstring>
#include <utility>

MemoryFile::MemoryFile(std::string bytes, std::string name)
    : File(std::move(name)), m_bytes(std::move(bytes)) {}

MemoryFile::~MemoryFile() {
    if (m_destroyed != nullptr) {
        *m_destroyed = true;
    }
}

std::uint32_t MemoryFile::read(void* buffer, std::uint32_t count) {
    ++m_readCalls;
    if (m_position >= m_failFrom) {
        return 0;
    }
    const std::uint32_t left = size() - m_position;
    const std::uint32_t n = count < left ? count : left;
    std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    return n;
}
