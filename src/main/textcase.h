#pragma once

#include <string>

// The text with every letter a-z turned into A-Z and every other byte kept, as lookup keys are spelled.
std::string toUpperAscii(std::string text);
