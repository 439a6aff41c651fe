// Pure pieces of the attributes' platform conversion; Rect against a small reference model
// driven by random input.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

#include "view/Rect.h"
#include "view/TextFont.h"

namespace velmira {
namespace {

TEST(DrawingAttributes, ColourAndFontHeightConversions) {
  EXPECT_EQ(PackColor(0x12, 0x34, 0x56), 0x563412u);
  EXPECT_EQ(PackColor(300, 256, -1), 0xFF002Cu) << "only the low byte of each part is drawn";
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row { double size; int32_t dpi, height; } rows[] = {
      {10, 96, -13}, {10.9, 96, -13}, {-10.9, 96, 13},      {0.9, 96, 0},
      {12, 72, -12}, {nan, 96, 0},    {1e12, 96, INT32_MIN}, {-1e12, 96, INT32_MAX}};
  for (const Row& row : rows) EXPECT_EQ(TextFont::LogFontHeight(row.size, row.dpi), row.height);
}

TEST(DrawingAttributes, FaceFieldIsWidenedCutAndTerminated) {
  TextFont font;
  WCHAR field[TextFont::FaceNameUnits];
  std::u16string face = u"\u00E9" + std::u16string(39, u'A');  // 0x00E9 must not become 0xFFE9
  font.SetFace(face.c_str());
  font.FillFaceName(field);
  EXPECT_EQ(std::u16string(field), face.substr(0, 31));
  font.SetFace(nullptr);
  font.FillFaceName(field);
  EXPECT_TRUE(std::all_of(std::begin(field), std::end(field), [](WCHAR c) { return c == 0; }));
}

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
