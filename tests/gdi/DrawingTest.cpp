// Shapes against pictures worked out by hand from the pixel rules in Shapes.cpp ('#' pen, '+'
// brush, '.' untouched); DrawTextW through relations that hold whatever fonts are installed.
#include <string>
#include <tuple>

#include "GdiTesting.h"

namespace gditest {
namespace {


constexpr COLORREF Outline = RGB(0, 0, 0), Fill = RGB(0, 0, 255);

using ShapeCall = bool (*)(HDC, int32_t, int32_t, int32_t, int32_t);

// A drawing call with a pen and a brush made for it: Polyline through the points when Call
// is null, else Call with the two points as corners.
struct Op { ShapeCall Call; int32_t Pen; bool Brush; std::vector<POINT> Points; };

void Draw(HDC dc, const Op& op) {
  Selected pen(dc, CreatePen(PS_SOLID, op.Pen, Outline));
  Selected fill(dc, op.Brush ? CreateSolidBrush(Fill) : GetStockObject(NULL_BRUSH));
  const std::vector<POINT>& p = op.Points;
  EXPECT_TRUE(op.Call == nullptr ? Polyline(dc, p.data(), static_cast<int32_t>(p.size()))
                                 : op.Call(dc, p[0].x, p[0].y, p[1].x, p[1].y));
}

struct Scene { const char* Name; int32_t Width, Height; std::vector<Op> Ops; const char* Picture; };

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
    EXPECT_EQ(c.Picture({{RGB(255, 255, 255), '.'}, {Outline, '#'}, {Fill, '+'}}), s.Picture) << s.Name;
  }
}

// One row or column of a canvas as characters, and the expected one: runs from..to of a
// character, later runs over earlier ones.
std::string Cut(const Canvas& c, int32_t fixed, int32_t length, bool row) {
  std::string out;
  for (int32_t i = 0; i < length; ++i) {
    COLORREF p = row ? c.Pixel(i, fixed) : c.Pixel(fixed, i);
    out += p == Outline ? '#' : p == Fill ? '+' : '.';
  }
  return out;
}
std::string Runs(int32_t length, std::initializer_list<std::tuple<int32_t, int32_t, char>> runs) {
  std::string s(length, '.');
  for (auto [from, to, c] : runs) s.replace(from, to - from + 1, to - from + 1, c);
  return s;
}

// Pen widths 0 to 6, shapes inset by half the pen width into 21 x 17 boxes as the viewer draws
// them: a rectangle's even-width outline ends one pixel inside the box's right and bottom edges,
// an ellipse's touches them. Moved across a small canvas's edges, the same pixels show there.
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
      return Runs(length, {{from, to, '+'}, {from, from + band - 1, '#'}, {to - band + 1, to, '#'}});
    };
    const int32_t inside = w >= 2 && w % 2 == 0 ? 1 : 0;
    EXPECT_EQ(Cut(c, 16, 30, true), banded(30, 5, 25 - inside)) << "rectangle, width " << w;
    EXPECT_EQ(Cut(c, 15, 30, false).substr(6), banded(24, 2, 18 - inside)) << "rectangle " << w;
    EXPECT_EQ(Cut(c, 16, 62, true).substr(30), banded(32, 5, 25)) << "ellipse, width " << w;
    EXPECT_EQ(Cut(c, 45, 30, false), banded(30, 8, 24)) << "ellipse, width " << w;
    for (POINT v : {POINT{0, 0}, POINT{8, 0}, POINT{10, 5}, POINT{3, 12}, POINT{30, 12}, POINT{42, 14}}) {
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
  EXPECT_FALSE(Polyline(c.Dc, outside, 2) || Rectangle(c.Dc, 0, 0, 1 << 28, 5) || Ellipse(c.Dc, -(1 << 28), 0, 5, 5));
  EXPECT_EQ(Cut(c, 0, 16, true), std::string(16, '+'));
}


