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
  bool Intersects(const Rect& other) const {
    return Left <= other.Left + other.Width - 1 && other.Left <= Left + Width - 1 &&
           Top <= other.Top + other.Height - 1 && other.Top <= Top + Height - 1;
  }
  bool Equals(const Rect& other) const {
    return Left == other.Left && Top == other.Top && Width == other.Width &&
           Height == other.Height;
  }
  // Shrinks this rectangle in place to its overlap with other. Disjoint rectangles end with a
  // width or height below 1.
  void ClipTo(const Rect& other) {
    if (Left < other.Left) {
      Width -= other.Left - Left;
      Left = other.Left;
    }
    if (Top < other.Top) {
      Height -= other.Top - Top;
      Top = other.Top;
    }
    if (Left + Width > other.Left + other.Width) Width = other.Left + other.Width - Left;
    if (Top + Height > other.Top + other.Height) Height = other.Top + other.Height - Top;
  }

  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

}  // namespace velmira
