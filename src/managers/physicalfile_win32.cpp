#include "managers/physicalfile.h"

#include "main/filenotfoundexception.h"
#include "main/ioexception.h"

#include <windows.h>

namespace {

HANDLE toHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

std::intptr_t PhysicalFile::openHandle(const std::string& path, bool& missing) {
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return -1;
    }
    return reinterpret_cast<std::intptr_t>(handle);
}

PhysicalFile::PhysicalFile(const std::string& path) : File(path) {
    bool missing = false;
    m_handle = openHandle(path, missing);
    if (m_handle == -1) {
        if (missing) {
            throw FileNotFoundException(__FILE__, __LINE__, path);
        }
        throw IOException(__FILE__, __LINE__, "Unable to open file" + path);
    }
}

PhysicalFile::PhysicalFile(const std::string& path, std::intptr_t handle) : File(path), m_handle(handle) {}

RefPtr<File> PhysicalFile::tryOpen(const std::string& path) {
    bool missing = false;
    const std::intptr_t handle = openHandle(path, missing);
    if (handle == -1) {
        return nullptr;
    }
    return RefPtr<File>::adopt(new PhysicalFile(path, handle));
}

PhysicalFile::~PhysicalFile() {
    CloseHandle(toHandle(m_handle));
}

std::uint32_t PhysicalFile::size() const {
    // The low 32 bits only: files of 4 GiB and more are outside the design.
    return GetFileSize(toHandle(m_handle), nullptr);
}

std::uint32_t PhysicalFile::read(void* buffer, std::uint32_t count) {
    // With a high word given, the low one counts as unsigned: positions past 2 GiB seek right
    // instead of failing and leaving the read where the last one ended.
    LONG high = 0;
    SetFilePointer(toHandle(m_handle), static_cast<LONG>(m_position), &high, FILE_BEGIN);
    DWORD got = 0;
    if (!ReadFile(toHandle(m_handle), buffer, count, &got, nullptr)) {
        return 0;
    }
    m_position += got;
    return got;
}
