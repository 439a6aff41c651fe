#include "api/OverlayExport.h"
#include "view/Label.h"

using velmira::Label;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_OVERLAY_FRAME(Label, VmLabel, Label)
VELMIRA_OVERLAY_PLACEMENT(Label, VmLabel, Label)
// Label's own SetPen and SetBrush measure the label again.
VELMIRA_OVERLAY_PEN(Label, VmLabel, Label)
VELMIRA_OVERLAY_BRUSH(Label, VmLabel, Label)

namespace {
Label* Of(VmLabel* h) { return Unwrap<Label>(h); }
}  // namespace

// The requested size; GetWidth and GetHeight give the box size, measured or requested.
extern "C" void Label_SetWidth(VmLabel* h, int32_t width) { Of(h)->SetRequestedWidth(width); }
extern "C" void Label_SetHeight(VmLabel* h, int32_t height) { Of(h)->SetRequestedHeight(height); }

extern "C" int32_t Label_GetAlignX(VmLabel* h) { return Of(h)->GetAlignX(); }
extern "C" void Label_SetAlignX(VmLabel* h, int32_t align) { Of(h)->SetAlignX(align); }
extern "C" int32_t Label_GetAlignY(VmLabel* h) { return Of(h)->GetAlignY(); }
extern "C" void Label_SetAlignY(VmLabel* h, int32_t align) { Of(h)->SetAlignY(align); }
extern "C" int32_t Label_GetTextHAlign(VmLabel* h) { return Of(h)->GetTextHAlign(); }
extern "C" void Label_SetTextHAlign(VmLabel* h, int32_t align) { Of(h)->SetTextHAlign(align); }
extern "C" int32_t Label_GetTextVAlign(VmLabel* h) { return Of(h)->GetTextVAlign(); }
extern "C" void Label_SetTextVAlign(VmLabel* h, int32_t align) { Of(h)->SetTextVAlign(align); }

extern "C" BSTR Label_GetText(VmLabel* h, BSTR* out) {
  return velmira::api::CopyString(Of(h)->GetText(), out);
}
extern "C" void Label_SetText(VmLabel* h, const WCHAR* text) { Of(h)->SetText(text); }

extern "C" VmTextFont* Label_GetTextFont(VmLabel* h) {
  return Wrap<VmTextFont>(Of(h)->GetTextFont().Detach());
}
extern "C" void Label_SetTextFont(VmLabel* h, VmTextFont* font) {
  Of(h)->SetTextFont(Unwrap<velmira::TextFont>(font));
}
