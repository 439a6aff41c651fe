// Device contexts and drawing objects: what a new context holds, window contexts found the
// viewer's way, DIB layouts, and bad handles and arguments that must fail without drawing.
#include "GdiTesting.h"

namespace gditest {
namespace {

constexpr COLORREF White = RGB(255, 255, 255), Black = RGB(0, 0, 0);

class Objects : public GdiTest {};

TEST_F(Objects, NewContextsAndWindowContexts) {
  // A new memory context: black pen, white brush, a 1 x 1 monochrome bitmap, black text on
  // white in opaque mode, 96 dots per inch.
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  EXPECT_EQ(SetTextColor(dc, Black), Black);
  EXPECT_EQ(SetBkColor(dc, White), White);
  EXPECT_EQ(SetBkMode(dc, OPAQUE), OPAQUE);
  Canvas c(3, 3);
  SetTextColor(c.Dc, RGB(1, 2, 3));
  EXPECT_TRUE(BitBlt(c.Dc, 0, 0, 3, 3, dc, 0, 0, SRCCOPY));
  EXPECT_EQ(c.Picture({{White, '.'}, {RGB(1, 2, 3), '0'}}), "0..\n...\n...\n");
  Dib dib(4, 4, 24);
  EXPECT_EQ(SelectObject(dc, dib.Bitmap), nullptr) << "in one context at a time";
  EXPECT_EQ(SelectObject(dib.Dc, dib.Bitmap), dib.Bitmap) << "already there";
  EXPECT_TRUE(Rectangle(dib.Dc, 0, 0, 4, 4));
  for (int32_t y = 0; y < 4; ++y) {  // rows bottom-up in memory; zeroed pixels are black
    for (int32_t x = 0; x < 4; ++x) {
      bool edge = x == 0 || y == 0 || x == 3 || y == 3;
      EXPECT_EQ(dib.Bits[(3 - y) * dib.Stride + 3 * x], edge ? 0 : 255) << x << "," << y;
    }
  }
  DeleteDC(dc);
  EXPECT_FALSE(DeleteObject(dib.Bitmap)) << "selected bitmaps stay";

  // The viewer's window: the child at (left + 1, top + 1) of the foreground window, drawn
  // from its own top-left corner.
  HWND top = VmWindow_New(nullptr, 0, 0, 100, 50), child = VmWindow_New(top, 20, 10, 30, 20);
  VmWindow_SetForeground(top);
  HWND found = ChildWindowFromPoint(GetForegroundWindow(), {21, 11});
  ASSERT_EQ(found, child);
  HDC w = GetDC(found);
  HBITMAP loose = CreateBitmap(2, 2, 1, 1, nullptr);
  EXPECT_EQ(SelectObject(w, loose), nullptr) << "a window context keeps its window";
  DeleteObject(loose);
  Rectangle(w, 0, 0, 2, 1);
  const uint8_t* px = VmWindow_GetPixels(child, nullptr, nullptr, nullptr);
  EXPECT_EQ(px[0] + px[4] + px[8], 0 + 0 + 255);
  EXPECT_EQ(VmWindow_GetPixels(top, nullptr, nullptr, nullptr)[(10 * 100 + 20) * 4], 255);
  EXPECT_EQ(ReleaseDC(top, w), 0) << "another window's context";
  // A context outlives its deleted window without harm.
  VmWindow_Delete(top);
  EXPECT_TRUE(Rectangle(w, -5, -5, 50, 50));
  EXPECT_EQ(ReleaseDC(child, w), 1);
  EXPECT_EQ(GetDC(child), nullptr);
  EXPECT_EQ(GetDC(nullptr), nullptr);
}

TEST_F(Objects, DibLayoutsAndPalettes) {
  // Top-down rows for a negative height; a full 8-bit palette when none is counted.
  std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * 4);
  BITMAPINFOHEADER h{sizeof h, 3, -2, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
  std::memcpy(info.data(), &h, sizeof h);
  info[sizeof h + 4 * 200 + 1] = 77;  // entry 200: green 77
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &bits);
  ASSERT_NE(dib, nullptr);
  static_cast<uint8_t*>(bits)[1] = 200;  // top row, second pixel
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ before = SelectObject(dc, dib);
  Canvas c(3, 2);
  BitBlt(c.Dc, 0, 0, 3, 2, dc, 0, 0, SRCCOPY);
  EXPECT_EQ(c.Picture({{Black, '0'}, {RGB(0, 77, 0), 'g'}}), "0g0\n000\n");
  SelectObject(dc, before);
  EXPECT_TRUE(DeleteObject(dib));
  DeleteDC(dc);
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
    EXPECT_EQ(DrawTextW(bad, u"x", 1, &r, 0), 0);
    EXPECT_EQ(SetTextColor(bad, Black), CLR_INVALID);
    EXPECT_EQ(SetBkColor(bad, Black), CLR_INVALID);
    EXPECT_EQ(SetBkMode(bad, OPAQUE) + GetDeviceCaps(bad, LOGPIXELSY) + ReleaseDC(c.Window, bad), 0);
    EXPECT_FALSE(DeleteDC(bad));
  }
  EXPECT_FALSE(DeleteDC(c.Dc)) << "window contexts go back with ReleaseDC";
  EXPECT_EQ(SelectObject(c.Dc, gone), nullptr);
  EXPECT_EQ(SelectObject(c.Dc, nullptr), nullptr);
  EXPECT_EQ(SelectObject(c.Dc, reinterpret_cast<HGDIOBJ>(c.Dc)), nullptr);
  EXPECT_FALSE(DeleteObject(gone) || DeleteObject(nullptr));
  EXPECT_TRUE(DeleteObject(GetStockObject(NULL_BRUSH))) << "stock objects stay and say yes";
  EXPECT_EQ(GetStockObject(99), nullptr);
  EXPECT_EQ(CreatePen(1, 1, Black), nullptr);
  EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
  HPEN pen = CreatePen(PS_SOLID, 1, Black);
  HGDIOBJ old = SelectObject(c.Dc, pen);
  EXPECT_FALSE(DeleteObject(pen)) << "selected";
  SelectObject(c.Dc, old);
  EXPECT_TRUE(DeleteObject(pen));

