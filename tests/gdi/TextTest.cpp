// DrawTextW through relations that hold whatever font files are installed: line heights,
// advance sums, wrapping, DT_CALCRECT agreeing with the ink, alignment offsets, clipping, and
// fonts found from their LOGFONT.
#include <string>

#include "GdiTesting.h"

namespace gditest {
namespace {

LOGFONTW Font(const char* face, int32_t height, int32_t weight = FW_NORMAL, bool italic = false) {
  LOGFONTW f{};
  f.lfHeight = height;
  f.lfWeight = weight;
  f.lfItalic = italic ? 1 : 0;
  for (int i = 0; face[i] != 0 && i < LF_FACESIZE; ++i) f.lfFaceName[i] = static_cast<WCHAR>(face[i]);
  return f;
}

struct Ink {
  int32_t Left = INT32_MAX, Top = INT32_MAX, Right = INT32_MIN, Bottom = INT32_MIN;  // exclusive
  int32_t Count = 0;
  bool operator==(const Ink&) const = default;
};

// The box of the pixels that differ from the background.
Ink InkOf(const Canvas& c, int32_t width, int32_t height, COLORREF background = RGB(255, 255, 255)) {
  Ink ink;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      if (c.Pixel(x, y) == background) continue;
      ink = {std::min(ink.Left, x), std::min(ink.Top, y), std::max(ink.Right, x + 1),
             std::max(ink.Bottom, y + 1), ink.Count + 1};
    }
  }
  return ink;
}

