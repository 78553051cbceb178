#include "managers/loadedfile.h"

#include <algorithm>
#include <cstring>

LoadedFile::LoadedFile(File& source)
    : File(source.getName()), m_size(source.size() - source.tell()), m_bytes(source.readBytes(m_size)) {}

LoadedFile::~LoadedFile() = default;

std::uint32_t LoadedFile::read(void* buffer, std::uint32_t count) {
    const auto loaded = static_cast<std::uint32_t>(m_bytes.size());
    if (m_position >= loaded) {
        return 0;
    }
    const std::uint32_t n = std::min(count, loaded - m_position);
    std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    return n;
}
