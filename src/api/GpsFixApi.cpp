#include "api/Export.h"
#include "geo/Position.h"
#include "gps/GpsFix.h"

using velmira::GpsFix;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(GpsFix, VmGpsFix, GpsFix)

namespace {

const GpsFix& Read(VmGpsFix* h) {
  GpsFix* fix = Unwrap<GpsFix>(h);
  fix->GetError().Clear();
  return *fix;
}

}  // namespace

extern "C" int32_t GpsFix_GetFixType(VmGpsFix* h) { return Read(h).GetFixType(); }
extern "C" int16_t GpsFix_GetYear(VmGpsFix* h) { return Read(h).GetTimeStamp().Year; }
extern "C" int16_t GpsFix_GetMonth(VmGpsFix* h) { return Read(h).GetTimeStamp().Month; }
extern "C" int16_t GpsFix_GetDay(VmGpsFix* h) { return Read(h).GetTimeStamp().Day; }
extern "C" int16_t GpsFix_GetHour(VmGpsFix* h) { return Read(h).GetTimeStamp().Hour; }
extern "C" int16_t GpsFix_GetMinute(VmGpsFix* h) { return Read(h).GetTimeStamp().Minute; }
extern "C" int16_t GpsFix_GetSecond(VmGpsFix* h) { return Read(h).GetTimeStamp().Second; }
extern "C" int16_t GpsFix_GetMilliSecond(VmGpsFix* h) { return Read(h).GetTimeStamp().MilliSecond; }

extern "C" VmPosition* GpsFix_GetPosition(VmGpsFix* h) { return Wrap<VmPosition>(Read(h).NewPosition()); }
