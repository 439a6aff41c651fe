#include "api/OverlayExport.h"
#include "view/Rectangle.h"

using velmira::Rectangle;

VELMIRA_OVERLAY_FRAME(Rectangle, VmRectangle, Rectangle)
VELMIRA_OVERLAY_PLACEMENT(Rectangle, VmRectangle, Rectangle)
VELMIRA_OVERLAY_SIZE(Rectangle, VmRectangle, Rectangle)
VELMIRA_OVERLAY_TWO_POINTS(Rectangle, VmRectangle, Rectangle)
VELMIRA_OVERLAY_PEN(Rectangle, VmRectangle, Rectangle)
VELMIRA_OVERLAY_BRUSH(Rectangle, VmRectangle, Rectangle)
