#include "view/Ellipse.h"

#include "view/DrawSurface.h"

namespace velmira {

bool Ellipse::HitTest(const Point& p) const {
  if (!BoxHit(p)) return false;
  const float rx = GetWidth() * 0.5f, ry = GetHeight() * 0.5f;
  // The formula would divide by zero here; its result for such a box is no hit anyway.
  if (rx == 0.0f || ry == 0.0f) return false;
  // The box test bounds both differences by the box's size, so they fit 32 bits.
  const float ex = static_cast<float>(int64_t{p.X} - GetLeft()) - rx;
  const float ey = static_cast<float>(int64_t{p.Y} - GetTop()) - ry;
  return ey * ey / (ry * ry) + ex * ex / (rx * rx) <= 1.0f;
}

void Ellipse::Draw(DrawSurface& surface) {
  const int64_t left = GetLeft(), top = GetTop();
  Ref<Point> p1 = SurfacePoint(left, top);
  Ref<Point> p2 = SurfacePoint(left + GetWidth(), top + GetHeight());
  surface.DrawEllipse(*p1, *p2, PenRef(), &BrushRef());
  SetChanged(false);
  Err.CopyFrom(surface.GetError());
}

}  // namespace velmira
