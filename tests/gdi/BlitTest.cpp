// BitBlt against a small reference model: every raster operation between every pair of
// surfaces (DIB sections of each depth, monochrome bitmaps, windows), the colour/monochrome
// conversions, clipping, and the transparency technique of the viewer's icons end to end.
#include <memory>

#include "GdiTesting.h"

namespace gditest {
namespace {

constexpr COLORREF Black = RGB(0, 0, 0), White = RGB(255, 255, 255);
// The corners of the colour cube: closed under AND, OR and AND NOT, and exact in 5-5-5.
// Black is not first, so nothing can rely on palette index 0 being black.
const std::vector<COLORREF> Corners = {RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(0, 0, 255),
                                       White,            RGB(255, 255, 0), Black,
                                       RGB(0, 255, 255), RGB(255, 0, 255)};
constexpr int Mono = 0, Window = 64;  // surface kinds beside the DIB depths
const int Kinds[] = {1, 4, 8, 16, 24, 32, Mono, Window};

// The bitmap layout, written out once more: bit and nibble order from the left, 5-5-5.
uint32_t Peek(const uint8_t* row, int32_t x, int bits) {
  switch (bits) {
    case 1: return row[x / 8] >> (7 - x % 8) & 1;
    case 4: return x % 2 != 0 ? row[x / 2] & 15 : row[x / 2] >> 4;
    case 8: return row[x];
    case 16: return row[2 * x] | row[2 * x + 1] << 8;
    default: return row[bits / 8 * x] | row[bits / 8 * x + 1] << 8 | row[bits / 8 * x + 2] << 16;
  }
}
void Poke(uint8_t* row, int32_t x, int bits, uint32_t v) {
  if (bits == 1) row[x / 8] = static_cast<uint8_t>(row[x / 8] | v << (7 - x % 8));
  if (bits == 4) row[x / 2] = static_cast<uint8_t>(row[x / 2] | v << (x % 2 != 0 ? 0 : 4));
  for (int i = 0; i < bits / 8 && i < 3; ++i) row[bits / 8 * x + i] = static_cast<uint8_t>(v >> 8 * i);
}
uint32_t Pack(COLORREF c, int bits) {
  uint32_t r = c & 0xFF, g = c >> 8 & 0xFF, b = c >> 16 & 0xFF;
  return bits == 16 ? (r >> 3) << 10 | (g >> 3) << 5 | b >> 3 : r << 16 | g << 8 | b;
}
COLORREF Unpack(uint32_t v, int bits) {
  if (bits == 16) {
    auto widen = [](uint32_t five) { return static_cast<uint8_t>(five << 3 | five >> 2); };
    return RGB(widen(v >> 10 & 31), widen(v >> 5 & 31), widen(v & 31));
  }
  return RGB(static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v));
}
int32_t Distance(COLORREF a, COLORREF b) {
  int32_t d = 0;
  for (int s = 0; s < 24; s += 8) d += ((a >> s & 0xFF) - (b >> s & 0xFF)) * ((a >> s & 0xFF) - (b >> s & 0xFF));
  return d;
}

// A surface of any kind filled with known colours, read back pixel by pixel.
struct Surface {
  Surface(int kind, int32_t w, int32_t h, uint32_t seed) : Kind(kind), Width(w) {
    Colours = kind == Mono ? std::vector<COLORREF>{Black, White}
              : kind == 1  ? std::vector<COLORREF>{Corners[0], Corners[6]}
                           : Corners;
    if (kind <= 8 && kind != Mono) Palette = Colours;
    for (int32_t i = 0; i < w * h; ++i) {
      seed = seed * 1103515245 + 12345;
      Pixels.push_back(static_cast<uint32_t>(seed >> 16) % Colours.size());
    }
    if (kind == Window) {
      C = std::make_unique<Canvas>(w, h);
      auto* bits = const_cast<uint8_t*>(VmWindow_GetPixels(C->Window, nullptr, nullptr, nullptr));
      for (int32_t i = 0; i < w * h; ++i) Poke(bits + 4 * i, 0, 32, Pack(At(i % w, i / w), 32));
      Dc = C->Dc;
    } else if (kind == Mono) {
      int32_t stride = (w + 15) / 16 * 2;
      std::vector<uint8_t> bits(static_cast<size_t>(stride) * h);
      for (int32_t i = 0; i < w * h; ++i) Poke(&bits[(i / w) * stride], i % w, 1, Pixels[i]);
      Dc = CreateCompatibleDC(nullptr);
      MonoBitmap = CreateBitmap(w, h, 1, 1, bits.data());
      MonoPrevious = SelectObject(Dc, MonoBitmap);
    } else {
      D = std::make_unique<Dib>(w, h, static_cast<uint16_t>(kind), Palette);
      for (int32_t i = 0; i < w * h; ++i) {
        Poke(D->Row(i / w), i % w, kind, kind <= 8 ? Pixels[i] : Pack(At(i % w, i / w), kind));
      }
      Dc = D->Dc;
    }
  }
  ~Surface() {
    if (Kind != Mono) return;
    SelectObject(Dc, MonoPrevious);
    DeleteObject(MonoBitmap);
    DeleteDC(Dc);
  }
  COLORREF At(int32_t x, int32_t y) const { return Colours[Pixels[y * Width + x]]; }
  // What the surface reads back now.
  COLORREF Get(int32_t x, int32_t y) const {
    if (Kind == Window) return C->Pixel(x, y);
    if (Kind == Mono) {  // through a window: black for 0 and white for 1 by default
      Canvas probe(1, 1);
      BitBlt(probe.Dc, 0, 0, 1, 1, Dc, x, y, SRCCOPY);
      return probe.Pixel(0, 0);
    }
    uint32_t v = Peek(D->Row(y), x, Kind);
    return Kind <= 8 ? Palette[v] : Unpack(v, Kind);
  }
  // The colour this surface stores for c: the first nearest of its colours, or c itself.
  COLORREF Stored(COLORREF c) const {
    if (Kind > 8) return c;
    COLORREF best = Colours[0];
    for (COLORREF p : Colours) best = Distance(p, c) < Distance(best, c) ? p : best;
    return best;
  }

