#pragma once

#include "main/exception.h"

#include <utility>

// A document is not well-formed; the message carries the parser's text and line.
class ParseException : public Exception {
public:
    ParseException(std::string file, int line, std::string message)
        : Exception(std::move(file), line, std::move(message)) {}
};
