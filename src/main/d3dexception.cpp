#include "main/d3dexception.h"

#include "main/hresultdescription.h"

#include <utility>

D3DException::D3DException(std::string file, int line, std::int32_t result)
    : Exception(std::move(file), line, describeHResult(result)) {}
