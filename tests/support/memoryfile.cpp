#include "support/memoryfile.h"

#include <algorithm>
#include <cstring>

// Out of line, so that a compiler seeing readAll beside another File does not guess this one.
std::uint32_t MemoryFile::read(void* buffer, std::uint32_t count) {
    ++m_readCalls;
    const std::uint32_t n = m_position >= m_failFrom ? 0 : std::min(count, size() - m_position);
    std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    return n;
}

std::string readAll(File& file) {
    std::string out;
    char block[5];
    while (std::uint32_t n = file.read(block, sizeof block)) {
        out.append(block, n);
    }
    return out;
}
