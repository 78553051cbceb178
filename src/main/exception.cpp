#include "main/exception.h"

#include <utility>

Exception::Exception(std::string file, int line, std::string message)
    : m_file(std::move(file)), m_message(std::move(message)), m_line(line) {}

Exception::~Exception() = default;
