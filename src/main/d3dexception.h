#pragma once

#include "main/exception.h"

#include <cstdint>

// A Direct3D or D3DX call the program cannot go on without failed.
// The message is the description of the HRESULT; the code itself is not kept.
class D3DException : public Exception {
public:
    D3DException(std::string file, int line, std::int32_t result);
};
