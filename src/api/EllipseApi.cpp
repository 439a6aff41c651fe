#include "api/OverlayExport.h"
#include "view/Ellipse.h"

using velmira::Ellipse;

VELMIRA_OVERLAY_FRAME(Ellipse, VmEllipse, Ellipse)
VELMIRA_OVERLAY_PLACEMENT(Ellipse, VmEllipse, Ellipse)
VELMIRA_OVERLAY_SIZE(Ellipse, VmEllipse, Ellipse)
VELMIRA_OVERLAY_PEN(Ellipse, VmEllipse, Ellipse)
VELMIRA_OVERLAY_BRUSH(Ellipse, VmEllipse, Ellipse)
