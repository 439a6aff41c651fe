// A drawing surface over a window, with a patterned view bitmap whose every pixel is known, so
// tests can tell which pixels a drawing call changed. Every drawing call made through Draw is
// checked to give back all the platform objects it made.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "maps/Bitmap.h"
#include "platform/Gdi.h"
#include "platform/Windows.h"
#include "view/DrawSurface.h"

namespace velmira::drawing {

// The view's own pixel at (x, y): distinct along both axes, never pure black or white.
inline platform::COLORREF Background(int32_t x, int32_t y) {
  return platform::RGB(static_cast<uint8_t>(40 + x * 3), static_cast<uint8_t>(30 + y * 5), 77);
}

class Canvas {
 public:
  static constexpr int32_t Width = 80;
  static constexpr int32_t Height = 60;

  // withView false: the surface has a target but no rendered view yet.
  explicit Canvas(bool withView = true)
      : Window(platform::CreateWindowObject(nullptr, 0, 0, Width, Height)),
        Dc(platform::GetDC(Window)),
        Surface(MakeRef<DrawSurface>()) {
    Surface->SetTarget(Dc);
    Surface->SetClip(MakeRef<Rect>(0, 0, Width, Height).Get());
    Surface->SetOrigin(MakeRef<Point>(0, 0).Get());
    if (!withView) return;
    Ref<Bitmap> view = MakeRef<Bitmap>();
    view->Create(Width, Height, 24);
    for (int32_t y = 0; y < Height; ++y) {
      uint8_t* row = view->Row(Height - 1 - y);  // rows are bottom-up
      for (int32_t x = 0; x < Width; ++x) {
        platform::COLORREF c = Background(x, y);
        row[3 * x] = static_cast<uint8_t>(c >> 16);
        row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(c);
      }
    }
    Surface->SetBitmap(view.Get());
  }
  ~Canvas() {
    Surface.Reset();
    platform::ReleaseDC(Window, Dc);
    platform::DestroyWindow(Window);
  }

  // Runs one drawing call and checks that it deleted every platform object it created.
  void Draw(const std::function<void(DrawSurface&)>& call) {
    const int32_t before = platform::CountGdiObjects().Total();
    call(*Surface);
    EXPECT_EQ(platform::CountGdiObjects().Total(), before) << "a drawing object was left behind";
  }

  // Presents the surface into the window and keeps the window's pixels.
  void Show() {
    Surface->Present();
    platform::Surface s{};
    ASSERT_TRUE(platform::GetWindowSurface(Window, &s));
    Pixels.assign(size_t{Width} * Height, 0);
    for (int32_t y = 0; y < Height; ++y) {
      const uint8_t* row = s.Bits + static_cast<ptrdiff_t>(y) * s.Stride;
      for (int32_t x = 0; x < Width; ++x) {
        Pixels[size_t(y) * Width + x] = platform::RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
      }
    }
  }
  platform::COLORREF At(int32_t x, int32_t y) const { return Pixels[size_t(y) * Width + x]; }
  bool Untouched(int32_t x, int32_t y) const { return At(x, y) == Background(x, y); }

  HWND Window;
  HDC Dc;
  Ref<DrawSurface> Surface;
  std::vector<platform::COLORREF> Pixels;
};

}  // namespace velmira::drawing
