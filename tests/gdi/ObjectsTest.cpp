// Device contexts and drawing objects, refusals that draw nothing, and BitBlt against a small
// reference model. (The icons' monochrome masks end to end: tests/view.)
#include <algorithm>
#include <cstring>
#include <vector>

#include "GdiTesting.h"
#include "platform/WorkerPool.h"

namespace gditest {
namespace {

constexpr COLORREF Black = RGB(0, 0, 0), White = RGB(255, 255, 255), Cyan = RGB(0, 255, 255);
// The corners of the colour cube: closed under AND, OR and AND NOT, and exact in 5-5-5.
// Black is not first, so nothing can rely on palette index 0 being black.
const std::vector<COLORREF> Corners = {RGB(255, 0, 0),   RGB(0, 255, 0), RGB(0, 0, 255), White,
                                       RGB(255, 255, 0), Black,          Cyan,           RGB(255, 0, 255)};

// The bitmap layout written out once more (bit and nibble order from the left, 5-5-5).
uint32_t Peek(const uint8_t* row, int32_t x, int bits) {
  if (bits < 8) return row[x * bits / 8] >> (8 - bits - x * bits % 8) & ((1 << bits) - 1);
  uint32_t v = 0;
  for (int i = 0; i < bits / 8 && i < 3; ++i) v |= row[bits / 8 * x + i] << 8 * i;
  return v;
}
void Poke(uint8_t* row, int32_t x, int bits, uint32_t v) {
  if (bits < 8) row[x * bits / 8] |= static_cast<uint8_t>(v << (8 - bits - x * bits % 8));
  for (int i = 0; i < bits / 8 && i < 3; ++i) row[bits / 8 * x + i] = static_cast<uint8_t>(v >> 8 * i);
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

// A bottom-up DIB section in a memory context, of pseudo-random colours of its own (cyan and
// black at 1 bit); it stores another colour as its first nearest palette colour, or exact.
struct Surface {
  Surface(int bits, int32_t w, int32_t h, uint32_t seed)
      : Bits(bits), Width(w), Height(h), Stride((w * bits + 31) / 32 * 4),
        Colours(bits == 1 ? std::vector{Cyan, Black} : Corners) {
    // The 40-byte header (ten words) and the palette's blue, green, red quads.
    const size_t entries = bits <= 8 ? Colours.size() : 0;
    std::vector<uint32_t> info(10 + entries);
    BITMAPINFOHEADER header{40, w, h, 1, uint16_t(bits), BI_RGB, 0, 0, 0, uint32_t(entries), 0};
    std::memcpy(info.data(), &header, sizeof header);
    for (size_t i = 0; i < entries; ++i) {
      info[10 + i] = (Colours[i] & 0xFF) << 16 | (Colours[i] & 0xFF00) | (Colours[i] >> 16 & 0xFF);
    }
    Dc = CreateCompatibleDC(nullptr);
    void* p = nullptr;
    Bitmap = CreateDIBSection(Dc, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &p);
    Data = static_cast<uint8_t*>(p);
    Previous = SelectObject(Dc, Bitmap);
    for (int32_t i = 0; i < w * h; ++i) {
      seed = seed * 1103515245 + 12345;
      Pixels.push_back(static_cast<uint32_t>(seed >> 16) % Colours.size());
      Poke(Row(i / w), i % w, bits, bits <= 8 ? Pixels[i] : Pack(Colours[Pixels[i]], bits));
    }
  }
  ~Surface() {
    SelectObject(Dc, Previous);
    DeleteObject(Bitmap);
    DeleteDC(Dc);
  }
  // Row y counted from the top of the picture.
  uint8_t* Row(int32_t y) const { return Data + static_cast<ptrdiff_t>(Height - 1 - y) * Stride; }
  COLORREF At(int32_t x, int32_t y) const { return Colours[Pixels[y * Width + x]]; }
  COLORREF Get(int32_t x, int32_t y) const {
    uint32_t v = Peek(Row(y), x, Bits);
    return Bits <= 8 ? Colours[v] : Unpack(v, Bits);
  }
  COLORREF Stored(COLORREF c) const {
    if (Bits > 8) return c;
    auto distance = [c](COLORREF p) {
      int32_t d = 0;
      for (int s = 0; s < 24; s += 8) d += ((p >> s & 0xFF) - (c >> s & 0xFF)) * ((p >> s & 0xFF) - (c >> s & 0xFF));
      return d;
    };
    return *std::min_element(Colours.begin(), Colours.end(),
                             [&](COLORREF a, COLORREF b) { return distance(a) < distance(b); });
  }

  int Bits;
  int32_t Width, Height, Stride;
  std::vector<COLORREF> Colours;
  std::vector<uint32_t> Pixels;  // index into Colours
  HDC Dc;
  HBITMAP Bitmap;
  HGDIOBJ Previous;
  uint8_t* Data;
};

const std::pair<DWORD, COLORREF (*)(COLORREF d, COLORREF s)> Rops[] = {
    {SRCCOPY, [](COLORREF, COLORREF s) { return s; }},
    {SRCAND, [](COLORREF d, COLORREF s) { return d & s; }},
    {SRCPAINT, [](COLORREF d, COLORREF s) { return d | s; }},
    {DSTANDNOTSRC, [](COLORREF d, COLORREF s) { return d & ~s & 0xFFFFFF; }}};

class Blit : public GdiTest {};

// The copy crosses the left and top edges of both, the destination's bottom edge, and the
// source's right edge or (AND, AND NOT) the destination's.
TEST_F(Blit, EveryOperationBetweenEveryPairOfDepthsClipped) {
  constexpr int32_t W = 13, H = 3;  // odd widths cross nibble, byte and padding boundaries
  for (int from : {1, 4, 8, 16, 24, 32}) {
    for (int to : {1, 4, 8, 16, 24, 32}) {
      for (auto [rop, apply] : Rops) {
        const int32_t dw = rop == SRCCOPY || rop == SRCPAINT ? W + 4 : W - 2;
        Surface src(from, W, H, 7 + from), dst(to, dw, H + 1, 99 + to);
        ASSERT_TRUE(BitBlt(dst.Dc, -1, 1, W + 6, H + 1, src.Dc, -3, -1, rop));
        for (int32_t i = 0; i < dw * (H + 1); ++i) {
          const int32_t x = i % dw, y = i / dw, sx = x - 2, sy = y - 2;
          COLORREF want = dst.At(x, y);
          if (sx >= 0 && sx < W && sy >= 0 && sy < H) want = dst.Stored(apply(want, src.At(sx, sy)));
          ASSERT_EQ(dst.Get(x, y), want) << "from " << from << " to " << to << " rop " << std::hex << rop << std::dec
                                         << " at " << x << "," << y;
        }
      }
    }
  }
}

// Copies of a megabyte and more between 24 and 32 bits are shared out in bands of rows: the
// same pixels, clipped the same way, on one thread and on several.
TEST_F(Blit, LargeDirectCopiesOnOneThreadAndOnSeveral) {
  constexpr int32_t W = 700, H = 520;
  for (int32_t threads : {1, 3}) {
    WorkerPool::Shared().SetThreads(threads);
    for (int from : {24, 32}) {
      for (int to : {24, 32}) {
        Surface src(from, W, H, 7 + from), dst(to, W + 4, H + 1, 99 + to);
        ASSERT_TRUE(BitBlt(dst.Dc, -1, 1, W + 6, H + 1, src.Dc, -3, -1, SRCCOPY));
        for (int32_t i = 0; i < (W + 4) * (H + 1); ++i) {
          const int32_t x = i % (W + 4), y = i / (W + 4), sx = x - 2, sy = y - 2;
          const COLORREF want = sx >= 0 && sx < W && sy >= 0 && sy < H ? src.At(sx, sy) : dst.At(x, y);
          ASSERT_EQ(dst.Get(x, y), want) << threads << " threads, from " << from << " to " << to << " at " << x << "," << y;
        }
      }
    }
  }
  WorkerPool::Shared().SetThreads(0);
}

class Objects : public GdiTest {};

TEST_F(Objects, NewAndWindowContexts) {
  // A new memory context: black text on white in opaque mode, 96 dots per inch, a 1 x 1
  // monochrome bitmap.
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_TRUE(GetDeviceCaps(dc, LOGPIXELSY) == 96 && SetBkMode(dc, OPAQUE) == OPAQUE);
  EXPECT_TRUE(SetTextColor(dc, Black) == Black && SetBkColor(dc, White) == White);
  // Monochrome pixels reach colour as the target's text colour (0) and background (1).
  Canvas c(3, 2);
  SetTextColor(c.Dc, RGB(1, 2, 3));
  SetBkColor(c.Dc, RGB(4, 5, 6));
  EXPECT_TRUE(BitBlt(c.Dc, 0, 0, 3, 2, dc, 0, 0, SRCCOPY));
  const uint8_t bits[2] = {0x40, 0};
  {
    Selected mono(dc, CreateBitmap(2, 1, 1, 1, bits));
    EXPECT_TRUE(BitBlt(c.Dc, 1, 1, 2, 1, dc, 0, 0, SRCCOPY));
  }
  EXPECT_EQ(c.Picture({{White, '.'}, {RGB(1, 2, 3), '0'}, {RGB(4, 5, 6), '1'}}), "0..\n.01\n");
  Surface dib(24, 4, 3, 1);
  EXPECT_EQ(SelectObject(dc, dib.Bitmap), nullptr) << "in one context at a time";
  EXPECT_TRUE(DeleteDC(dc) && !DeleteObject(dib.Bitmap)) << "selected bitmaps stay";
  // A child window's context draws into the child alone (the viewer's drawing tests show
  // where) and outlives its window without harm.
  HWND parent = VmWindow_New(nullptr, 0, 0, 100, 50), child = VmWindow_New(parent, 20, 10, 30, 20);
  HDC w = GetDC(child);
  EXPECT_EQ(ReleaseDC(parent, w), 0) << "another window's context";
  VmWindow_Delete(parent);
  EXPECT_TRUE(Rectangle(w, -5, -5, 50, 50) && ReleaseDC(child, w) == 1 && !GetDC(child) && !GetDC(nullptr));
}

TEST_F(Objects, BadHandlesAndArgumentsFailWithoutDrawing) {
  Canvas c(8, 8);
  HDC dead = CreateCompatibleDC(nullptr);
  DeleteDC(dead);
  HPEN gone = CreatePen(PS_SOLID, 1, Black);
  DeleteObject(gone);
  POINT line[] = {{0, 0}, {5, 5}};
  RECT r{0, 0, 8, 8};
  for (HDC bad : {dead, static_cast<HDC>(nullptr)}) {
    EXPECT_EQ(SelectObject(bad, GetStockObject(NULL_BRUSH)), nullptr);
    EXPECT_FALSE(BitBlt(c.Dc, 0, 0, 8, 8, bad, 0, 0, SRCCOPY) || BitBlt(bad, 0, 0, 8, 8, c.Dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(Polyline(bad, line, 2) || Rectangle(bad, 0, 0, 5, 5) || Ellipse(bad, 0, 0, 5, 5));
    EXPECT_TRUE(SetTextColor(bad, Black) == CLR_INVALID && SetBkColor(bad, Black) == CLR_INVALID);
    EXPECT_EQ(DrawTextW(bad, u"x", 1, &r, 0) + SetBkMode(bad, OPAQUE) + GetDeviceCaps(bad, LOGPIXELSY) +
                  ReleaseDC(c.Window, bad) + DeleteDC(bad),
              0);
  }
  EXPECT_FALSE(DeleteDC(c.Dc)) << "window contexts go back with ReleaseDC";
  Surface dib(24, 4, 4, 1);
  EXPECT_TRUE(SelectObject(c.Dc, gone) == nullptr && SelectObject(c.Dc, nullptr) == nullptr &&
              SelectObject(c.Dc, reinterpret_cast<HGDIOBJ>(c.Dc)) == nullptr);
  EXPECT_FALSE(DeleteObject(gone) || DeleteObject(nullptr));
  EXPECT_TRUE(DeleteObject(GetStockObject(NULL_BRUSH))) << "stock objects stay and say yes";
  EXPECT_TRUE(GetStockObject(99) == nullptr && CreatePen(1, 1, Black) == nullptr &&
              CreateFontIndirectW(nullptr) == nullptr);

  // Headers the platform refuses (size, width, height, planes, depth, compression), the
  // wrong colour use, and monochrome bitmaps only from CreateBitmap.
  const int32_t refused[][6] = {{12, 4, 4, 1, 24, 0},  {40, 4, 4, 2, 24, 0},           {40, 4, 4, 1, 3, 0},
                                {40, 4, 4, 1, 24, 1},  {40, 0, 4, 1, 24, 0},           {40, 4, 0, 1, 24, 0},
                                {40, -4, 4, 1, 24, 0}, {40, 100000, 100000, 1, 32, 0}, {40, 4, INT32_MIN, 1, 24, 0},
                                {40, 4, 4, 1, 24, 0}};
  for (const auto& [size, w, h, planes, depth, compression] : refused) {
    BITMAPINFOHEADER header{
        uint32_t(size), w, h, uint16_t(planes), uint16_t(depth), uint32_t(compression), 0, 0, 0, 0, 0};
    void* bits = &c;
    const uint32_t usage = &size == &refused[9][0] ? 1 : DIB_RGB_COLORS;  // the last: its use
    EXPECT_EQ(CreateDIBSection(c.Dc, reinterpret_cast<BITMAPINFO*>(&header), usage, &bits), nullptr)
        << w << "x" << h << " " << depth;
    EXPECT_EQ(bits, nullptr);
  }
  EXPECT_EQ(CreateDIBSection(c.Dc, nullptr, DIB_RGB_COLORS, nullptr), nullptr);
  EXPECT_FALSE(CreateBitmap(4, 4, 1, 8, nullptr) || CreateBitmap(0, 4, 1, 1, nullptr) ||
               CreateBitmap(4, -4, 1, 1, nullptr));

  // Arguments that draw nothing: an operation not supported, no size, the integer range's ends.
  EXPECT_FALSE(BitBlt(c.Dc, 0, 0, 8, 8, dib.Dc, 1, 1, 0x00660046));
  EXPECT_TRUE(BitBlt(c.Dc, 1, 1, 0, 5, dib.Dc, 0, 0, SRCCOPY) && BitBlt(c.Dc, 1, 1, -4, 5, dib.Dc, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(c.Dc, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, dib.Dc, 0, 0, SRCCOPY) &&
              BitBlt(c.Dc, 3, 3, INT32_MAX, INT32_MAX, dib.Dc, INT32_MIN, INT32_MIN, SRCCOPY));
  EXPECT_FALSE(Polyline(c.Dc, line, 1) || Polyline(c.Dc, line, -3) || Polyline(c.Dc, nullptr, 2));
  EXPECT_EQ(
      DrawTextW(c.Dc, nullptr, 1, &r, 0) + DrawTextW(c.Dc, u"x", 1, nullptr, 0) + DrawTextW(c.Dc, u"x", -2, &r, 0), 0);
  EXPECT_EQ(SetBkMode(c.Dc, 3), 0);
  EXPECT_GT(DrawTextW(c.Dc, u"", 0, &r, DT_NOPREFIX), 0) << "one empty line";
  EXPECT_EQ(c.Picture({{White, '.'}}).find_first_not_of(".\n"), std::string::npos);
}

}  // namespace
}  // namespace gditest
