#include "api/OverlayExport.h"

#include "platform/Strings.h"

namespace velmira::api {

BSTR CopyString(const Text* text, BSTR* out) {
  // Widened unit by unit, as Text's own wide copy does: characters 128..255 keep their value.
  const int length = text != nullptr ? text->Length() : 0;
  BSTR wide = platform::SysAllocStringLen(nullptr, static_cast<uint32_t>(length));
  if (wide != nullptr) {
    for (int i = 0; i < length; ++i) wide[i] = static_cast<unsigned char>(text->Chars()[i]);
  }
  if (out != nullptr) *out = wide;
  return wide;
}

}  // namespace velmira::api
