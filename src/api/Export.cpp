#include "api/Export.h"

namespace velmira::api {

BSTR KeptString::Keep(Text* text, BSTR* out) {
  Held = Ref<Text>::Adopt(text);
  BSTR wide = Held ? Held->GetWide() : nullptr;
  if (out != nullptr) *out = wide;
  return wide;
}

}  // namespace velmira::api
