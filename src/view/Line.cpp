#include "view/Line.h"

#include <cmath>

#include "view/DrawSurface.h"

namespace velmira {
namespace {

bool Between(float v, float a, float b) { return a <= b ? a <= v && v <= b : b <= v && v <= a; }

}  // namespace

bool Line::HitTest(const Point& p) const {
  const int64_t left = GetLeft(), top = GetTop();
  const float hw = PenRef().GetWidth() * 0.5f;
  // Relative to the box's top-left pixel; the differences are taken in 64 bits.
  auto along = [](int64_t v, int64_t origin) { return static_cast<float>(v - origin); };
  const float x1 = along(GetPoint1().X, left), y1 = along(GetPoint1().Y, top);
  const float x2 = along(GetPoint2().X, left), y2 = along(GetPoint2().Y, top);
  const float px = along(p.X, left), py = along(p.Y, top);
  const float dx = x2 - x1, dy = y2 - y1;
  if (dx == 0.0f && dy == 0.0f) return false;
  if (std::fabs(dx) > std::fabs(dy)) {
    if (!Between(px, x1, x2)) return false;
    // The box starts at the smaller coordinates: a rising slope passes through its top-left
    // pixel, a falling (or level) one through its bottom-left pixel.
    const float m = dy / dx;
    const float yl = m > 0 ? m * px : static_cast<float>(GetHeight()) + m * px;
    return yl - hw <= py && py <= yl + hw;
  }
  if (!Between(py, y1, y2)) return false;
  const float k = dx / dy;
  const float xl = k > 0 ? k * py : static_cast<float>(GetWidth()) + k * py;
  return xl - hw <= px && px <= xl + hw;
}

void Line::Draw(DrawSurface& surface) {
  Ref<Point> p1 = SurfacePoint(GetPoint1().X, GetPoint1().Y);
  Ref<Point> p2 = SurfacePoint(GetPoint2().X, GetPoint2().Y);
  surface.DrawLine(*p1, *p2, PenRef());
  SetChanged(false);
  Err.CopyFrom(surface.GetError());
}

}  // namespace velmira
