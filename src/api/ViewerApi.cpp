#include <new>

#include "api/Export.h"
#include "view/Viewer.h"

using velmira::MapLib;
using velmira::Viewer;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(Viewer, VmViewer, Viewer)

namespace {
Viewer* Of(VmViewer* h) { return Unwrap<Viewer>(h); }
}  // namespace

extern "C" VmViewer* Viewer_New(void) { return Wrap<VmViewer>(new (std::nothrow) Viewer()); }

extern "C" VmMapLib* Viewer_GetMapLib(VmViewer* h) {
  return Wrap<VmMapLib>(Of(h)->GetMapLib().Detach());
}
