#include "api/Export.h"
#include "gps/NmeaSentence.h"

using velmira::NmeaSentence;
using velmira::api::KeptString;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(NmeaSentence, VmNmeaSentence, NmeaSentence)

namespace {
KeptString LastCommand;
KeptString LastSentence;
}  // namespace

extern "C" VmNmeaSentence* NmeaSentence_New(void) { return Wrap<VmNmeaSentence>(new NmeaSentence()); }

extern "C" BSTR NmeaSentence_GetCommand(VmNmeaSentence* h, BSTR* out) {
  NmeaSentence* s = Unwrap<NmeaSentence>(h);
  s->GetError().Clear();
  return LastCommand.Keep(s->GetCommand(), out);
}

extern "C" BSTR NmeaSentence_GetSentence(VmNmeaSentence* h, BSTR* out) {
  NmeaSentence* s = Unwrap<NmeaSentence>(h);
  s->GetError().Clear();
  return LastSentence.Keep(s->GetSentence(), out);
}

extern "C" int16_t NmeaSentence_GetFieldCount(VmNmeaSentence* h) {
  NmeaSentence* s = Unwrap<NmeaSentence>(h);
  s->GetError().Clear();
  return s->GetFieldCount();
}

extern "C" BSTR NmeaSentence_Fields(VmNmeaSentence* h, int16_t index, BSTR* out) {
  NmeaSentence* s = Unwrap<NmeaSentence>(h);
  s->GetError().Clear();
  velmira::Text* field = s->Fields(index);
  BSTR wide = field != nullptr ? field->GetWide() : nullptr;
  if (out != nullptr) *out = wide;
  return wide;
}
