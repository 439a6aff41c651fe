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
class Canvas {
 public:
  Canvas(int32_t width, int32_t height)
      : Window(VmWindow_New(nullptr, 0, 0, width, height)), Dc(GetDC(Window)) {}
  ~Canvas() {
    ReleaseDC(Window, Dc);
    VmWindow_Delete(Window);
  }
  COLORREF Pixel(int32_t x, int32_t y) const {
    int32_t stride = 0;
    const uint8_t* p = VmWindow_GetPixels(Window, nullptr, nullptr, &stride) + y * stride + 4 * x;
    return RGB(p[2], p[1], p[0]);
  }
  // One character per pixel from the legend, '?' for a colour not in it; rows end in '\n'.
  std::string Picture(const std::vector<std::pair<COLORREF, char>>& legend) const {
    int32_t width = 0, height = 0;
    VmWindow_GetPixels(Window, &width, &height, nullptr);
    std::string out;
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        char c = '?';
        for (auto [colour, name] : legend) c = Pixel(x, y) == colour ? name : c;
        out += c;
      }
      out += '\n';
    }
    return out;
  }

  HWND Window;
  HDC Dc;
};

// An object selected into a context for a scope, then deselected and deleted.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : Dc(dc), Object(object), Previous(SelectObject(dc, object)) {}
  ~Selected() {
    SelectObject(Dc, Previous);
    DeleteObject(Object);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC Dc;
  HGDIOBJ Object;
  HGDIOBJ Previous;
};

// A bottom-up DIB section selected into a memory context of its own.
struct Dib {
  Dib(int32_t width, int32_t height, uint16_t bits, const std::vector<COLORREF>& palette = {}) {
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 4 * palette.size());
    BITMAPINFOHEADER h{sizeof h, width, height, 1, bits, BI_RGB, 0, 0, 0,
                       static_cast<uint32_t>(palette.size()), 0};
    std::memcpy(info.data(), &h, sizeof h);
    for (size_t i = 0; i < palette.size(); ++i) {
      uint8_t* q = &info[sizeof h + 4 * i];
      q[0] = static_cast<uint8_t>(palette[i] >> 16);
      q[1] = static_cast<uint8_t>(palette[i] >> 8);
      q[2] = static_cast<uint8_t>(palette[i]);
    }
    Dc = CreateCompatibleDC(nullptr);
    void* p = nullptr;
    Bitmap = CreateDIBSection(Dc, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &p);
    Bits = static_cast<uint8_t*>(p);
    Stride = (width * bits + 31) / 32 * 4;
    Height = height;
    Previous = SelectObject(Dc, Bitmap);
  }
  ~Dib() {
    SelectObject(Dc, Previous);
    DeleteObject(Bitmap);
    DeleteDC(Dc);
  }
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  // Row y counted from the top of the picture.
  uint8_t* Row(int32_t y) const { return Bits + static_cast<ptrdiff_t>(Height - 1 - y) * Stride; }

  HDC Dc;
  HBITMAP Bitmap;
  HGDIOBJ Previous;
  uint8_t* Bits;
  int32_t Stride;
  int32_t Height;
};

}  // namespace gditest
