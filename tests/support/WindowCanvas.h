// Windows drawn into and read back the way an application reads them (VmWindow_GetPixels): a
// pixel, a picture as characters, and the box of the pixels that differ from a background.
#pragma once

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "platform/Gdi.h"

namespace testsupport {

using platform::COLORREF;
inline constexpr COLORREF WhitePixel = platform::RGB(255, 255, 255);

inline COLORREF PixelOf(HWND window, int32_t x, int32_t y) {
  int32_t stride = 0;
  const uint8_t* p = VmWindow_GetPixels(window, nullptr, nullptr, &stride) + y * stride + 4 * x;
  return platform::RGB(p[2], p[1], p[0]);
}

// The pixels that differ from the background: the box around them (right and bottom
// exclusive) and how many there are.
struct Ink {
  int32_t Left = INT32_MAX, Top = INT32_MAX, Right = INT32_MIN, Bottom = INT32_MIN, Count = 0;
  bool operator==(const Ink&) const = default;
};

// A top-level window of its own and its device context.
struct WindowCanvas {
  WindowCanvas(int32_t width, int32_t height)
      : Window(VmWindow_New(nullptr, 0, 0, width, height)),
        Dc(platform::GetDC(Window)),
        Width(width),
        Height(height) {}
  ~WindowCanvas() {
    platform::ReleaseDC(Window, Dc);
    VmWindow_Delete(Window);
  }
  COLORREF Pixel(int32_t x, int32_t y) const { return PixelOf(Window, x, y); }
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
  Ink InkOf(COLORREF background = WhitePixel) const {
    Ink ink;
    for (int32_t y = 0; y < Height; ++y) {
      for (int32_t x = 0; x < Width; ++x) {
        if (Pixel(x, y) == background) continue;
        ink = {std::min(ink.Left, x), std::min(ink.Top, y), std::max(ink.Right, x + 1),
               std::max(ink.Bottom, y + 1), ink.Count + 1};
      }
    }
    return ink;
  }

  HWND Window;
  HDC Dc;
  int32_t Width, Height;
};

}  // namespace testsupport