// Width and height as DT_CALCRECT reports them from a rectangle at (0, 0).
std::pair<int32_t, int32_t> Measure(HDC dc, const std::u16string& text, uint32_t format = 0,
                                    int32_t width = 0) {
  RECT r{0, 0, width, 0};
  int32_t height = DrawTextW(dc, text.c_str(), static_cast<int32_t>(text.size()), &r,
                             format | DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(height, r.bottom);
  return {r.right, r.bottom};
}

class Text : public GdiTest {};

TEST_F(Text, MeasuresLinesAdvancesAndWrapping) {
  Canvas c(10, 10);
  LOGFONTW times = Font("Times", -13);
  Selected font(c.Dc, CreateFontIndirectW(&times));
  const int32_t line = Measure(c.Dc, u"Hg").second;
  const int32_t a = Measure(c.Dc, u"a").first, b = Measure(c.Dc, u"b").first;
  ASSERT_GT(line, 12);
  ASSERT_GT(a, 1);
  // Lines end at CR LF, LF and CR alike; every line end starts a line.
  const std::pair<std::u16string, int32_t> lines[] = {
      {u"", 1}, {u"ab", 1}, {u"ab\r\nab", 2}, {u"a\nb\rab", 3}, {u"ab\r\n", 2}, {u"\n\n", 3}};
  for (const auto& [text, count] : lines) {
    EXPECT_EQ(Measure(c.Dc, text).second, count * line) << "lines of " << text.size() << " units";
    EXPECT_EQ(Measure(c.Dc, text).first, text.empty() || text == u"\n\n" ? 0 : a + b);
  }
  // Wrapping in a line two a's wide: at the space run (spaces dropped), inside a long word,
  // a character per line when the width is 0 or less.
  const int32_t two = 2 * a + 1;
  struct Wrap {
    std::u16string Text;
    int32_t Width, Lines, Widest;
  };
  const Wrap wraps[] = {{u"aa  aa", two, 2, 2 * a},  {u"aaaaa", two, 3, 2 * a}, {u"aaaa", 2 * a, 2, 2 * a},
                        {u"aa aaa a", two, 4, 2 * a}, {u"ab", 0, 2, std::max(a, b)},
                        {u"ab", -50, 2, std::max(a, b)}, {u"  aa", two, 2, 2 * a},
                        {u"aa aa", 1000, 1, Measure(c.Dc, u"aa aa").first}};
  for (const Wrap& w : wraps) {
    auto [width, height] = Measure(c.Dc, w.Text, DT_WORDBREAK, w.Width);
    EXPECT_EQ(height, w.Lines * line) << "wrapping " << w.Text.size() << " units in " << w.Width;
    EXPECT_EQ(width, w.Widest) << "wrapping " << w.Text.size() << " units in " << w.Width;
  }
  // Prefixes: "&&" is one ampersand and "&" alone marks the next character.
  RECT r{0, 0, 0, 0};
  DrawTextW(c.Dc, u"a&&b&a", -1, &r, DT_CALCRECT);
  EXPECT_EQ(r.right, Measure(c.Dc, u"a&ba").first);
  EXPECT_GT(Measure(c.Dc, u"a&&b").first, Measure(c.Dc, u"a&b").first);
}

TEST_F(Text, AlignsClipsAndAgreesWithItsMeasure) {
  LOGFONTW times = Font("Times", -16);
  const std::u16string text = u"Fjord 42";
  constexpr int32_t W = 160, H = 60;
  Ink reference;
  int32_t tw = 0, th = 0;
  const uint32_t across[] = {DT_LEFT, DT_CENTER, DT_RIGHT}, down[] = {DT_TOP, DT_VCENTER, DT_BOTTOM};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      Canvas c(W + 20, H + 20);
      Selected font(c.Dc, CreateFontIndirectW(&times));
      SetBkMode(c.Dc, TRANSPARENT);
      if (i + j == 0) std::tie(tw, th) = Measure(c.Dc, text);
      RECT r{10, 10, 10 + W, 10 + H};
      int32_t result = DrawTextW(c.Dc, text.c_str(), -1, &r, across[i] | down[j] | DT_NOPREFIX);
      int32_t dx = i == 0 ? 0 : i == 1 ? (W - tw) / 2 : W - tw;
      int32_t dy = j == 0 ? 0 : j == 1 ? (H - th) / 2 : H - th;
      EXPECT_EQ(result, dy + th);
      Ink ink = InkOf(c, W + 20, H + 20);
      if (i + j == 0) {
        reference = ink;
        // The ink lies in the measured box.
        EXPECT_TRUE(ink.Left >= 10 && ink.Top >= 10 && ink.Right <= 10 + tw && ink.Bottom <= 10 + th)
            << ink.Left << " " << ink.Top << " " << ink.Right << " " << ink.Bottom;
        EXPECT_GT(ink.Count, 20);
        continue;
      }
      Ink want{reference.Left + dx, reference.Top + dy, reference.Right + dx, reference.Bottom + dy,
               reference.Count};
      EXPECT_EQ(ink, want) << "format " << (across[i] | down[j]);
    }
  }
  // Text far larger than its rectangle, in opaque mode so its line boxes cover the whole
  // rectangle; the rectangle touching each edge of the canvas or reaching past it: what
  // changes is exactly the rectangle's part of the canvas.
  LOGFONTW big = Font("Times", -40);
  const RECT boxes[] = {{5, 5, 25, 25}, {-10, 8, 12, 20}, {20, -5, 30, 9}, {28, 10, 60, 22}, {3, 25, 20, 70}};
  for (const RECT& box : boxes) {
    Canvas c(30, 30);
    Selected font(c.Dc, CreateFontIndirectW(&big));
    SetBkColor(c.Dc, RGB(255, 255, 0));
    RECT r = box;
    DrawTextW(c.Dc, u"WWW\r\nMMM", -1, &r, DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    Ink ink = InkOf(c, 30, 30);
    Ink want{std::max(box.left, 0), std::max(box.top, 0), std::min(box.right, 30), std::min(box.bottom, 30)};
    want.Count = (want.Right - want.Left) * (want.Bottom - want.Top);
    EXPECT_EQ(ink, want) << "box " << box.left << "," << box.top;
  }
}

