// An axis-aligned rectangle: given by two corner positions, or placed like every overlay
// object by a position, offsets and size. Hit anywhere in its box.
#pragma once

#include "view/TwoPointObject.h"

namespace velmira {

class Rectangle final : public TwoPointObject {
 public:
  Rectangle() : TwoPointObject(RectangleType) {}

  // The box from its top-left pixel to GetLeft() + width, GetTop() + height, both inside.
  void Draw(DrawSurface& surface) override;
};

}  // namespace velmira
