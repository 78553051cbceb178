#include "managers/file.h"

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

void File::addRef() {
    ++m_refCount;
}

void File::release() {
    if (--m_refCount == 0) {
        delete this;
    }
}
