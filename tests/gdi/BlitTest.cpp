// BitBlt against a small reference model: every raster operation between DIB sections of
// every pair of depths, clipping, and the transparency technique of the viewer's icons end
// to end with its colour/monochrome conversions, shown in a window.
#include <algorithm>

#include "GdiTesting.h"

namespace gditest {
namespace {

constexpr COLORREF Black = RGB(0, 0, 0), White = RGB(255, 255, 255), Cyan = RGB(0, 255, 255);
// The corners of the colour cube: closed under AND, OR and AND NOT, and exact in 5-5-5.
// Black is not first, so nothing can rely on palette index 0 being black.
const std::vector<COLORREF> Corners = {RGB(255, 0, 0), RGB(0, 255, 0),   RGB(0, 0, 255),
                                       White,          RGB(255, 255, 0), Black,
                                       Cyan,           RGB(255, 0, 255)};

// The bitmap layout written out once more (bit and nibble order from the left, 5-5-5).
uint32_t Peek(const uint8_t* row, int32_t x, int bits) {
  if (bits < 8) return row[x * bits / 8] >> (8 - bits - x * bits % 8) & ((1 << bits) - 1);
  uint32_t v = 0;
  for (int i = 0; i < bits / 8 && i < 3; ++i) v |= row[bits / 8 * x + i] << 8 * i;
  return v;
}
void Poke(uint8_t* row, int32_t x, int bits, uint32_t v) {
  if (bits < 8) row[x * bits / 8] |= static_cast<uint8_t>(v << (8 - bits - x * bits % 8));
  for (int i = 0; i < bits / 8 && i < 3; ++i)
    row[bits / 8 * x + i] = static_cast<uint8_t>(v >> 8 * i);
}
uint32_t Pack(COLORREF c, int bits) {
  uint32_t r = c & 0xFF, g = c >> 8 & 0xFF, b = c >> 16 & 0xFF;
  return bits == 16 ? (r >> 3) << 10 | (g >> 3) << 5 | b >> 3 : r << 16 | g << 8 | b;
}
COLORREF Unpack(uint32_t v, int bits) {
  auto widen = [](uint32_t five) { return static_cast<uint8_t>(five << 3 | five >> 2); };
  if (bits == 16) return RGB(widen(v >> 10 & 31), widen(v >> 5 & 31), widen(v & 31));
  return RGB(static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v));
}

// A DIB section filled with pseudo-random colours of its own (for 1 bit cyan and black, else
// the corners), read back pixel by pixel; the colour it stores for another is its first
// nearest palette colour, or exact.
std::vector<COLORREF> ColoursOf(int bits) { return bits == 1 ? std::vector{Cyan, Black} : Corners; }
struct Surface : Dib {
  Surface(int bits, int32_t w, int32_t h, uint32_t seed)
      : Dib(w, h, static_cast<uint16_t>(bits),
            bits <= 8 ? ColoursOf(bits) : std::vector<COLORREF>{}),
        Bits(bits),
        Width(w),
        Colours(ColoursOf(bits)) {
    for (int32_t i = 0; i < w * h; ++i) {
      seed = seed * 1103515245 + 12345;
      Pixels.push_back(static_cast<uint32_t>(seed >> 16) % Colours.size());
      Poke(Row(i / w), i % w, bits, bits <= 8 ? Pixels[i] : Pack(Colours[Pixels[i]], bits));
    }
  }
  COLORREF At(int32_t x, int32_t y) const { return Colours[Pixels[y * Width + x]]; }
  COLORREF Get(int32_t x, int32_t y) const {
    uint32_t v = Peek(Row(y), x, Bits);
    return Bits <= 8 ? Colours[v] : Unpack(v, Bits);
  }
  COLORREF Stored(COLORREF c) const {
    if (Bits > 8) return c;
    auto distance = [c](COLORREF p) {
      int32_t d = 0;
      for (int s = 0; s < 24; s += 8)
        d += ((p >> s & 0xFF) - (c >> s & 0xFF)) * ((p >> s & 0xFF) - (c >> s & 0xFF));
      return d;
    };
    return *std::min_element(Colours.begin(), Colours.end(),
                             [&](COLORREF a, COLORREF b) { return distance(a) < distance(b); });
  }

