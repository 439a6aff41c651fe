// The platform colour value of a pen's or brush's 16-bit colour parts.
#pragma once

#include <cstdint>

namespace velmira {

// 0x00BBGGRR of the low 8 bits of each part, as the platform's RGB macro builds it: parts are
// stored unchecked, so 256 acts as 0, 300 as 44 and 511 as 255 when drawn.
constexpr uint32_t PackColor(int16_t red, int16_t green, int16_t blue) {
  return (static_cast<uint32_t>(red) & 0xFF) | (static_cast<uint32_t>(green) & 0xFF) << 8 |
         (static_cast<uint32_t>(blue) & 0xFF) << 16;
}

}  // namespace velmira
