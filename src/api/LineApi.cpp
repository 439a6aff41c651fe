#include "api/OverlayExport.h"
#include "view/Line.h"

using velmira::Line;

VELMIRA_OVERLAY_FRAME(Line, VmLine, Line)
VELMIRA_OVERLAY_TWO_POINTS(Line, VmLine, Line)
VELMIRA_OVERLAY_PEN(Line, VmLine, Line)
