#include "main/hresultdescription.h"

#include <windows.h>

#include <dxerr9.h>

std::string describeHResult(std::int32_t result) {
    // The SDK's own table; it answers "n/a" for codes it does not know.
    const char* text = DXGetErrorDescription9A(static_cast<HRESULT>(result));
    return text != nullptr ? text : "n/a";
}
