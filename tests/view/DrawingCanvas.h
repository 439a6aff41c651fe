// A drawing surface over a window, with a patterned view bitmap whose every pixel is known, so
// tests can tell which pixels a drawing call changed. Every drawing call made through Draw is
// checked to give back all the platform objects it made.
#pragma once

#include <gtest/gtest.h>

#include <functional>

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

  // Presents the surface into the window, whose pixels At then reads.
  void Show() {
    Surface->Present();
    ASSERT_TRUE(platform::GetWindowSurface(Window, &Pixels));
  }
  platform::COLORREF At(int32_t x, int32_t y) const {
    const uint8_t* p = Pixels.Bits + static_cast<ptrdiff_t>(y) * Pixels.Stride + 4 * x;
    return platform::RGB(p[2], p[1], p[0]);
  }
  bool Untouched(int32_t x, int32_t y) const { return At(x, y) == Background(x, y); }

  HWND Window;
  HDC Dc;
  Ref<DrawSurface> Surface;
  platform::Surface Pixels{};
};

}  // namespace velmira::drawing
