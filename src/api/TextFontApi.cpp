#include "api/Export.h"
#include "view/TextFont.h"

using velmira::Pen;
using velmira::Ref;
using velmira::Text;
using velmira::TextFont;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(TextFont, VmTextFont, TextFont)

namespace {
TextFont* Of(VmTextFont* h) { return Unwrap<TextFont>(h); }
}  // namespace

extern "C" VmTextFont* TextFont_New(void) { return Wrap<VmTextFont>(new TextFont()); }

extern "C" BSTR TextFont_GetFace(VmTextFont* h, BSTR* out) {
  // A copy-class string: a fresh Text's wide copy leaves it and goes to the caller, so the
  // face itself never holds a string the caller could free.
  const Text& face = Of(h)->GetFace();
  Ref<Text> copy = velmira::MakeRef<Text>(face.Chars(), face.Length());
  copy->GetWide();
  BSTR wide = copy->DetachWide();
  if (out != nullptr) *out = wide;
  return wide;
}

extern "C" void TextFont_SetFace(VmTextFont* h, const WCHAR* face) { Of(h)->SetFace(face); }

// A null pointer reads or writes nothing: these accessors never touch the error record.
extern "C" void TextFont_GetSize(VmTextFont* h, double* out) {
  if (out != nullptr) *out = Of(h)->GetSize();
}
extern "C" void TextFont_SetSize(VmTextFont* h, const double* value) {
  if (value != nullptr) Of(h)->SetSize(*value);
}

extern "C" uint8_t TextFont_GetBold(VmTextFont* h) { return Of(h)->GetBold(); }
extern "C" void TextFont_SetBold(VmTextFont* h, uint8_t bold) { Of(h)->SetBold(bold); }
extern "C" uint8_t TextFont_GetItalic(VmTextFont* h) { return Of(h)->GetItalic(); }
extern "C" void TextFont_SetItalic(VmTextFont* h, uint8_t italic) { Of(h)->SetItalic(italic); }

extern "C" VmPen* TextFont_GetColor(VmTextFont* h) {
  return Wrap<VmPen>(Of(h)->GetColor().Detach());
}
extern "C" void TextFont_SetColor(VmTextFont* h, VmPen* pen) {
  Of(h)->SetColor(Unwrap<Pen>(pen));
}
