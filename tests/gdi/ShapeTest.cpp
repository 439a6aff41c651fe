// Lines, rectangles and ellipses against the pixel rules written in Shapes.cpp. The pictures
// were worked out by hand from those rules: '#' is the pen, '+' the brush, '.' untouched.
#include <tuple>

#include "GdiTesting.h"

namespace gditest {
namespace {

constexpr COLORREF Ink = RGB(0, 0, 0), Fill = RGB(0, 0, 255);

using ShapeCall = bool (*)(HDC, int32_t, int32_t, int32_t, int32_t);

// A drawing call with a pen and a brush made for it: Polyline through the points when Call
// is null, else Call with the two points as corners.
struct Op {
  ShapeCall Call;
  int32_t Pen;
  bool Brush;
  std::vector<POINT> Points;
};

void Draw(HDC dc, const Op& op) {
  Selected pen(dc, CreatePen(PS_SOLID, op.Pen, Ink));
  Selected fill(dc, op.Brush ? CreateSolidBrush(Fill) : GetStockObject(NULL_BRUSH));
  const std::vector<POINT>& p = op.Points;
  EXPECT_TRUE(op.Call == nullptr ? Polyline(dc, p.data(), static_cast<int32_t>(p.size()))
                                 : op.Call(dc, p[0].x, p[0].y, p[1].x, p[1].y));
}

struct Scene {
  const char* Name;
  int32_t Width, Height;
  std::vector<Op> Ops;
  const char* Picture;
};

// clang-format off
const Scene Scenes[] = {
    {"thin lines: last point out, halves to the smaller coordinate either way; the viewer's "
     "line (10,10)-(20,10) drawn through (21,11); a corner, a steep part, a repeated point",
     28, 6,
     {{nullptr, 1, false, {{0, 0}, {4, 2}}}, {nullptr, 1, false, {{4, 5}, {0, 3}}},
      {nullptr, 1, false, {{7, 0}, {18, 1}}},
      {nullptr, 0, false, {{21, 1}, {25, 1}, {25, 4}, {25, 4}, {22, 5}}}},
     "##.....######...............\n"
     "..##.........#####...#####..\n"
     ".........................#..\n"
     ".#.......................#..\n"
     "..##....................##..\n"
     "....#..................#....\n"},
    {"rectangles: right and bottom exclusive, pen 0, reversed, 2 wide, 1 x 1, empty; pen 3 "
     "centred on the edge pixels with round outer corners",
     21, 10,
     {{Rectangle, 1, true, {{1, 1}, {6, 5}}}, {Rectangle, 0, true, {{9, 5}, {7, 2}}},
      {Rectangle, 1, true, {{1, 6}, {2, 7}}}, {Rectangle, 1, true, {{4, 6}, {4, 9}}},
      {Rectangle, 3, true, {{11, 1}, {19, 8}}}},
     "..........##########.\n"
     ".#####....##########.\n"
     ".#+++#.##.##########.\n"
     ".#+++#.##.###++++###.\n"
     ".#####.##.###++++###.\n"
     "..........###++++###.\n"
     ".#........##########.\n"
     "..........##########.\n"
     "..........#########..\n"
     ".....................\n"},
    {"ellipses 5 x 5 and 9 x 5 with one-pixel pens, 8 x 8 with pen 2 and no brush", 24, 8,
     {{Ellipse, 1, true, {{0, 0}, {5, 5}}}, {Ellipse, 0, true, {{6, 0}, {15, 5}}},
      {Ellipse, 2, false, {{16, 0}, {24, 8}}}},
     ".###....#####....######.\n"
     "#+++#.##+++++##.########\n"
     "#+++#.#+++++++#.##....##\n"
     "#+++#.##+++++##.##....##\n"
     ".###....#####...##....##\n"
     "................##....##\n"
     "................########\n"
     ".................######.\n"},
};
// clang-format on

class Shapes : public GdiTest {};

TEST_F(Shapes, SceneTable) {
  for (const Scene& s : Scenes) {
    Canvas c(s.Width, s.Height);
    for (const Op& op : s.Ops) Draw(c.Dc, op);
    EXPECT_EQ(c.Picture({{RGB(255, 255, 255), '.'}, {Ink, '#'}, {Fill, '+'}}), s.Picture) << s.Name;
  }
}

// One row or column of a canvas as characters, and the expected one: runs from..to of a
// character, later runs over earlier ones.
std::string Cut(const Canvas& c, int32_t fixed, int32_t length, bool row) {
  std::string out;
  for (int32_t i = 0; i < length; ++i) {
    COLORREF p = row ? c.Pixel(i, fixed) : c.Pixel(fixed, i);
    out += p == Ink ? '#' : p == Fill ? '+' : '.';
  }
  return out;
}
std::string Runs(int32_t length, std::initializer_list<std::tuple<int32_t, int32_t, char>> runs) {
  std::string s(length, '.');
  for (auto [from, to, c] : runs) s.replace(from, to - from + 1, to - from + 1, c);
  return s;
}

// Pen widths 0 to 6 as the viewer draws: a line through its points, and a rectangle and an
// ellipse inset by half the pen width into 21 x 17 boxes (5,8)-(25,24) and (35,8)-(55,24).
// A line is its length plus w long and w wide; a rectangle's even-width outline ends one
// pixel inside the right and bottom edges of the box, an ellipse's always touches them.
// The same drawing moved across the edges of a small canvas shows the same pixels there.
TEST_F(Shapes, PenWidthsZeroToSixAndClipping) {
  for (int32_t w = 0; w <= 6; ++w) {
    const int32_t band = std::max(w, 1), half = w <= 1 ? 0 : w / 2, in = w / 2;
    auto draw = [w, in](HDC dc, int32_t dx, int32_t dy) {
      Draw(dc, {nullptr, w, false, {{5 + dx, 3 + dy}, {15 + dx, 3 + dy}}});
      Draw(dc, {Rectangle, w, true, {{5 + in + dx, 8 + in + dy}, {26 - in + dx, 25 - in + dy}}});
      Draw(dc, {Ellipse, w, true, {{35 + in + dx, 8 + in + dy}, {56 - in + dx, 25 - in + dy}}});
    };
    Canvas c(62, 30);
    draw(c.Dc, 0, 0);
    const int32_t last = w <= 1 ? 14 : 15 + (w + 1) / 2 - 1;
    EXPECT_EQ(Cut(c, 3, 30, true), Runs(30, {{5 - half, last, '#'}})) << "line, width " << w;
    EXPECT_EQ(Cut(c, 10, 8, false), Runs(8, {{3 - half, 2 - half + band, '#'}})) << w;
    // Middle rows and columns: brush from..to with a band of pen at each end.
    auto banded = [band](int32_t length, int32_t from, int32_t to) {
      return Runs(length,
                  {{from, to, '+'}, {from, from + band - 1, '#'}, {to - band + 1, to, '#'}});
    };
    const int32_t inside = w >= 2 && w % 2 == 0 ? 1 : 0;
    EXPECT_EQ(Cut(c, 16, 30, true), banded(30, 5, 25 - inside)) << "rectangle, width " << w;
    EXPECT_EQ(Cut(c, 15, 30, false).substr(6), banded(24, 2, 18 - inside)) << "rectangle " << w;
    EXPECT_EQ(Cut(c, 16, 62, true).substr(30), banded(32, 5, 25)) << "ellipse, width " << w;
    EXPECT_EQ(Cut(c, 45, 30, false), banded(30, 8, 24)) << "ellipse, width " << w;
    for (POINT v :
         {POINT{0, 0}, POINT{8, 0}, POINT{10, 5}, POINT{3, 12}, POINT{30, 12}, POINT{42, 14}}) {
      Canvas small(20, 16);
      draw(small.Dc, -v.x, -v.y);
      for (int32_t i = 0; i < 20 * 16; ++i) {
        ASSERT_EQ(small.Pixel(i % 20, i / 20), c.Pixel(i % 20 + v.x, i / 20 + v.y))
            << "width " << w << " view " << v.x << "," << v.y << " pixel " << i;
      }
    }
  }
}

// Far outside, but inside the platform's +/-2^27: drawn, at no cost; beyond it: refused.
TEST_F(Shapes, FarCoordinates) {
  constexpr int32_t Far = 100'000'000;
  Canvas c(16, 16);
  Draw(c.Dc, {Ellipse, 2, true, {{-Far, -Far}, {Far, Far}}});
  Draw(c.Dc, {nullptr, 1, false, {{-Far, 3}, {Far, 3}}});
  Draw(c.Dc, {nullptr, 4, false, {{-Far, 8}, {Far, 8}}});
  for (int32_t y = 0; y < 16; ++y) {
    EXPECT_EQ(Cut(c, y, 16, true), std::string(16, y == 3 || (y >= 6 && y <= 9) ? '#' : '+')) << y;
  }
  POINT outside[] = {{0, 0}, {1 << 28, 0}};
  EXPECT_FALSE(Polyline(c.Dc, outside, 2) || Rectangle(c.Dc, 0, 0, 1 << 28, 5) ||
               Ellipse(c.Dc, -(1 << 28), 0, 5, 5));
  EXPECT_EQ(Cut(c, 0, 16, true), std::string(16, '+'));
}

}  // namespace
}  // namespace gditest
