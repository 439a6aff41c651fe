#include "api/Export.h"

using velmira::Text;
using velmira::api::ErrorRecord;
using velmira::api::KeptString;

namespace {
// Starts empty when the library loads; each call replaces the previous description.
KeptString Description;
}  // namespace

extern "C" int16_t Error_ErrNum(VmError* record) { return ErrorRecord(record)->Code; }

extern "C" BSTR Error_ErrDesc(VmError* record, BSTR* out) {
  return Description.Keep(new Text(ErrorRecord(record)->Message), out);
}
