// Lines, rectangles and ellipses against the pixel rules written in Shapes.cpp. The pictures
// were worked out by hand from those rules: '#' is the pen, '+' the brush, '.' untouched.
#include <functional>

#include "GdiTesting.h"

namespace gditest {
namespace {

constexpr COLORREF Ink = RGB(0, 0, 0);
constexpr COLORREF Fill = RGB(0, 0, 255);
const std::vector<std::pair<COLORREF, char>> Legend = {
    {RGB(255, 255, 255), '.'}, {Ink, '#'}, {Fill, '+'}};

void Line(HDC dc, int32_t width, std::vector<POINT> points) {
  Selected pen(dc, CreatePen(PS_SOLID, width, Ink));
  EXPECT_TRUE(Polyline(dc, points.data(), static_cast<int32_t>(points.size())));
}

using ShapeCall = bool (*)(HDC, int32_t, int32_t, int32_t, int32_t);
void Shape(HDC dc, ShapeCall call, int32_t width, bool brush, int32_t l, int32_t t, int32_t r,
           int32_t b) {
  Selected pen(dc, CreatePen(PS_SOLID, width, Ink));
  Selected fill(dc, brush ? CreateSolidBrush(Fill) : GetStockObject(NULL_BRUSH));
  EXPECT_TRUE(call(dc, l, t, r, b));
}

struct Scene {
  const char* Name;
  int32_t Width, Height;
  std::function<void(HDC)> Draw;
  const char* Picture;
};

const Scene Scenes[] = {
    {"thin line: last point left out, halves to the smaller coordinate, either direction", 6, 6,
     [](HDC dc) {
       Line(dc, 1, {{0, 0}, {4, 2}});
       Line(dc, 1, {{4, 5}, {0, 3}});
     },
     "##....\n"
     "..##..\n"
     "......\n"
     ".#....\n"
     "..##..\n"
     "....#.\n"},
    {"the viewer's line (10,10)-(20,10) drawn through (21,11)", 12, 2,
     [](HDC dc) { Line(dc, 1, {{0, 0}, {11, 1}}); },
     "######......\n"
     "......#####.\n"},
    {"polyline: corner, steep segment, repeated point, last point out", 8, 6,
     [](HDC dc) { Line(dc, 0, {{1, 1}, {5, 1}, {5, 4}, {5, 4}, {2, 5}}); },
     "........\n"
     ".#####..\n"
     ".....#..\n"
     ".....#..\n"
     "....##..\n"
     "...#....\n"},
    {"wide pens 2 and 3: w rows, round ends, the whole path drawn", 9, 8,
     [](HDC dc) {
       Line(dc, 2, {{2, 1}, {6, 1}});
       Line(dc, 3, {{2, 5}, {6, 5}});
     },
     "..#####..\n"
     ".######..\n"
     ".........\n"
     ".........\n"
     ".#######.\n"
     ".#######.\n"
     ".######..\n"
     ".........\n"},
    {"rectangles: exclusive right and bottom, width 0, reversed, 2 wide, 1 x 1, empty", 10, 7,
     [](HDC dc) {
       Shape(dc, Rectangle, 1, true, 1, 1, 6, 5);
       Shape(dc, Rectangle, 0, true, 9, 5, 7, 2);
       Shape(dc, Rectangle, 1, true, 1, 6, 2, 7);
       Shape(dc, Rectangle, 1, true, 4, 6, 4, 9);
     },
     "..........\n"
     ".#####....\n"
     ".#+++#.##.\n"
     ".#+++#.##.\n"
     ".#####.##.\n"
     "..........\n"
     ".#........\n"},
    {"rectangle with pen 3: centred on the edge pixels, round outer corners", 11, 10,
     [](HDC dc) { Shape(dc, Rectangle, 3, true, 1, 1, 9, 8); },
     "##########.\n"
     "##########.\n"
     "##########.\n"
     "###++++###.\n"
     "###++++###.\n"
     "###++++###.\n"
     "##########.\n"
     "##########.\n"
     "#########..\n"
     "...........\n"},
    {"thin ellipses 5 x 5 and 9 x 5 with brush", 15, 5,
     [](HDC dc) {
       Shape(dc, Ellipse, 1, true, 0, 0, 5, 5);
       Shape(dc, Ellipse, 0, true, 6, 0, 15, 5);
     },
     ".###....#####..\n"
     "#+++#.##+++++##\n"
     "#+++#.#+++++++#\n"
     "#+++#.##+++++##\n"
     ".###....#####..\n"},
    {"ellipse with pen 2 and no brush", 8, 8,
     [](HDC dc) { Shape(dc, Ellipse, 2, false, 0, 0, 8, 8); },
     ".######.\n"
     "########\n"
     "##....##\n"
     "##....##\n"
     "##....##\n"
     "##....##\n"
     "########\n"
     ".######.\n"},
};

class Shapes : public GdiTest {};

TEST_F(Shapes, SceneTable) {
  for (const Scene& s : Scenes) {
    Canvas c(s.Width, s.Height);
    s.Draw(c.Dc);
    EXPECT_EQ(c.Picture(Legend), s.Picture) << s.Name;
  }
}

// One row or column of a canvas as characters.
std::string Cut(const Canvas& c, int32_t fixed, int32_t length, bool row) {
  std::string out;
  for (int32_t i = 0; i < length; ++i) {
    COLORREF p = row ? c.Pixel(i, fixed) : c.Pixel(fixed, i);
    out += p == Ink ? '#' : p == Fill ? '+' : '.';
  }
  return out;
}

// Pen widths 0 to 6 as the viewer draws: lines through their points, and rectangles and
// ellipses inset by half the pen width into a 21 x 17 box (5,5)-(25,21). Wide pens cover w
// rows or columns; a rectangle's even-width outline ends one pixel inside the right and
// bottom edges of the box, an ellipse's outer edge always touches the box.
TEST_F(Shapes, PenWidthsZeroToSix) {
  for (int32_t w = 0; w <= 6; ++w) {
    int32_t band = std::max(w, 1), half = w / 2;
    Canvas lines(40, 30);
    Line(lines.Dc, w, {{5, 10}, {15, 10}});
    Line(lines.Dc, w, {{30, 5}, {30, 15}});
    // Along a line: its length plus w, ends round; across it: w pixels.
    int32_t first = w <= 1 ? 5 : 5 - half, last = w <= 1 ? 14 : 15 + (w + 1) / 2 - 1;
    int32_t side = w <= 1 ? 0 : half;
    auto marks = [](size_t length, std::vector<std::pair<int32_t, int32_t>> runs) {
      std::string s(length, '.');
      for (auto [from, to] : runs) s.replace(from, to - from + 1, to - from + 1, '#');
      return s;
    };
    EXPECT_EQ(Cut(lines, 10, 40, true), marks(40, {{first, last}, {30 - side, 30 - side + band - 1}}))
        << "width " << w;
    EXPECT_EQ(Cut(lines, 10, 30, false), marks(30, {{10 - side, 10 - side + band - 1}})) << "width " << w;
    EXPECT_EQ(Cut(lines, 30, 30, false), marks(30, {{first, last}})) << "width " << w;

    for (ShapeCall call : {ShapeCall{Rectangle}, ShapeCall{Ellipse}}) {
      Canvas c(31, 27);
      Shape(c.Dc, call, w, true, 5 + half, 5 + half, 26 - half, 22 - half);
      bool inside = call == Rectangle && w >= 2 && w % 2 == 0;
      auto expect = [&](int32_t length, int32_t from, int32_t to) {
        std::string s(length, '.');
        s.replace(from, to - from + 1, to - from + 1, '+');
        s.replace(from, band, band, '#');
        s.replace(to - band + 1, band, band, '#');
        return s;
      };
      const char* name = call == Rectangle ? "rectangle" : "ellipse";
      EXPECT_EQ(Cut(c, 13, 31, true), expect(31, 5, inside ? 24 : 25)) << name << " width " << w;
      EXPECT_EQ(Cut(c, 15, 27, false), expect(27, 5, inside ? 20 : 21)) << name << " width " << w;
    }
  }
}

// Shapes crossing each edge and corner of a small canvas draw exactly the pixels that the
// same shapes show inside a larger canvas; coordinates far outside cost no time.
TEST_F(Shapes, ClippingAtEveryEdge) {
  auto draw = [](HDC dc, int32_t dx, int32_t dy) {
    Line(dc, 1, {{dx - 3, dy + 2}, {dx + 20, dy + 9}, {dx + 4, dy + 19}});
    Line(dc, 5, {{dx + 2, dy - 4}, {dx + 17, dy + 21}});
    Shape(dc, Rectangle, 1, true, dx - 1, dy + 3, dx + 9, dy + 12);
    Shape(dc, Rectangle, 4, false, dx + 6, dy - 2, dx + 19, dy + 8);
    Shape(dc, Ellipse, 1, true, dx + 1, dy + 1, dx + 18, dy + 14);
    Shape(dc, Ellipse, 3, true, dx - 4, dy + 9, dx + 12, dy + 20);
  };
  for (POINT at : std::vector<POINT>{{-8, -8}, {6, -9}, {9, 5}, {-7, 8}, {0, 0}, {4, 4}}) {
    Canvas small(16, 16), big(48, 48);
    draw(small.Dc, at.x, at.y);
    draw(big.Dc, at.x + 16, at.y + 16);
    for (int32_t y = 0; y < 16; ++y) {
      for (int32_t x = 0; x < 16; ++x) {
        ASSERT_EQ(small.Pixel(x, y), big.Pixel(x + 16, y + 16))
            << "pixel " << x << "," << y << " placed at " << at.x << "," << at.y;
      }
    }
  }

  constexpr int32_t Far = 100'000'000;
  Canvas c(16, 16);
  Shape(c.Dc, Ellipse, 2, true, -Far, -Far, Far, Far);
  Line(c.Dc, 1, {{-Far, 3}, {Far, 3}});
  Line(c.Dc, 4, {{-Far, 8}, {Far, 8}});
  std::string full(16, '#');
  for (int32_t y : {3, 6, 7, 8, 9}) EXPECT_EQ(Cut(c, y, 16, true), full) << "row " << y;
  EXPECT_EQ(Cut(c, 12, 16, true), std::string(16, '+'));
  Shape(c.Dc, Rectangle, 1, true, -Far, -Far, Far, Far);
  EXPECT_EQ(Cut(c, 3, 16, true), std::string(16, '+'));

  // Beyond 2^27 the platform's coordinate space ends: refused, nothing drawn.
  Selected pen(c.Dc, CreatePen(PS_SOLID, 1, Ink));
  POINT outside[] = {{0, 0}, {1 << 28, 0}};
  EXPECT_FALSE(Polyline(c.Dc, outside, 2));
  EXPECT_FALSE(Rectangle(c.Dc, 0, 0, 1 << 28, 5) || Ellipse(c.Dc, -(1 << 28), 0, 5, 5));
  EXPECT_EQ(Cut(c, 0, 16, true), std::string(16, '+'));
}

}  // namespace
}  // namespace gditest
