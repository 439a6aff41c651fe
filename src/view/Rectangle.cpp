#include "view/Rectangle.h"

#include "view/DrawSurface.h"

namespace velmira {

void Rectangle::Draw(DrawSurface& surface) {
  const int64_t left = GetLeft(), top = GetTop();
  Ref<Point> p1 = SurfacePoint(left, top);
  Ref<Point> p2 = SurfacePoint(left + GetWidth(), top + GetHeight());
  surface.DrawRectangle(*p1, *p2, PenRef(), &BrushRef());
  SetChanged(false);
  Err.CopyFrom(surface.GetError());
}

}  // namespace velmira
