#include <new>

#include "api/Export.h"
#include "view/Pen.h"

using velmira::Pen;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(Pen, VmPen, Pen)

namespace {
Pen* Of(VmPen* h) { return Unwrap<Pen>(h); }
}  // namespace

extern "C" VmPen* Pen_New(void) { return Wrap<VmPen>(new (std::nothrow) Pen()); }

extern "C" int16_t Pen_GetRed(VmPen* h) { return Of(h)->Red; }
extern "C" void Pen_SetRed(VmPen* h, int16_t value) { Of(h)->Red = value; }
extern "C" int16_t Pen_GetGreen(VmPen* h) { return Of(h)->Green; }
extern "C" void Pen_SetGreen(VmPen* h, int16_t value) { Of(h)->Green = value; }
extern "C" int16_t Pen_GetBlue(VmPen* h) { return Of(h)->Blue; }
extern "C" void Pen_SetBlue(VmPen* h, int16_t value) { Of(h)->Blue = value; }
extern "C" int16_t Pen_GetWidth(VmPen* h) { return Of(h)->GetWidth(); }
extern "C" void Pen_SetWidth(VmPen* h, int16_t width) { Of(h)->SetWidth(width); }
