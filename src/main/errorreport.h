#pragma once

#include <string>

class Exception;

// The text of the top-level error box: where the error was raised, a blank line, the message.
std::string composeErrorReport(const Exception& error);
