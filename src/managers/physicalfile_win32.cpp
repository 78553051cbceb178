#include "managers/physicalfile.h"

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
        return kNoHandle;
    }
    return reinterpret_cast<std::intptr_t>(handle);
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
