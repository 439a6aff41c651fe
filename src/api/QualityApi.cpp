#include "api/Export.h"
#include "gps/Quality.h"

using velmira::Quality;
using velmira::api::Unwrap;

VELMIRA_FAMILY_FRAME(Quality, VmQuality, Quality)

namespace {

void Put(VmQuality* h, double Quality::*value, double* out) {
  Quality* q = Unwrap<Quality>(h);
  q->GetError().Clear();
  if (out != nullptr) *out = q->*value;
}

}  // namespace

extern "C" void Quality_GetHDOP(VmQuality* h, double* out) { Put(h, &Quality::HDOP, out); }
extern "C" void Quality_GetVDOP(VmQuality* h, double* out) { Put(h, &Quality::VDOP, out); }
extern "C" void Quality_GetPDOP(VmQuality* h, double* out) { Put(h, &Quality::PDOP, out); }
