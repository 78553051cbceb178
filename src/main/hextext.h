#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// value as "0x" and upper-case hex digits, at least digits of them, as messages print ids and
// magic values. Inline, so that readers which link nothing else of the program can use it.
inline std::string hexText(std::uint32_t value, int digits = 1) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}