  // Headers the platform refuses, and monochrome bitmaps only from CreateBitmap.
  const BITMAPINFOHEADER headers[] = {
      {12, 4, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0},     {40, 4, 4, 2, 24, BI_RGB, 0, 0, 0, 0, 0},
      {40, 4, 4, 1, 3, BI_RGB, 0, 0, 0, 0, 0},      {40, 4, 4, 1, 24, 1, 0, 0, 0, 0, 0},
      {40, 0, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0},     {40, 4, 0, 1, 24, BI_RGB, 0, 0, 0, 0, 0},
      {40, -4, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0},    {40, 100000, 100000, 1, 32, BI_RGB, 0, 0, 0, 0, 0},
      {40, 4, INT32_MIN, 1, 24, BI_RGB, 0, 0, 0, 0, 0}};
  for (const BITMAPINFOHEADER& h : headers) {
    void* bits = &c;
    EXPECT_EQ(CreateDIBSection(c.Dc, reinterpret_cast<const BITMAPINFO*>(&h), DIB_RGB_COLORS, &bits), nullptr)
        << h.biWidth << "x" << h.biHeight << " " << h.biBitCount;
    EXPECT_EQ(bits, nullptr);
  }
  BITMAPINFOHEADER fine{40, 4, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  EXPECT_EQ(CreateDIBSection(c.Dc, reinterpret_cast<const BITMAPINFO*>(&fine), 1, nullptr), nullptr);
  EXPECT_EQ(CreateDIBSection(c.Dc, nullptr, DIB_RGB_COLORS, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(4, 4, 1, 8, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(0, 4, 1, 1, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(4, -4, 1, 1, nullptr), nullptr);
  HBITMAP mono = CreateBitmap(4, 4, 1, 1, nullptr);
  HDC one = CreateCompatibleDC(nullptr), two = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(one, mono);
  EXPECT_EQ(SelectObject(two, mono), nullptr) << "one context at a time";
  SelectObject(one, previous);
  EXPECT_TRUE(DeleteObject(mono));
  DeleteDC(one);
  DeleteDC(two);

  // Arguments that draw nothing.
  EXPECT_FALSE(BitBlt(c.Dc, 0, 0, 8, 8, c.Dc, 1, 1, 0x00660046)) << "an operation not supported";
  EXPECT_FALSE(Polyline(c.Dc, line, 1) || Polyline(c.Dc, line, -3) || Polyline(c.Dc, nullptr, 2));
  EXPECT_EQ(DrawTextW(c.Dc, nullptr, 1, &r, 0) + DrawTextW(c.Dc, u"x", 1, nullptr, 0) +
                DrawTextW(c.Dc, u"x", -2, &r, 0),
            0);
  EXPECT_EQ(SetBkMode(c.Dc, 3), 0);
  SetBkMode(c.Dc, TRANSPARENT);
  EXPECT_TRUE(DrawTextW(c.Dc, u"", 0, &r, DT_NOPREFIX) > 0) << "one empty line";
  EXPECT_EQ(c.Picture({{White, '.'}}).find_first_not_of(".\n"), std::string::npos);
}

}  // namespace
}  // namespace gditest
