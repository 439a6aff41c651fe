#include "frame/Rect.h"

#include <algorithm>
#include <limits>

namespace velmira {
namespace {

// Edges are worked out in 64 bits: a rectangle near the ends of the 32-bit range (an object
// far outside the view) must neither wrap around onto the screen nor overflow.
int64_t LastOf(int32_t start, int32_t extent) { return int64_t{start} + extent - 1; }

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// One axis of ClipTo: the start moves up to other's start, the end is pulled back to other's.
void ClipAxis(int32_t& start, int32_t& extent, int32_t otherStart, int32_t otherExtent) {
  int64_t first = std::max<int64_t>(start, otherStart);
  int64_t end = std::min(int64_t{start} + extent, int64_t{otherStart} + otherExtent);
  start = static_cast<int32_t>(first);
  extent = Saturate(end - first);
}

}  // namespace

bool Rect::Intersects(const Rect& other) const {
  return Left <= LastOf(other.Left, other.Width) && other.Left <= LastOf(Left, Width) &&
         Top <= LastOf(other.Top, other.Height) && other.Top <= LastOf(Top, Height);
}

bool Rect::Equals(const Rect& other) const {
  return Left == other.Left && Top == other.Top && Width == other.Width &&
         Height == other.Height;
}

void Rect::ClipTo(const Rect& other) {
  ClipAxis(Left, Width, other.Left, other.Width);
  ClipAxis(Top, Height, other.Top, other.Height);
}

}  // namespace velmira
