#pragma once

#include "main/ioexception.h"

// A file or one of its folders does not exist.
class FileNotFoundException : public IOException {
public:
    FileNotFoundException(std::string file, int line, const std::string& path)
        : IOException(std::move(file), line, "Unable to find file:\n" + path) {}
};
