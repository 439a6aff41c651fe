#include "platform/Strings.h"

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

constexpr uint32_t PrefixBytes = sizeof(uint32_t);
// The prefix holds the byte length, so the unit count must leave it representable.
constexpr uint32_t MaxUnits = (UINT32_MAX - PrefixBytes - sizeof(WCHAR)) / sizeof(WCHAR) / 2;

}  // namespace

BSTR SysAllocStringLen(const WCHAR* text, uint32_t length) {
  if (length > MaxUnits) return nullptr;
  size_t bytes = PrefixBytes + (static_cast<size_t>(length) + 1) * sizeof(WCHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(bytes));
  if (block == nullptr) return nullptr;
  uint32_t byteLength = length * static_cast<uint32_t>(sizeof(WCHAR));
  std::memcpy(block, &byteLength, PrefixBytes);
  auto* units = reinterpret_cast<WCHAR*>(block + PrefixBytes);
  if (text != nullptr) {
    std::memcpy(units, text, length * sizeof(WCHAR));
  } else {
    std::memset(units, 0, length * sizeof(WCHAR));
  }
  units[length] = 0;
  return units;
}

void SysFreeString(BSTR s) {
  if (s == nullptr) return;
  std::free(reinterpret_cast<unsigned char*>(s) - PrefixBytes);
}

uint32_t SysStringLen(BSTR s) {
  if (s == nullptr) return 0;
  uint32_t byteLength;
  std::memcpy(&byteLength, reinterpret_cast<unsigned char*>(s) - PrefixBytes, PrefixBytes);
  return byteLength / sizeof(WCHAR);
}

uint32_t WideLength(const WCHAR* text) {
  if (text == nullptr) return 0;
  uint32_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

}  // namespace platform
