#pragma once

#include "main/ioexception.h"

// A file opened fine but its contents are not what the reader accepts.
class BadFileException : public IOException {
public:
    BadFileException(std::string file, int line, const std::string& name)
        : IOException(std::move(file), line, "Bad or corrupted file:\n" + name) {}
};
