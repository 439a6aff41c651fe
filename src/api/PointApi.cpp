#include <new>

#include "api/Export.h"
#include "frame/Point.h"

using velmira::Point;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(Point, VmPoint, Point)

namespace {
Point* Of(VmPoint* h) { return Unwrap<Point>(h); }
}  // namespace

extern "C" VmPoint* Point_New(void) { return Wrap<VmPoint>(new (std::nothrow) Point()); }

extern "C" int32_t Point_GetX(VmPoint* h) { return Of(h)->X; }
extern "C" void Point_SetX(VmPoint* h, int32_t x) { Of(h)->X = x; }
extern "C" int32_t Point_GetY(VmPoint* h) { return Of(h)->Y; }
extern "C" void Point_SetY(VmPoint* h, int32_t y) { Of(h)->Y = y; }
