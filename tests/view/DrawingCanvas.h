// A drawing surface over a window with a view whose every pixel is known, so tests see which
// pixels a drawing call changed; and a map whose view pixels are exact positions.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

#include "maps/Bitmap.h"
#include "maps/Map.h"
#include "support/WindowCanvas.h"
#include "view/DrawSurface.h"

namespace velmira::drawing {

// The view's own pixel at (x, y): distinct along both axes, never pure black or white.
inline platform::COLORREF Background(int32_t x, int32_t y) {
  return platform::RGB(static_cast<uint8_t>(40 + x * 3), static_cast<uint8_t>(30 + y * 5), 77);
}

class Canvas : public testsupport::WindowCanvas {
 public:
  static constexpr int32_t Width = 80, Height = 60;

  Canvas() : WindowCanvas(Width, Height), Surface(MakeRef<DrawSurface>()) {
    Surface->SetTarget(Dc);
    Surface->SetClip(MakeRef<Rect>(0, 0, Width, Height).Get());
    Surface->SetOrigin(MakeRef<Point>(0, 0).Get());
    Ref<Bitmap> view = MakeRef<Bitmap>();
    view->Create(Width, Height, 24);
    for (int32_t i = 0; i < Width * Height; ++i) {
      uint8_t* p = view->Row(Height - 1 - i / Width) + 3 * (i % Width);  // rows are bottom-up
      const platform::COLORREF c = Background(i % Width, i / Width);
      p[0] = static_cast<uint8_t>(c >> 16), p[1] = static_cast<uint8_t>(c >> 8), p[2] = static_cast<uint8_t>(c);
    }
    Surface->SetBitmap(view.Get());
  }

  // Runs one drawing call and checks that it deleted every platform object it created.
  void Draw(const std::function<void(DrawSurface&)>& call) {
    const int32_t before = platform::CountGdiObjects().Total();
    call(*Surface);
    EXPECT_EQ(platform::CountGdiObjects().Total(), before) << "a drawing object was left behind";
  }
  // Presents the surface into the window, whose pixels Pixel then reads.
  void Show() { Surface->Present(); }
  bool Untouched(int32_t x, int32_t y) const { return Pixel(x, y) == Background(x, y); }

  Ref<DrawSurface> Surface;  // goes before the window's context
};

// A pen of the width, or a brush (opaque unless the width is 0), of the colour.
template <class T>
Ref<T> Paint(platform::COLORREF colour, int16_t width = 1) {
  Ref<T> a = MakeRef<T>();
  a->Red = colour & 0xFF, a->Green = colour >> 8 & 0xFF, a->Blue = colour >> 16 & 0xFF;
  if constexpr (std::is_same_v<T, Pen>) a->SetWidth(width);
  if constexpr (std::is_same_v<T, Brush>) a->Transparent = width == 0;
  return a;
}

inline Ref<Position> At(int32_t x, int32_t y) {
  Ref<Position> p = MakeRef<Position>();
  p->SetLongitudeRads(x / 1024.0);
  p->SetLatitudeRads(y / 1024.0);
  return p;
}

// A map on which view pixel (x, y) is At(x, y), from view pixel (0, 0): one calibration pair
// at pixel (1024, 1024), so every conversion is exact in binary.
inline Ref<Map> PixelMap() {
  Ref<Map> map = MakeRef<Map>();
  Point pixel(1024, 1024);
  map->SetScale(At(1024, 1024).Get(), &pixel, nullptr, nullptr, nullptr, nullptr);
  Ref<Bitmap>::Adopt(map->Render(*Ref<Rect>::Adopt(map->TileRect(0, 0, 256, 256))));
  return map;
}

}  // namespace velmira::drawing
