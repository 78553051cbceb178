#pragma once

#include "main/refptr.h"
#include "managers/file.h"

#include <cstdint>
#include <string>

// A file of the operating system, open for reading (others may read it too) for the object's life.
//
// Game paths use backslashes and any letter case; where the file system is case-sensitive,
// '\' is taken as a separator and a path that does not exist as spelled is matched one
// component at a time ignoring case, as Windows does. Every read positions the operating
// system's file pointer from the object's own position first; nothing is buffered.
class PhysicalFile : public File {
public:
    // Opens path: FileNotFoundException when it or a folder on it is missing,
    // IOException "Unable to open file" + path for any other failure.
    explicit PhysicalFile(const std::string& path);
    // The file at path, or none when it cannot be opened for any reason. Cheaper than catching
    // the constructor's errors where a missing file is the common case.
    static RefPtr<File> tryOpen(const std::string& path);

    std::uint32_t size() const override;
    // A failed read returns 0 and leaves the position alone.
    std::uint32_t read(void* buffer, std::uint32_t count) override;

private:
    PhysicalFile(const std::string& path, std::intptr_t handle);
    ~PhysicalFile() override;

    static constexpr std::intptr_t kNoHandle = -1;

    // Opens path for reading (the platform's part); on failure returns kNoHandle and sets missing
    // for a missing file or folder.
    static std::intptr_t openHandle(const std::string& path, bool& missing);

    std::intptr_t m_handle;
};
