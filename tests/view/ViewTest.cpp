// Rect against a small reference model driven by random input.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "view/Rect.h"

namespace velmira {
namespace {

// The columns (or rows) of a that also lie in b, visited one by one in 64 bits so that
// rectangles reaching past the ends of the 32-bit range are modelled exactly: first..last.
std::pair<int64_t, int64_t> Common(int32_t a, int32_t aExtent, int32_t b, int32_t bExtent) {
  int64_t first = INT64_MAX, last = INT64_MIN;
  for (int64_t x = a; x < int64_t{a} + aExtent; ++x) {
    if (x >= b && x < int64_t{b} + bExtent) first = std::min(first, x), last = x;
  }
  return {first, last};
}

TEST(RectArithmetic, OverlapAndClipMatchThePixelSets) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> offset(-4, 4), extent(1, 6);
  auto near = [&](int32_t base) {
    return Rect(base + offset(random), base + offset(random), extent(random), extent(random));
  };
  for (int32_t base : {0, INT32_MAX - 6, INT32_MIN + 2}) {
    for (int i = 0; i < 2000; ++i) {
      Rect a = near(base), b = near(base);
      auto [left, right] = Common(a.Left, a.Width, b.Left, b.Width);
      auto [top, bottom] = Common(a.Top, a.Height, b.Top, b.Height);
      bool overlap = left <= right && top <= bottom;
      ASSERT_EQ(a.Intersects(b), overlap) << base << " " << i;
      ASSERT_EQ(b.Intersects(a), overlap);
      a.ClipTo(b);
      EXPECT_TRUE(overlap ? a.Equals(Rect(left, top, right - left + 1, bottom - top + 1))
                          : a.Width < 1 || a.Height < 1);
    }
  }
}

}  // namespace
}  // namespace velmira
