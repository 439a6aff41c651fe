#include "api/Export.h"
#include "gps/ComStatus.h"

using velmira::ComStatus;
using velmira::api::Unwrap;

VELMIRA_FAMILY_FRAME(ComStatus, VmComStatus, ComStatus)

namespace {

const ComStatus& Read(VmComStatus* h) {
  ComStatus* s = Unwrap<ComStatus>(h);
  s->GetError().Clear();
  return *s;
}

}  // namespace

extern "C" uint8_t ComStatus_GetValidNmea(VmComStatus* h) { return Read(h).Valid == 1 ? 1 : 0; }
extern "C" int16_t ComStatus_GetComPort(VmComStatus* h) { return Read(h).Port; }
extern "C" int32_t ComStatus_GetBaudRate(VmComStatus* h) { return Read(h).BaudRate; }
