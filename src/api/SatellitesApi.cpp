#include "api/Export.h"
#include "gps/Satellites.h"

using velmira::Satellites;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(Satellites, VmSatellites, Satellites)

extern "C" int16_t Satellites_GetCount(VmSatellites* h) {
  Satellites* s = Unwrap<Satellites>(h);
  s->GetError().Clear();
  return s->GetCount();
}

extern "C" VmSatellite* Satellites_Item(VmSatellites* h, int16_t index) {
  return Wrap<VmSatellite>(Unwrap<Satellites>(h)->Item(index));
}