HFONT Font(const char* face, int32_t height, int32_t weight = FW_NORMAL, bool italic = false) {
  LOGFONTW f{};
  f.lfHeight = height, f.lfWeight = weight, f.lfItalic = italic ? 1 : 0;
  for (int i = 0; face[i] != 0 && i < LF_FACESIZE; ++i) f.lfFaceName[i] = face[i];
  return CreateFontIndirectW(&f);
}

using testsupport::Ink;

// Width and height as DT_CALCRECT reports them from a rectangle at (0, 0).
std::pair<int32_t, int32_t> Measure(HDC dc, const std::u16string& text, uint32_t format = 0, int32_t width = 0) {
  RECT r{0, 0, width, 0};
  int32_t height =
      DrawTextW(dc, text.c_str(), static_cast<int32_t>(text.size()), &r, format | DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(height, r.bottom);
  return {r.right, r.bottom};
}

class Text : public GdiTest {};

TEST_F(Text, MeasuresLinesAdvancesAndWrapping) {
  Canvas c(10, 10);
  Selected font(c.Dc, Font("Times", -13));
  const int32_t line = Measure(c.Dc, u"Hg").second;
  const int32_t a = Measure(c.Dc, u"a").first, b = Measure(c.Dc, u"b").first, ab = std::max(a, b);
  ASSERT_TRUE(line > 12 && a > 1);
  // Lines end at CR LF, LF and CR alike and every end starts a line; advances add up.
  const std::pair<std::u16string, int32_t> lines[] = {
      {u"", 1}, {u"ab\r\nab", 2}, {u"a\nb\rab", 3}, {u"ab\r\n", 2}, {u"\n\n", 3}};
  for (const auto& [text, count] : lines) {
    const int32_t widest = text.find(u'a') == std::u16string::npos ? 0 : a + b;
    EXPECT_EQ(Measure(c.Dc, text), std::make_pair(widest, count * line)) << count;
  }
  // Wrapping in a line two a's wide (one: and a pixel) breaks at a space run (dropping it),
  // inside a word too long, after every character when the width is 0 or less; text, width,
  // lines, widest.
  const int32_t one = 2 * a + 1, two = 2 * a, spaced = Measure(c.Dc, u"ab ab").first;
  const std::tuple<std::u16string, int32_t, int32_t, int32_t> wraps[] = {
      {u"aa  aa", one, 2, two}, {u"aaaaa", one, 3, two}, {u"aaaa", two, 2, two}, {u"aa aaa a", one, 4, two},
      {u"  aa", one, 2, two},   {u"ab", 0, 2, ab},       {u"ab", -50, 2, ab},    {u"ab ab", 1000, 1, spaced}};
  for (const auto& [text, width, count, widest] : wraps) {
    EXPECT_EQ(Measure(c.Dc, text, DT_WORDBREAK, width), std::make_pair(widest, count * line))
        << "wrapping " << text.size() << " units in " << width;
  }
  // Prefixes: "&&" is one ampersand and "&" alone marks the next character.
  RECT r{0, 0, 0, 0};
  DrawTextW(c.Dc, u"a&&b&a", -1, &r, DT_CALCRECT);
  EXPECT_EQ(r.right, Measure(c.Dc, u"a&ba").first);
  EXPECT_GT(Measure(c.Dc, u"a&&b").first, Measure(c.Dc, u"a&b").first);
}

// Nine alignments move the same ink by the offsets the measure predicts. The ink is blue
// blended over white (anti-aliased) and lies inside the measured box.
TEST_F(Text, AlignsClipsAndAgreesWithItsMeasure) {
  constexpr int32_t W = 160, H = 60;
  const COLORREF blue = RGB(0, 0, 255);
  Canvas m(1, 1);
  Selected measuring(m.Dc, Font("Times", -16));
  const auto [tw, th] = Measure(m.Dc, u"Fjord 42");
  const uint32_t across[] = {0, DT_CENTER, DT_RIGHT}, down[] = {0, DT_VCENTER, DT_BOTTOM};
  const int32_t dx[] = {0, (W - tw) / 2, W - tw}, dy[] = {0, (H - th) / 2, H - th};
  Ink first;
  for (int k = 0; k < 9; ++k) {
    Canvas c(W + 20, H + 20);
    Selected font(c.Dc, Font("Times", -16));
    SetBkMode(c.Dc, TRANSPARENT), SetTextColor(c.Dc, blue);
    RECT r{10, 10, 10 + W, 10 + H};
    const uint32_t format = across[k % 3] | down[k / 3] | DT_NOPREFIX;
    EXPECT_EQ(DrawTextW(c.Dc, u"Fjord 42", -1, &r, format), dy[k / 3] + th);
    const Ink ink = c.InkOf();
    if (k > 0) {
      const Ink moved{first.Left + dx[k % 3], first.Top + dy[k / 3], first.Right + dx[k % 3], first.Bottom + dy[k / 3], first.Count};
      EXPECT_EQ(ink, moved) << "format " << format;
      continue;
    }
    first = ink;
    EXPECT_TRUE(ink.Count > 20 && ink.Left >= 10 && ink.Top >= 10 && ink.Right <= 10 + tw && ink.Bottom <= 10 + th);
    int32_t partial = 0;
    for (int32_t i = 0; i < (W + 20) * (H + 20); ++i) {
      const COLORREF p = c.Pixel(i % (W + 20), i / (W + 20));
      ASSERT_TRUE((p & 0xFF) == (p >> 8 & 0xFF) && (p >> 16) == 255) << std::hex << p;
      partial += p != blue && p != RGB(255, 255, 255);
    }
    EXPECT_GT(partial, 5) << "anti-aliased edges";
  }
  // Text far larger than its rectangle, in opaque mode so its line boxes cover the whole
  // rectangle; the rectangle touching each edge of the canvas or reaching past it: what
  // changes is exactly the rectangle's part of the canvas.
  for (RECT box :
       {RECT{5, 5, 25, 25}, RECT{-10, 8, 12, 20}, RECT{20, -5, 30, 9}, RECT{28, 10, 60, 22}, RECT{3, 25, 20, 70}}) {
    Canvas c(30, 30);
    Selected font(c.Dc, Font("Times", -40));
    SetBkColor(c.Dc, RGB(255, 255, 0));
    RECT r = box;
    DrawTextW(c.Dc, u"WWW\r\nMMM", -1, &r, DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    Ink want{std::max(box.left, 0), std::max(box.top, 0), std::min(box.right, 30), std::min(box.bottom, 30)};
    want.Count = (want.Right - want.Left) * (want.Bottom - want.Top);
    EXPECT_EQ(c.InkOf(), want) << "box " << box.left << "," << box.top;
  }
}

TEST_F(Text, FontsFromTheirDescription) {
  Canvas c(10, 10);
  auto measure = [&c](HFONT f) {
    Selected font(c.Dc, f);
    return Measure(c.Dc, u"Hamburg harbour");
  };
  const auto regular = measure(Font("Times", -13));
  // Negative heights are character heights and scale the line; a positive height is the cell.
  EXPECT_NEAR(measure(Font("Times", -26)).second, 2 * regular.second, 1);
  EXPECT_EQ(measure(Font("Times", 30)).second, 30);
  EXPECT_EQ(measure(Font("Times", 0)), regular) << "0 is 10 points at 96 dots per inch";
  EXPECT_GT(measure(Font("Times", -13, FW_BOLD)).first, regular.first);
  // "Times" is a Times-metric face, the one that stands in for Times New Roman.
  EXPECT_EQ(measure(Font("Times New Roman", -13)), regular);
  // Unknown, empty and over-long face names still give text: fontconfig's default face.
  const auto fallback = measure(Font("", -13));
  EXPECT_TRUE(fallback.first > 20 && fallback.second > 10);
  EXPECT_EQ(measure(Font("No Such Face 1234", -13)), fallback);
  EXPECT_EQ(measure(Font("An extraordinarily long face name, well past 31", -13)), fallback);
  // Italic is its own face, with its own advances.
  EXPECT_NE(measure(Font("Times", -13, FW_NORMAL, true)).first, regular.first);
}

}  // namespace
}  // namespace gditest
