#include "api/OverlayExport.h"
#include "view/Icon.h"

using velmira::Icon;

VELMIRA_OVERLAY_FRAME(Icon, VmIcon, Icon)
VELMIRA_OVERLAY_PLACEMENT(Icon, VmIcon, Icon)

extern "C" BSTR Icon_GetName(VmIcon* h, BSTR* out) {
  return velmira::api::CopyString(&velmira::api::Unwrap<Icon>(h)->GetName(), out);
}
