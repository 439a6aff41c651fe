// An inclusive pixel (or tile) rectangle: columns Left .. Left + Width - 1 and rows
// Top .. Top + Height - 1.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"

namespace velmira {

class Rect final : public RefObject {
 public:
  Rect() = default;
  Rect(int32_t left, int32_t top, int32_t width, int32_t height)
      : Left(left), Top(top), Width(width), Height(height) {}

  // Touching edges count as overlap; all comparisons are signed.
  bool Intersects(const Rect& other) const;
  bool Equals(const Rect& other) const;
  // Shrinks this rectangle in place to its overlap with other. Disjoint rectangles end with a
  // width or height below 1.
  void ClipTo(const Rect& other);

  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

}  // namespace velmira
