// Counted wide strings (BSTR): a 32-bit byte-length prefix, the UTF-16 units, a NUL unit.
#pragma once

#include <cstdint>

#include "velmira/platform.h"

namespace platform {

BSTR SysAllocStringLen(const WCHAR* text, uint32_t length);
void SysFreeString(BSTR s);
uint32_t SysStringLen(BSTR s);

// Length in units of a NUL-terminated wide text; 0 for null.
uint32_t WideLength(const WCHAR* text);

}  // namespace platform
