#pragma once

#include <string>

// The text with every letter a-z turned into A-Z and every other byte kept, as lookup keys are spelled.
std::string toUpperAscii(std::string text);

// The text with every letter A-Z turned into a-z and every other byte kept.
std::string toLowerAscii(std::string text);
