#pragma once

#include "main/exception.h"

#include <utility>

// A file could not be opened or read.
class IOException : public Exception {
public:
    IOException(std::string file, int line, std::string message)
        : Exception(std::move(file), line, std::move(message)) {}
};
