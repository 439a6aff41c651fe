// An ellipse filling its box: placed like every overlay object, hit only inside the ellipse.
#pragma once

#include "view/MapObject.h"

namespace velmira {

class Ellipse final : public MapObject {
 public:
  Ellipse() : MapObject(EllipseType) {}

  // The box test, then (x - rx)^2 / rx^2 + (y - ry)^2 / ry^2 <= 1 in 32-bit floats, with x, y
  // counted from the box's top-left pixel and rx, ry half the width and height. A box without
  // width or height holds no ellipse and is never hit.
  bool HitTest(const Point& p) const override;
  void Draw(DrawSurface& surface) override;
};

}  // namespace velmira