  int Bits;
  int32_t Width;
  std::vector<COLORREF> Colours;
  std::vector<uint32_t> Pixels;  // index into Colours
};

const std::pair<DWORD, COLORREF (*)(COLORREF d, COLORREF s)> Rops[] = {
    {SRCCOPY, [](COLORREF, COLORREF s) { return s; }},
    {SRCAND, [](COLORREF d, COLORREF s) { return d & s; }},
    {SRCPAINT, [](COLORREF d, COLORREF s) { return d | s; }},
    {DSTANDNOTSRC, [](COLORREF d, COLORREF s) { return d & ~s & 0xFFFFFF; }}};

class Blit : public GdiTest {};

// Every operation between DIB sections of every pair of depths, the copy crossing every edge
// of the source and the destination's left, right and bottom edges. The monochrome
// conversions are the transparency technique's, below.
TEST_F(Blit, EveryOperationBetweenEveryPairOfDepthsClipped) {
  constexpr int32_t W = 13, H = 3;  // odd widths cross nibble, byte and padding boundaries
  for (int from : {1, 4, 8, 16, 24, 32}) {
    for (int to : {1, 4, 8, 16, 24, 32}) {
      for (auto [rop, apply] : Rops) {
        Surface src(from, W, H, 7 + from), dst(to, W + 4, H + 1, 99 + to);
        ASSERT_TRUE(BitBlt(dst.Dc, -1, 1, W + 6, H + 1, src.Dc, -3, -1, rop));
        for (int32_t i = 0; i < (W + 4) * (H + 1); ++i) {
          const int32_t x = i % (W + 4), y = i / (W + 4), sx = x - 2, sy = y - 2;
          COLORREF want = dst.At(x, y);
          if (sx >= 0 && sx < W && sy >= 0 && sy < H)
            want = dst.Stored(apply(want, src.At(sx, sy)));
          ASSERT_EQ(dst.Get(x, y), want) << "from " << from << " to " << to << " rop " << std::hex
                                         << rop << std::dec << " at " << x << "," << y;
        }
      }
    }
  }
}

// The viewer's icon drawing over a view, with the icon's own context as the source: mask
// from the key colour (cyan), AND the mask in, blacken the key pixels of the picture, OR the
// picture in. The key pixels show the view; the mask and its context are given back. The
// icons' palettes hold black, but not first.
TEST_F(Blit, TransparentIconsLeaveTheViewAtTheirKeyColour) {
  constexpr int32_t W = 11, H = 7, X = 25, Y = 10;  // crossing two edges of the 40 x 20 view
  for (int bits : {1, 4, 8, 24}) {
    Surface icon(bits, W, H, 5 + bits), view(24, 40, 20, 1);
    SetBkColor(icon.Dc, Cyan);
    HDC maskDc = CreateCompatibleDC(icon.Dc);
    HBITMAP mask = CreateBitmap(W, H, 1, 1, nullptr);
    HGDIOBJ maskBefore = SelectObject(maskDc, mask);
    EXPECT_TRUE(BitBlt(maskDc, 0, 0, W, H, icon.Dc, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(view.Dc, X, Y, W, H, maskDc, 0, 0, SRCAND));
    EXPECT_TRUE(BitBlt(icon.Dc, 0, 0, W, H, maskDc, 0, 0, DSTANDNOTSRC));
    EXPECT_TRUE(BitBlt(view.Dc, X, Y, W, H, icon.Dc, 0, 0, SRCPAINT));
    SelectObject(maskDc, maskBefore);
    EXPECT_TRUE(DeleteObject(mask) && DeleteDC(maskDc));

    Canvas window(40, 20);
    BitBlt(window.Dc, 0, 0, 40, 20, view.Dc, 0, 0, SRCCOPY);
    for (int32_t i = 0; i < 800; ++i) {
      const int32_t x = i % 40, y = i / 40;
      const bool onIcon = x >= X && y >= Y && x - X < W && y - Y < H;
      const COLORREF want =
          onIcon && icon.At(x - X, y - Y) != Cyan ? icon.At(x - X, y - Y) : view.At(x, y);
      ASSERT_EQ(window.Pixel(x, y), want) << bits << " bits at " << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace gditest
