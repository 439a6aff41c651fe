// Fill of the overlay objects: a colour, or no fill at all while transparent (the default, so
// an object drawn with a new brush is not filled).
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "view/Color.h"

namespace velmira {

class Brush final : public RefObject {
 public:
  bool IsTransparent() const { return Transparent != 0; }
  uint32_t Color() const { return PackColor(Red, Green, Blue); }

  // Colour parts, stored unchanged; only their low 8 bits are drawn.
  int16_t Red = 0;
  int16_t Green = 0;
  int16_t Blue = 0;
  uint8_t Transparent = 1;  // the byte as given: nonzero means no fill
};

}  // namespace velmira
