#include "api/Export.h"
#include "gps/Satellites.h"

using velmira::Satellite;
using velmira::api::Unwrap;

VELMIRA_FAMILY_FRAME(Satellite, VmSatellite, Satellite)

namespace {

int16_t Read(VmSatellite* h, int16_t Satellite::*value) {
  Satellite* s = Unwrap<Satellite>(h);
  s->GetError().Clear();
  return s->*value;
}

}  // namespace

extern "C" int16_t Satellite_GetID(VmSatellite* h) { return Read(h, &Satellite::Id); }
extern "C" int16_t Satellite_GetElevation(VmSatellite* h) { return Read(h, &Satellite::Elevation); }
extern "C" int16_t Satellite_GetAzimuth(VmSatellite* h) { return Read(h, &Satellite::Azimuth); }
extern "C" int16_t Satellite_GetSNR(VmSatellite* h) { return Read(h, &Satellite::Snr); }
