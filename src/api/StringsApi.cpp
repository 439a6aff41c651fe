#include "platform/Strings.h"

extern "C" BSTR SysAllocStringLen(const WCHAR* text, uint32_t length) {
  return platform::SysAllocStringLen(text, length);
}

extern "C" void SysFreeString(BSTR s) { platform::SysFreeString(s); }

extern "C" uint32_t SysStringLen(BSTR s) { return platform::SysStringLen(s); }
