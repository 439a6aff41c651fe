// Integer edge rules of the map transforms: truncation toward zero of a float result, and the
// floor division by the tile side.
#pragma once

#include <cmath>
#include <cstdint>

namespace velmira {

// Truncation toward zero. A result beyond int32 (a view far off the map) saturates, and NaN,
// which an uncalibrated map's all-zero matrix gives, becomes 0: a C cast would be undefined.
inline int32_t TruncToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// floor(v / 256), toward minus infinity: pixels left of or above the picture are in negative
// tiles. An arithmetic shift is exactly that.
inline int32_t FloorTile(int64_t v) { return static_cast<int32_t>(v >> 8); }

}  // namespace velmira
