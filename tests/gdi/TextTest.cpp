// DrawTextW through relations that hold whatever font files are installed: line heights,
// advance sums, wrapping, DT_CALCRECT agreeing with the ink, alignment offsets, clipping, and
// fonts found from their LOGFONT.
#include <string>
#include <tuple>

#include "GdiTesting.h"

namespace gditest {
namespace {

LOGFONTW Font(const char* face, int32_t height, int32_t weight = FW_NORMAL, bool italic = false) {
  LOGFONTW f{};
  f.lfHeight = height;
  f.lfWeight = weight;
  f.lfItalic = italic ? 1 : 0;
  for (int i = 0; face[i] != 0 && i < LF_FACESIZE; ++i) f.lfFaceName[i] = face[i];
  return f;
}

struct Ink {
  int32_t Left = INT32_MAX, Top = INT32_MAX, Right = INT32_MIN, Bottom = INT32_MIN;  // exclusive
  int32_t Count = 0;
  bool operator==(const Ink&) const = default;
};

// The box of the pixels that differ from the background.
Ink InkOf(const Canvas& c, int32_t width, int32_t height) {
  Ink ink;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      if (c.Pixel(x, y) == RGB(255, 255, 255)) continue;
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
      {u"aa  aa", one, 2, two},   {u"aaaaa", one, 3, two},    {u"aaaa", two, 2, two},
      {u"aa aaa a", one, 4, two}, {u"  aa", one, 2, two},     {u"ab", 0, 2, ab},
      {u"ab", -50, 2, ab},        {u"ab ab", 1000, 1, spaced}};
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
// blended over white (anti-aliased: red and green fall together, some only part way) and
// lies inside the measured box.
TEST_F(Text, AlignsClipsAndAgreesWithItsMeasure) {
  LOGFONTW times = Font("Times", -16);
  constexpr int32_t W = 160, H = 60;
  const COLORREF blue = RGB(0, 0, 255);
  Canvas m(1, 1);
  Selected measuring(m.Dc, CreateFontIndirectW(&times));
  const auto [tw, th] = Measure(m.Dc, u"Fjord 42");
  const uint32_t across[] = {0, DT_CENTER, DT_RIGHT}, down[] = {0, DT_VCENTER, DT_BOTTOM};
  const int32_t dx[] = {0, (W - tw) / 2, W - tw}, dy[] = {0, (H - th) / 2, H - th};
  Ink first;
  for (int k = 0; k < 9; ++k) {
    Canvas c(W + 20, H + 20);
    Selected font(c.Dc, CreateFontIndirectW(&times));
    SetBkMode(c.Dc, TRANSPARENT);
    SetTextColor(c.Dc, blue);
    RECT r{10, 10, 10 + W, 10 + H};
    const uint32_t format = across[k % 3] | down[k / 3] | DT_NOPREFIX;
    EXPECT_EQ(DrawTextW(c.Dc, u"Fjord 42", -1, &r, format), dy[k / 3] + th);
    const Ink ink = InkOf(c, W + 20, H + 20);
    if (k > 0) {
      EXPECT_EQ(ink, (Ink{first.Left + dx[k % 3], first.Top + dy[k / 3], first.Right + dx[k % 3],
                          first.Bottom + dy[k / 3], first.Count}))
          << "format " << format;
      continue;
    }
    first = ink;
    EXPECT_TRUE(ink.Count > 20 && ink.Left >= 10 && ink.Top >= 10 && ink.Right <= 10 + tw &&
                ink.Bottom <= 10 + th);
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
  LOGFONTW big = Font("Times", -40);
  for (RECT box : {RECT{5, 5, 25, 25}, RECT{-10, 8, 12, 20}, RECT{20, -5, 30, 9},
                   RECT{28, 10, 60, 22}, RECT{3, 25, 20, 70}}) {
    Canvas c(30, 30);
    Selected font(c.Dc, CreateFontIndirectW(&big));
    SetBkColor(c.Dc, RGB(255, 255, 0));
    RECT r = box;
    DrawTextW(c.Dc, u"WWW\r\nMMM", -1, &r, DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    Ink want{std::max(box.left, 0), std::max(box.top, 0), std::min(box.right, 30),
             std::min(box.bottom, 30)};
    want.Count = (want.Right - want.Left) * (want.Bottom - want.Top);
    EXPECT_EQ(InkOf(c, 30, 30), want) << "box " << box.left << "," << box.top;
  }
}

TEST_F(Text, FontsFromTheirDescription) {
  Canvas c(10, 10);
  auto measure = [&c](const LOGFONTW& f, const std::u16string& text = u"Hamburg harbour") {
    Selected font(c.Dc, CreateFontIndirectW(&f));
    return Measure(c.Dc, text);
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
