#pragma once

#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, without a trailing separator.
    const std::string& path() const { return m_path; }
    // path() followed by a separator, as a data folder is given.
    std::string folder() const { return m_path + "/"; }
    // Writes bytes to the relative path (with '/' separators), creating its folders.
    std::string write(const std::string& relative, const std::string& bytes) const;

private:
    std::string m_path;
};
