// Drawing test helpers: windows read back through the application's export, drawing objects
// selected for a scope, DIB sections of any depth, and a fixture that checks every test gives
// back every drawing object it made.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/Gdi.h"

namespace gditest {

using namespace platform;

class GdiTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(CountGdiObjects().Total(), 0) << "drawing objects left"; }
};

// A window to draw in; pixels are read the way an application reads them.
struct Canvas {
  Canvas(int32_t width, int32_t height)
      : Window(VmWindow_New(nullptr, 0, 0, width, height)),
        Dc(GetDC(Window)),
        Width(width),
        Height(height) {}
  ~Canvas() {
    ReleaseDC(Window, Dc);
    VmWindow_Delete(Window);
  }
  COLORREF Pixel(int32_t x, int32_t y) const {
    const uint8_t* p = VmWindow_GetPixels(Window, nullptr, nullptr, nullptr) + 4 * (y * Width + x);
    return RGB(p[2], p[1], p[0]);
  }
  // One character per pixel from the legend, '?' for a colour not in it; rows end in '\n'.
  std::string Picture(const std::vector<std::pair<COLORREF, char>>& legend) const {
    std::string out;
    for (int32_t i = 0; i < Width * Height; ++i) {
      char c = '?';
      for (auto [colour, name] : legend) c = Pixel(i % Width, i / Width) == colour ? name : c;
      out += i % Width == Width - 1 ? std::string{c, '\n'} : std::string{c};
    }
    return out;
  }

  HWND Window;
  HDC Dc;
  int32_t Width, Height;
};

// An object selected into a context for a scope, then deselected and deleted.
struct Selected {
  Selected(HDC dc, HGDIOBJ object) : Dc(dc), Object(object), Previous(SelectObject(dc, object)) {}
  ~Selected() {
    SelectObject(Dc, Previous);
    DeleteObject(Object);
  }
  HDC Dc;
  HGDIOBJ Object, Previous;
};

// A bottom-up DIB section selected into a memory context of its own.
struct Dib {
  Dib(int32_t width, int32_t height, uint16_t bits, const std::vector<COLORREF>& palette = {})
      : Stride((width * bits + 31) / 32 * 4), Height(height) {
    // The 40-byte header (ten words) and the palette's blue, green, red quads.
    std::vector<uint32_t> info(10 + palette.size());
    BITMAPINFOHEADER h{40, width, height, 1, bits, BI_RGB, 0, 0, 0, uint32_t(palette.size()), 0};
    std::memcpy(info.data(), &h, sizeof h);
    for (size_t i = 0; i < palette.size(); ++i) {
      info[10 + i] = (palette[i] & 0xFF) << 16 | (palette[i] & 0xFF00) | (palette[i] >> 16 & 0xFF);
    }
    Dc = CreateCompatibleDC(nullptr);
    void* p = nullptr;
    Bitmap = CreateDIBSection(Dc, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &p);
    Bits = static_cast<uint8_t*>(p);
    Previous = SelectObject(Dc, Bitmap);
  }
  ~Dib() {
    SelectObject(Dc, Previous);
    DeleteObject(Bitmap);
    DeleteDC(Dc);
  }
  // Row y counted from the top of the picture.
  uint8_t* Row(int32_t y) const { return Bits + static_cast<ptrdiff_t>(Height - 1 - y) * Stride; }

  int32_t Stride, Height;
  HDC Dc;
  HBITMAP Bitmap;
  HGDIOBJ Previous;
  uint8_t* Bits;
};

}  // namespace gditest
