#include "managers/megasubfile.h"

MegaSubFile::MegaSubFile(File* parent, std::uint32_t start, std::uint32_t size)
    : File(parent->getName()), m_parent(RefPtr<File>::share(parent)), m_start(start), m_size(size) {}

MegaSubFile::~MegaSubFile() = default;

std::uint32_t MegaSubFile::read(void* buffer, std::uint32_t count) {
    const std::uint32_t left = m_size - m_position;
    const std::uint32_t n = count < left ? count : left;
    if (n == 0) {
        return 0;
    }
    // A window declared past 4 GiB would wrap around to the start of the parent; there is
    // nothing to read out there.
    const std::uint64_t offset = std::uint64_t{m_start} + m_position;
    if (offset > 0xFFFFFFFFu) {
        return 0;
    }
    m_parent->seek(static_cast<std::uint32_t>(offset));
    const std::uint32_t got = m_parent->read(buffer, n);
    m_position += got;
    return got;
}
