// A straight line between two positions. Its hit test measures the pen's half width along the
// minor axis (vertically for flat lines, horizontally for steep ones), not perpendicular to
// the line.
#pragma once

#include "view/TwoPointObject.h"

namespace velmira {

class Line final : public TwoPointObject {
 public:
  Line() : TwoPointObject(LineType) {}

  // In 32-bit floats, relative to the box's top-left pixel: a line whose ends coincide is
  // never hit; otherwise p must lie between the ends along the major axis (ends included) and
  // within pen width / 2 of the line along the minor axis.
  bool HitTest(const Point& p) const override;
  // From end to end with the pen; offsets play no part.
  void Draw(DrawSurface& surface) override;
};

}  // namespace velmira