  int Kind;
  int32_t Width;
  std::vector<COLORREF> Colours, Palette;
  std::vector<uint32_t> Pixels;  // index into Colours
  std::unique_ptr<Dib> D;
  std::unique_ptr<Canvas> C;
  HDC Dc = nullptr;
  HBITMAP MonoBitmap = nullptr;
  HGDIOBJ MonoPrevious = nullptr;
};

COLORREF Apply(DWORD rop, COLORREF d, COLORREF s) {
  switch (rop) {
    case SRCCOPY: return s;
    case SRCAND: return d & s;
    case SRCPAINT: return d | s;
    default: return d & ~s & 0xFFFFFF;
  }
}

class Blit : public GdiTest {};

// Destination text red and background cyan, source background a corner colour: a
// monochrome source shows red for 0 and cyan for 1, a colour source drawn on monochrome is
// white exactly where it has the source's background colour.
TEST_F(Blit, EveryOperationBetweenEveryPairOfSurfaces) {
  constexpr int32_t W = 13, H = 3;  // odd widths cross nibble, byte and padding boundaries
  for (int from : Kinds) {
    for (int to : Kinds) {
      for (DWORD rop : {SRCCOPY, SRCAND, SRCPAINT, DSTANDNOTSRC}) {
        Surface src(from, W, H, 7 + from), dst(to, W + 4, H + 2, 99 + to);
        SetTextColor(dst.Dc, RGB(255, 0, 0));
        SetBkColor(dst.Dc, RGB(0, 255, 255));
        COLORREF key = src.At(3, 1);
        SetBkColor(src.Dc, key);
        ASSERT_TRUE(BitBlt(dst.Dc, 2, 1, W, H, src.Dc, 0, 0, rop));
        for (int32_t y = 0; y < H + 2; ++y) {
          for (int32_t x = 0; x < W + 4; ++x) {
            COLORREF want = dst.At(x, y);
            if (x >= 2 && x < W + 2 && y >= 1 && y < H + 1) {
              COLORREF s = src.At(x - 2, y - 1);
              if (from == Mono && to != Mono) s = s == White ? RGB(0, 255, 255) : RGB(255, 0, 0);
              if (from != Mono && to == Mono) s = s == key ? White : Black;
              want = dst.Stored(Apply(rop, want, s));
            }
            ASSERT_EQ(dst.Get(x, y), want) << "from " << from << " to " << to << " rop " << std::hex
                                           << rop << std::dec << " at " << x << "," << y;
          }
        }
      }
    }
  }
}

TEST_F(Blit, ClippedToBothSurfacesOnEverySide) {
  Dib src(10, 10, 24);
  for (int32_t y = 0; y < 10; ++y) {
    for (int32_t x = 0; x < 10; ++x) Poke(src.Row(y), x, 24, static_cast<uint32_t>(x * 20 << 8 | y * 20));
  }
  struct Case {
    int32_t X, Y, W, H, Sx, Sy;
  };
  const Case cases[] = {{-3, -2, 8, 8, 0, 0},   {4, 5, 20, 20, 0, 0},  {0, 0, 12, 12, -4, -1},
                        {2, 2, 12, 12, 5, 6},   {-20, 0, 5, 5, 0, 0},  {0, 0, 5, 5, 30, 0},
                        {1, 1, 0, 5, 0, 0},     {1, 1, -4, 5, 0, 0},   {11, 11, 5, 5, 0, 0},
                        {-1, 3, 14, 2, -2, -9}, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 0},
                        {3, 3, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN}};
  for (const Case& k : cases) {
    Canvas dst(12, 12);
    EXPECT_TRUE(BitBlt(dst.Dc, k.X, k.Y, k.W, k.H, src.Dc, k.Sx, k.Sy, SRCCOPY));
    for (int32_t y = 0; y < 12; ++y) {
      for (int32_t x = 0; x < 12; ++x) {
        int64_t sx = int64_t{k.Sx} + x - k.X, sy = int64_t{k.Sy} + y - k.Y;
        bool copied = x - int64_t{k.X} < k.W && y - int64_t{k.Y} < k.H && x >= k.X && y >= k.Y &&
                      sx >= 0 && sy >= 0 && sx < 10 && sy < 10;
        COLORREF want = copied ? RGB(0, static_cast<uint8_t>(sx * 20), static_cast<uint8_t>(sy * 20)) : White;
        ASSERT_EQ(dst.Pixel(x, y), want) << "case " << (&k - cases) << " at " << x << "," << y;
      }
    }
  }
}

