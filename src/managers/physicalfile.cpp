#include "managers/physicalfile.h"

#include "main/filenotfoundexception.h"
#include "main/ioexception.h"

PhysicalFile::PhysicalFile(const std::string& path) : File(path) {
    bool missing = false;
    m_handle = openHandle(path, missing);
    if (m_handle == kNoHandle) {
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
    if (handle == kNoHandle) {
        return nullptr;
    }
    return RefPtr<File>::adopt(new PhysicalFile(path, handle));
}