TEST_F(Text, ColoursModesAndAntialiasing) {
  LOGFONTW times = Font("Times", -20);
  const COLORREF grey = RGB(100, 100, 100), blue = RGB(0, 0, 255), yellow = RGB(255, 255, 0);
  for (int32_t mode : {TRANSPARENT, OPAQUE}) {
    Canvas c(120, 40);
    Selected brush(c.Dc, CreateSolidBrush(grey));
    Selected pen(c.Dc, CreatePen(PS_SOLID, 1, grey));
    Rectangle(c.Dc, 0, 0, 120, 40);
    Selected font(c.Dc, CreateFontIndirectW(&times));
    SetTextColor(c.Dc, blue);
    SetBkColor(c.Dc, yellow);
    SetBkMode(c.Dc, mode);
    auto [tw, th] = Measure(c.Dc, u"Ahoy");
    RECT r{10, 5, 110, 35};
    DrawTextW(c.Dc, u"Ahoy", -1, &r, DT_NOPREFIX);
    int32_t blends = 0;
    for (int32_t y = 0; y < 40; ++y) {
      for (int32_t x = 0; x < 120; ++x) {
        COLORREF p = c.Pixel(x, y);
        bool inBox = x >= 10 && y >= 5 && x < 10 + tw && y < 5 + th;
        if (!inBox) {
          ASSERT_EQ(p, grey) << "outside the line box at " << x << "," << y;
          continue;
        }
        // Ink blends the text colour over what was there: red and green fall together.
        COLORREF under = mode == OPAQUE ? yellow : grey;
        uint8_t red = p & 0xFF, green = p >> 8 & 0xFF, blueLevel = p >> 16 & 0xFF;
        ASSERT_TRUE(red == green && red <= (under & 0xFF) && blueLevel >= (under >> 16 & 0xFF))
            << std::hex << p << " at " << std::dec << x << "," << y;
        blends += p != under && p != blue;
      }
    }
    EXPECT_GT(blends, 5) << "anti-aliased edges";
  }
}

TEST_F(Text, FontsFromTheirDescription) {
  Canvas c(10, 10);
  auto measure = [&c](const LOGFONTW& f, const std::u16string& text) {
    Selected font(c.Dc, CreateFontIndirectW(&f));
    return Measure(c.Dc, text);
  };
  const std::u16string text = u"Hamburg harbour";
  const auto regular = measure(Font("Times", -13), text);
  // Negative heights are character heights and scale the line; a positive height is the cell.
  EXPECT_NEAR(measure(Font("Times", -26), text).second, 2 * regular.second, 1);
  EXPECT_EQ(measure(Font("Times", 30), text).second, 30);
  EXPECT_EQ(measure(Font("Times", 0), text), regular) << "0 is 10 points at 96 dots per inch";
  EXPECT_GT(measure(Font("Times", -13, FW_BOLD), text).first, regular.first);
  // "Times" is a Times-metric face, the one that stands in for Times New Roman.
  EXPECT_EQ(measure(Font("Times New Roman", -13), text), regular);
  EXPECT_EQ(measure(Font("TIMES", -13), text), regular);
  // Unknown, empty and over-long face names still give text: fontconfig's default face.
  for (const char* face : {"No Such Face 1234", "", "An extraordinarily long face name, well past 31"}) {
    auto size = measure(Font(face, -13), text);
    EXPECT_TRUE(size.first > 20 && size.second > 10) << face;
  }
  EXPECT_EQ(measure(Font("No Such Face 1234", -13), text), measure(Font("", -13), text));
  // Italic ink leans: its top row starts further right than its bottom row.
  for (bool italic : {false, true}) {
    Canvas d(60, 40);
    LOGFONTW f = Font("Times", -30, FW_NORMAL, italic);
    Selected font(d.Dc, CreateFontIndirectW(&f));
    RECT r{5, 0, 60, 40};
    DrawTextW(d.Dc, u"l", -1, &r, DT_NOPREFIX);
    Ink ink = InkOf(d, 60, 40);
    auto firstInk = [&](int32_t y) {
      for (int32_t x = 0; x < 60; ++x) if (d.Pixel(x, y) != RGB(255, 255, 255)) return x;
      return -1;
    };
    int32_t lean = firstInk(ink.Top + 1) - firstInk(ink.Bottom - 2);
    EXPECT_TRUE(italic ? lean > 2 : lean <= 1) << "lean " << lean;
  }
}

}  // namespace
}  // namespace gditest
