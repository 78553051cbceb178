#pragma once

#include <cstdint>
#include <string>

// Text describing a Direct3D / D3DX result code, "n/a" for a code the table does not know.
std::string describeHResult(std::int32_t result);
