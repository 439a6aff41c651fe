// A pixel position. Which pixel space it is in depends on who made it: the viewer and the
// overlay objects exchange view pixels, the drawing code takes pixels of the rendered bitmap.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"

namespace velmira {

class Point final : public RefObject {
 public:
  Point() = default;
  Point(int32_t x, int32_t y) : X(x), Y(y) {}

  int32_t X = 0;
  int32_t Y = 0;
};

}  // namespace velmira
