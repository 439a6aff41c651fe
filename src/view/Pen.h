// Outline colour and width of the overlay objects and the text colour of fonts. Holders share
// a pen by reference, so a change made through any handle shows at the next drawing.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "view/Color.h"

namespace velmira {

class Pen final : public RefObject {
 public:
  int16_t GetWidth() const { return Width; }
  // Stores the absolute value. The one 16-bit value without a positive twin, -32768, is kept
  // as 32767 so that a width is never negative.
  void SetWidth(int16_t width) {
    Width = width >= 0 ? width : (width == INT16_MIN ? INT16_MAX : static_cast<int16_t>(-width));
  }
  uint32_t Color() const { return PackColor(Red, Green, Blue); }

  // Colour parts, stored unchanged; only their low 8 bits are drawn.
  int16_t Red = 0;
  int16_t Green = 0;
  int16_t Blue = 0;

 private:
  int16_t Width = 1;  // pixels
};

}  // namespace velmira
