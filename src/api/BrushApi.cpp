#include <new>

#include "api/Export.h"
#include "view/Brush.h"

using velmira::Brush;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(Brush, VmBrush, Brush)

namespace {
Brush* Of(VmBrush* h) { return Unwrap<Brush>(h); }
}  // namespace

extern "C" VmBrush* Brush_New(void) { return Wrap<VmBrush>(new (std::nothrow) Brush()); }

extern "C" int16_t Brush_GetRed(VmBrush* h) { return Of(h)->Red; }
extern "C" void Brush_SetRed(VmBrush* h, int16_t value) { Of(h)->Red = value; }
extern "C" int16_t Brush_GetGreen(VmBrush* h) { return Of(h)->Green; }
extern "C" void Brush_SetGreen(VmBrush* h, int16_t value) { Of(h)->Green = value; }
extern "C" int16_t Brush_GetBlue(VmBrush* h) { return Of(h)->Blue; }
extern "C" void Brush_SetBlue(VmBrush* h, int16_t value) { Of(h)->Blue = value; }
extern "C" uint8_t Brush_GetTransparent(VmBrush* h) { return Of(h)->Transparent; }
extern "C" void Brush_SetTransparent(VmBrush* h, uint8_t value) { Of(h)->Transparent = value; }