// The viewer's icon drawing, with the icon's own context as the source: mask from the key
// colour, AND the mask in, blacken the key pixels of the picture, OR the picture in.
void DrawIcon(HDC memory, HDC source, int32_t w, int32_t h, POINT p, COLORREF key) {
  SetBkColor(source, key);
  HDC maskDc = CreateCompatibleDC(source);
  HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
  HGDIOBJ maskBefore = SelectObject(maskDc, mask);
  EXPECT_TRUE(BitBlt(maskDc, 0, 0, w, h, source, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(memory, p.x, p.y, w, h, maskDc, 0, 0, SRCAND));
  EXPECT_TRUE(BitBlt(source, 0, 0, w, h, maskDc, 0, 0, DSTANDNOTSRC));
  EXPECT_TRUE(BitBlt(memory, p.x, p.y, w, h, source, 0, 0, SRCPAINT));
  SelectObject(maskDc, maskBefore);
  DeleteObject(mask);
  DeleteDC(maskDc);
}

TEST_F(Blit, TransparentIconsLeaveTheBackgroundAtTheirKeyColour) {
  // Palettes with the key colour in the middle and black away from index 0.
  const std::vector<COLORREF> small = {RGB(255, 0, 255), Black};
  const std::vector<COLORREF> wide = {RGB(10, 200, 30), RGB(200, 40, 40), RGB(255, 0, 255),
                                      RGB(250, 250, 250), Black, RGB(0, 0, 90)};
  for (int bits : {1, 4, 8, 24}) {
    const std::vector<COLORREF>& palette = bits == 1 ? small : wide;
    const uint32_t keyIndex = bits == 1 ? 0 : 2;
    constexpr int32_t W = 11, H = 7;
    Dib icon(W, H, static_cast<uint16_t>(bits), bits <= 8 ? palette : std::vector<COLORREF>{});
    auto index = [&](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 3 + y * 5) % palette.size(); };
    for (int32_t y = 0; y < H; ++y) {
      for (int32_t x = 0; x < W; ++x) Poke(icon.Row(y), x, bits, bits <= 8 ? index(x, y) : Pack(palette[index(x, y)], 24));
    }
    Dib memory(40, 20, 24);
    auto background = [](int32_t x, int32_t y) { return RGB(static_cast<uint8_t>(x * 6), 120, static_cast<uint8_t>(y * 12)); };
    for (int32_t y = 0; y < 20; ++y) {
      for (int32_t x = 0; x < 40; ++x) Poke(memory.Row(y), x, 24, Pack(background(x, y), 24));
    }
    // A transparent label first: it must leave the context's colours as it found them.
    RECT r{0, 0, 40, 20};
    int32_t mode = SetBkMode(memory.Dc, TRANSPARENT);
    COLORREF text = SetTextColor(memory.Dc, RGB(0, 0, 200));
    DrawTextW(memory.Dc, u"", 0, &r, DT_NOPREFIX);
    SetTextColor(memory.Dc, text);
    SetBkMode(memory.Dc, mode);

    int32_t before = CountGdiObjects().Total();
    DrawIcon(memory.Dc, icon.Dc, W, H, {25, 10}, palette[keyIndex]);  // crosses two edges
    EXPECT_EQ(CountGdiObjects().Total(), before);
    Canvas window(40, 20);
    BitBlt(window.Dc, 0, 0, 40, 20, memory.Dc, 0, 0, SRCCOPY);
    for (int32_t y = 0; y < 20; ++y) {
      for (int32_t x = 0; x < 40; ++x) {
        bool onIcon = x >= 25 && y >= 10 && x - 25 < W && y - 10 < H;
        COLORREF want = background(x, y);
        if (onIcon && index(x - 25, y - 10) != keyIndex) want = palette[index(x - 25, y - 10)];
        ASSERT_EQ(window.Pixel(x, y), want) << bits << " bits at " << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace gditest
