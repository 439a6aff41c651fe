#include "api/Export.h"
#include "gps/Movement.h"

using velmira::Movement;
using velmira::api::Unwrap;

VELMIRA_FAMILY_FRAME(Movement, VmMovement, Movement)

extern "C" void Movement_GetSpeed(VmMovement* h, int16_t unit, double* out) {
  double v = Unwrap<Movement>(h)->GetSpeed(unit);
  if (out != nullptr) *out = v;
}

extern "C" void Movement_GetHeading(VmMovement* h, double* out) {
  Movement* m = Unwrap<Movement>(h);
  m->GetError().Clear();
  if (out != nullptr) *out = m->GetHeading();
}

extern "C" void Movement_GetMagneticVariation(VmMovement* h, double* out) {
  Movement* m = Unwrap<Movement>(h);
  m->GetError().Clear();
  if (out != nullptr) *out = m->GetMagneticVariation();
}
