#include "managers/file.h"

#include <algorithm>
#include <utility>

File::File(std::string name) : m_name(std::move(name)) {}

File::~File() = default;

bool File::isEOF() const {
    return tell() == size();
}

void File::seek(std::uint32_t offset) {
    const std::uint32_t end = size();
    m_position = offset < end ? offset : end;
}

std::uint32_t File::tell() const {
    return m_position;
}

std::vector<unsigned char> File::readBytes(std::uint32_t count) {
    std::vector<unsigned char> bytes;
    const std::uint32_t start = tell();
    if (count == 0) {
        return bytes;
    }
    // When the last byte can be read, every byte before it can: one allocation and one read.
    const std::uint64_t last = std::uint64_t{start} + count - 1;
    unsigned char probe;
    if (last <= 0xFFFFFFFFu) {
        seek(static_cast<std::uint32_t>(last));
        if (read(&probe, 1) == 1) {
            bytes.resize(count);
            seek(start);
            bytes.resize(read(bytes.data(), count));
            return bytes;
        }
        seek(start);
    }
    // Otherwise grow step by step with what arrives.
    constexpr std::uint32_t kFirstStep = 1u << 20;
    std::uint32_t got = 0;
    while (got < count) {
        const std::uint32_t step = std::min(count - got, std::max(kFirstStep, got));
        bytes.resize(std::size_t{got} + step);
        const std::uint32_t n = read(bytes.data() + got, step);
        got += n;
        if (n < step) {
            break;
        }
    }
    bytes.resize(got);
    return bytes;
}

void File::addRef() {
    ++m_refCount;
}

void File::release() {
    if (--m_refCount == 0) {
        delete this;
    }
}
