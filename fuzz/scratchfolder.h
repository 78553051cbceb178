#pragma once

#include <string>

// A private folder under the system's temporary folder where a fuzz target lays out each input as
// the files the program opens. Removed with everything in it when the process ends normally.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's path followed by a separator, as a data folder is given.
    std::string folder() const { return m_path + "/"; }
    // Replaces the file at the relative path ('/' separators) with bytes, creating its folders;
    // returns its full path.
    std::string write(const std::string& relative, const std::string& bytes) const;
    // Removes the file at the relative path, if there is one.
    void remove(const std::string& relative) const;

private:
    std::string m_path;
};
