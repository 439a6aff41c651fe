// Device contexts and drawing objects: what a new context holds, window contexts found the
// viewer's way, and bad handles and arguments that must fail without drawing.
#include "GdiTesting.h"

namespace gditest {
namespace {

constexpr COLORREF White = RGB(255, 255, 255), Black = RGB(0, 0, 0);

BITMAPINFOHEADER Header(uint32_t size, int32_t w, int32_t h, uint16_t planes, uint16_t depth,
                        uint32_t compression) {
  return {size, w, h, planes, depth, compression, 0, 0, 0, 0, 0};
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
  Dib dib(4, 3, 24);
  EXPECT_EQ(SelectObject(dc, dib.Bitmap), nullptr) << "in one context at a time";
  EXPECT_TRUE(DeleteDC(dc) && !DeleteObject(dib.Bitmap)) << "selected bitmaps stay";
  // The viewer's window: the foreground window's child at (left + 1, top + 1), drawn alone.
  HWND parent = VmWindow_New(nullptr, 0, 0, 100, 50), child = VmWindow_New(parent, 20, 10, 30, 20);
  VmWindow_SetForeground(parent);
  ASSERT_EQ(ChildWindowFromPoint(GetForegroundWindow(), {21, 11}), child);
  HDC w = GetDC(child);
  Rectangle(w, 0, 0, 2, 1);
  const uint8_t* px = VmWindow_GetPixels(child, nullptr, nullptr, nullptr);
  EXPECT_EQ(px[0] + px[4] + px[8], 0 + 0 + 255);
  EXPECT_EQ(VmWindow_GetPixels(parent, nullptr, nullptr, nullptr)[(10 * 100 + 20) * 4], 255);
  EXPECT_EQ(ReleaseDC(parent, w), 0) << "another window's context";
  VmWindow_Delete(parent);  // the context outlives its window without harm
  EXPECT_TRUE(Rectangle(w, -5, -5, 50, 50) && ReleaseDC(child, w) == 1 && !GetDC(child) &&
              !GetDC(nullptr));
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
    EXPECT_FALSE(BitBlt(c.Dc, 0, 0, 8, 8, bad, 0, 0, SRCCOPY) ||
                 BitBlt(bad, 0, 0, 8, 8, c.Dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(Polyline(bad, line, 2) || Rectangle(bad, 0, 0, 5, 5) || Ellipse(bad, 0, 0, 5, 5));
    EXPECT_TRUE(SetTextColor(bad, Black) == CLR_INVALID && SetBkColor(bad, Black) == CLR_INVALID);
    EXPECT_EQ(DrawTextW(bad, u"x", 1, &r, 0) + SetBkMode(bad, OPAQUE) +
                  GetDeviceCaps(bad, LOGPIXELSY) + ReleaseDC(c.Window, bad) + DeleteDC(bad),
              0);
  }
  EXPECT_FALSE(DeleteDC(c.Dc)) << "window contexts go back with ReleaseDC";
  Dib dib(4, 4, 24);
  EXPECT_TRUE(SelectObject(c.Dc, gone) == nullptr && SelectObject(c.Dc, nullptr) == nullptr &&
              SelectObject(c.Dc, reinterpret_cast<HGDIOBJ>(c.Dc)) == nullptr);
  EXPECT_FALSE(DeleteObject(gone) || DeleteObject(nullptr));
  EXPECT_TRUE(DeleteObject(GetStockObject(NULL_BRUSH))) << "stock objects stay and say yes";
  EXPECT_TRUE(GetStockObject(99) == nullptr && CreatePen(1, 1, Black) == nullptr &&
              CreateFontIndirectW(nullptr) == nullptr);

  // Headers the platform refuses (size, width, height, planes, depth, compression), the
  // wrong colour use, and monochrome bitmaps only from CreateBitmap.
  const int32_t refused[][6] = {{12, 4, 4, 1, 24, 0},         {40, 4, 4, 2, 24, 0},
                                {40, 4, 4, 1, 3, 0},          {40, 4, 4, 1, 24, 1},
                                {40, 0, 4, 1, 24, 0},         {40, 4, 0, 1, 24, 0},
                                {40, -4, 4, 1, 24, 0},        {40, 100000, 100000, 1, 32, 0},
                                {40, 4, INT32_MIN, 1, 24, 0}, {40, 4, 4, 1, 24, 0}};
  for (const auto& [size, w, h, planes, depth, compression] : refused) {
    BITMAPINFOHEADER header = Header(size, w, h, planes, depth, compression);
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
  EXPECT_TRUE(BitBlt(c.Dc, 1, 1, 0, 5, dib.Dc, 0, 0, SRCCOPY) &&
              BitBlt(c.Dc, 1, 1, -4, 5, dib.Dc, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(c.Dc, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, dib.Dc, 0, 0, SRCCOPY) &&
              BitBlt(c.Dc, 3, 3, INT32_MAX, INT32_MAX, dib.Dc, INT32_MIN, INT32_MIN, SRCCOPY));
  EXPECT_FALSE(Polyline(c.Dc, line, 1) || Polyline(c.Dc, line, -3) || Polyline(c.Dc, nullptr, 2));
  EXPECT_EQ(DrawTextW(c.Dc, nullptr, 1, &r, 0) + DrawTextW(c.Dc, u"x", 1, nullptr, 0) +
                DrawTextW(c.Dc, u"x", -2, &r, 0),
            0);
  EXPECT_EQ(SetBkMode(c.Dc, 3), 0);
  EXPECT_GT(DrawTextW(c.Dc, u"", 0, &r, DT_NOPREFIX), 0) << "one empty line";
  EXPECT_EQ(c.Picture({{White, '.'}}).find_first_not_of(".\n"), std::string::npos);
}

}  // namespace
}  // namespace gditest
