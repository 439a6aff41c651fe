// The drawing surface's operations read back from window pixels: where shapes may paint and
// where they must, icons of every palette depth against a model of their own pixels with and
// without a transparent colour, the text box, and the surface's own platform objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "DrawingCanvas.h"

namespace velmira {
namespace {

using platform::COLORREF;
using platform::RGB;
using drawing::Background;
using drawing::Canvas;

constexpr COLORREF Red = RGB(255, 0, 0), Blue = RGB(0, 0, 255), Green = RGB(0, 255, 0);

Ref<Pen> MakePen(int16_t width, COLORREF colour) {
  Ref<Pen> pen = MakeRef<Pen>();
  pen->SetWidth(width);
  pen->Red = colour & 0xFF;
  pen->Green = (colour >> 8) & 0xFF;
  pen->Blue = (colour >> 16) & 0xFF;
  return pen;
}

Ref<Brush> MakeBrush(COLORREF colour, bool transparent = false) {
  Ref<Brush> brush = MakeRef<Brush>();
  brush->Red = colour & 0xFF;
  brush->Green = (colour >> 8) & 0xFF;
  brush->Blue = (colour >> 16) & 0xFF;
  brush->Transparent = transparent ? 1 : 0;
  return brush;
}

struct Pixel {
  int32_t x, y;
  COLORREF colour;  // Untouched: the view's own pixel
};
constexpr COLORREF Untouched = 0xFFFFFFFFu;

// A shape may paint only inside its box (ends included) and must paint the listed pixels.
struct ShapeScene {
  const char* name;
  std::function<void(DrawSurface&)> draw;
  int32_t left, top, right, bottom;
  std::vector<Pixel> expected;
};

TEST(DrawSurfaceShapes, PaintOnlyInsideTheirBoxAndWhereTheyMust) {
  const Point a(10, 10), lineEnd(20, 10), narrow(12, 30), box(40, 30);
  const std::vector<ShapeScene> scenes = {
      {"line takes its last point in, ending at (p2.x + 1, p2.y + 1)",
       [&](DrawSurface& s) { s.DrawLine(a, lineEnd, *MakePen(1, Red)); },
       10, 10, 20, 11,
       {{10, 10, Red}, {20, 11, Red}, {20, 10, Untouched}}},
      {"rectangle 3 wide with pen 5 is drawn with pen 1, inset 0",
       [&](DrawSurface& s) {
         s.DrawRectangle(a, narrow, *MakePen(5, Blue), MakeBrush(Green).Get());
       },
       10, 10, 12, 30,
       {{10, 10, Blue}, {12, 30, Blue}, {10, 20, Blue}, {12, 20, Blue}, {11, 20, Green}}},
      {"wide pen is moved inside the rectangle's box by half its width; no fill",
       [&](DrawSurface& s) {
         s.DrawRectangle(a, box, *MakePen(5, Blue), MakeBrush(Green, true).Get());
       },
       10, 10, 40, 30,
       {{10, 20, Blue}, {14, 20, Blue}, {15, 20, Untouched}, {36, 20, Blue}, {40, 20, Blue},
        {25, 10, Blue}, {25, 30, Blue}, {25, 20, Untouched}}},
      {"ellipse touches the middle of each side, fills its centre, misses the corners",
       [&](DrawSurface& s) { s.DrawEllipse(a, box, *MakePen(1, Red), MakeBrush(Green).Get()); },
       10, 10, 40, 30,
       {{10, 20, Red}, {40, 20, Red}, {25, 10, Red}, {25, 30, Red}, {25, 20, Green},
        {10, 10, Untouched}, {40, 10, Untouched}, {10, 30, Untouched}, {40, 30, Untouched}}},
  };
  for (const ShapeScene& scene : scenes) {
    SCOPED_TRACE(scene.name);
    Canvas canvas;
    canvas.Draw(scene.draw);
    canvas.Show();
    for (int32_t y = 0; y < Canvas::Height; ++y) {
      for (int32_t x = 0; x < Canvas::Width; ++x) {
        bool inside = x >= scene.left && x <= scene.right && y >= scene.top && y <= scene.bottom;
        if (!inside) {
          ASSERT_TRUE(canvas.Untouched(x, y)) << "painted outside at " << x << "," << y;
        }
      }
    }
    for (const Pixel& p : scene.expected) {
      COLORREF want = p.colour == Untouched ? Background(p.x, p.y) : p.colour;
      EXPECT_EQ(canvas.At(p.x, p.y), want) << "at " << p.x << "," << p.y;
    }
  }
}

// The icon pictures' colours; index 0 is the key colour. A two-colour picture has 0 and 1.
const COLORREF IconPalette[3] = {RGB(255, 0, 255), Red, Blue};
int IconIndex(int32_t depth, int32_t x, int32_t y) {
  const int index = (x + 2 * y) % 3;
  return depth == 1 ? index != 0 : index;
}

Ref<Bitmap> IconPicture(int32_t depth, int32_t width, int32_t height, bool transparent) {
  Ref<Bitmap> icon = MakeRef<Bitmap>();
  icon->Create(width, height, depth);
  for (uint32_t i = 0; i < std::min<uint32_t>(3, icon->ColourCount()); ++i) {
    uint8_t* entry = icon->Palette() + 4 * i;
    entry[0] = static_cast<uint8_t>(IconPalette[i] >> 16);
    entry[1] = static_cast<uint8_t>(IconPalette[i] >> 8);
    entry[2] = static_cast<uint8_t>(IconPalette[i]);
  }
  std::fill(icon->Pixels(), icon->Pixels() + icon->ImageSize(), 0);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = icon->Row(height - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      int bit = x * depth;  // the leftmost pixel sits in the most significant bits
      row[bit / 8] |= static_cast<uint8_t>(IconIndex(depth, x, y) << (8 - depth - bit % 8));
    }
  }
  icon->SetTransparent(transparent ? 1 : 0, 0);
  return icon;
}

TEST(DrawSurfaceBitmaps, IconPixelsFollowTheirPaletteAndKeyColourShowsTheView) {
  const int32_t width = 7, height = 5;  // odd width: rows end in padding
  const Point at(30, 20);
  for (int32_t depth : {1, 4, 8}) {
    for (bool transparent : {false, true}) {
      for (bool labelFirst : {false, true}) {
        SCOPED_TRACE(::testing::Message() << depth << " bits, transparent " << transparent
                                          << ", label drawn first " << labelFirst);
        Canvas canvas;
        Ref<Bitmap> icon = IconPicture(depth, width, height, transparent);
        if (labelFirst) {
          // A coloured, opaque-brushed text box changes memory's colours for its own call only.
          Ref<TextFont> font = MakeRef<TextFont>();
          font->SetColor(MakePen(1, Green).Get());
          Ref<Text> text = MakeRef<Text>("Key");
          Rect r(2, 2, 40, 16);
          canvas.Draw([&](DrawSurface& s) {
            s.DrawTextBox(r, text.Get(), font.Get(), 0, 0, MakePen(1, Red).Get(),
                          MakeBrush(Blue).Get(), true);
          });
        }
        canvas.Draw([&](DrawSurface& s) { s.DrawBitmap(*icon, at); });
        canvas.Show();
        for (int32_t y = 0; y < height; ++y) {
          for (int32_t x = 0; x < width; ++x) {
            const int index = IconIndex(depth, x, y);
            const COLORREF want = transparent && index == 0 ? Background(at.X + x, at.Y + y)
                                                            : IconPalette[index];
            ASSERT_EQ(canvas.At(at.X + x, at.Y + y), want) << "icon pixel " << x << "," << y;
          }
        }
        EXPECT_TRUE(canvas.Untouched(at.X + width, at.Y)) << "drawn wider than the picture";
        EXPECT_TRUE(canvas.Untouched(at.X, at.Y + height)) << "drawn taller than the picture";
      }
    }
  }
}

// A file's 8-bit picture may name no palette entries; the platform, told 0 entries, would read
// a full palette from the pixels after the header. Its indices draw black instead.
TEST(DrawSurfaceBitmaps, PalettePictureWithoutEntriesDrawsBlackWithoutReadingItsPixels) {
  Ref<Bitmap> picture = MakeRef<Bitmap>();
  ASSERT_TRUE(picture->Create({40, 4, 1, 1, 8, 0, 0, 0, 0, 0, 0}));
  const uint8_t indices[4] = {0, 7, 7, 7};  // read as a palette, entry 0 would be (7, 7, 0)
  std::copy(indices, indices + 4, picture->Pixels());
  for (bool asView : {false, true}) {
    Canvas canvas;
    canvas.Draw([&](DrawSurface& s) {
      if (asView) s.SetBitmap(picture.Get());
      else s.DrawBitmap(*picture, Point(3, 4));
    });
    canvas.Show();
    const Point at = asView ? Point(0, 0) : Point(3, 4);
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(canvas.At(at.X + x, at.Y), RGB(0, 0, 0)) << asView << x;
  }
}

// A text drawn without a box onto a white area, at the rectangle shrunk by pen width + 2, must
// give exactly the pixels of the same text in an opaque white box: the box moves the text in by
// that much and changes nothing else about it.
TEST(DrawSurfaceText, OpaqueBoxMovesTheTextInByPenWidthPlusTwo) {
  Ref<TextFont> font = MakeRef<TextFont>();
  Ref<Text> text = MakeRef<Text>("Wq");
  const COLORREF white = RGB(255, 255, 255);
  for (int16_t penWidth : {1, 3}) {
    SCOPED_TRACE(penWidth);
    const int32_t inset = penWidth + 2;
    Canvas boxed, plain;
    Rect box(10, 10, 40, 24);
    boxed.Draw([&](DrawSurface& s) {
      s.DrawTextBox(box, text.Get(), font.Get(), 1, 3, MakePen(penWidth, Red).Get(),
                    MakeBrush(white).Get(), true);
    });
    Rect bare(10 + inset, 10 + inset, 40 - 2 * inset, 24 - 2 * inset);
    plain.Draw([&](DrawSurface& s) {
      s.DrawRectangle(Point(10, 10), Point(49, 33), *MakePen(1, white), MakeBrush(white).Get());
      s.DrawTextBox(bare, text.Get(), font.Get(), 1, 3, nullptr, nullptr, true);
    });
    boxed.Show();
    plain.Show();
    int ink = 0;
    for (int32_t y = bare.Top; y < bare.Top + bare.Height; ++y) {
      for (int32_t x = bare.Left; x < bare.Left + bare.Width; ++x) {
        ink += plain.At(x, y) != white;
        ASSERT_EQ(boxed.At(x, y), plain.At(x, y)) << x << "," << y;
      }
    }
    EXPECT_GT(ink, 10) << "the text was not drawn";
    // The outline reaches the rectangle's edges (round pens leave the corners out).
    EXPECT_EQ(boxed.At(10, 20), Red);
    EXPECT_EQ(boxed.At(49, 20), Red);
    EXPECT_EQ(boxed.At(30, 33), Red);
    EXPECT_TRUE(boxed.Untouched(50, 20)) << "box wider than its rectangle";
  }
}

TEST(DrawSurfaceText, MeasuringWrapsAtTheGivenWidthAndKeepsEmptyTextsSize) {
  Canvas canvas;
  Ref<TextFont> font = MakeRef<TextFont>();
  Ref<Text> words = MakeRef<Text>("one two three four"), empty = MakeRef<Text>("");
  Rect line(0, 0, 0, 0), wrapped(0, 0, 40, 0), kept(1, 2, 30, 40);
  canvas.Draw([&](DrawSurface& s) {
    for (Rect* r : {&line, &wrapped}) {
      s.DrawTextBox(*r, words.Get(), font.Get(), 0, 0, nullptr, nullptr, false);
    }
    for (Text* t : {empty.Get(), static_cast<Text*>(nullptr)}) {
      s.DrawTextBox(kept, t, font.Get(), 0, 0, nullptr, nullptr, false);
    }
  });
  EXPECT_GT(line.Width, 40);
  EXPECT_LE(wrapped.Width, 40);
  EXPECT_GE(wrapped.Height, 2 * line.Height) << "a width must wrap the words";
  EXPECT_TRUE(kept.Equals(Rect(1, 2, 30, 40)));
}

TEST(DrawSurfaceLifetime, NoViewShowsAFramedWhiteAreaAndOperationsDoNothing) {
  const int32_t before = platform::CountGdiObjects().Total();
  {
    Canvas canvas(false);
    Ref<Text> text = MakeRef<Text>("x");
    Rect r(0, 0, 0, 0);
    canvas.Draw([&](DrawSurface& s) {
      s.DrawLine(Point(1, 1), Point(30, 30), *MakePen(3, Red));
      s.DrawEllipse(Point(1, 1), Point(30, 30), *MakePen(3, Red), MakeBrush(Red).Get());
      s.DrawTextBox(r, text.Get(), nullptr, 0, 0, nullptr, nullptr, false);
    });
    EXPECT_EQ(r.Width, 0) << "measured without a view";
    canvas.Show();
    for (int32_t y = 0; y < Canvas::Height; ++y) {
      for (int32_t x = 0; x < Canvas::Width; ++x) {
        bool frame = x == 0 || y == 0 || x == Canvas::Width - 1 || y == Canvas::Height - 1;
        ASSERT_EQ(canvas.At(x, y), frame ? RGB(0, 0, 0) : RGB(255, 255, 255)) << x << "," << y;
      }
    }
    // A view replaced and then dropped keeps at most one section alive.
    Ref<Bitmap> view = MakeRef<Bitmap>();
    view->Create(8, 8, 24);
    canvas.Surface->SetBitmap(view.Get());
    const int32_t one = platform::CountGdiObjects().Total();
    canvas.Surface->SetBitmap(view.Get());
    EXPECT_EQ(platform::CountGdiObjects().Total(), one);
    canvas.Surface->SetBitmap(nullptr);
    EXPECT_FALSE(canvas.Surface->HasBitmap());
  }
  EXPECT_EQ(platform::CountGdiObjects().Total(), before) << "the surface left objects behind";
}

TEST(DrawSurfaceLifetime, PresentCopiesFromTheOriginIntoTheClip) {
  Canvas canvas;
  canvas.Surface->SetOrigin(MakeRef<Point>(5, 7).Get());
  canvas.Surface->SetClip(MakeRef<Rect>(2, 3, 20, 10).Get());
  canvas.Show();  // outside the clip the window keeps its own white
  EXPECT_EQ(canvas.At(2, 3), Background(5, 7));
  EXPECT_EQ(canvas.At(21, 12), Background(24, 16));
  EXPECT_TRUE(canvas.At(22, 12) == RGB(255, 255, 255) && canvas.At(2, 13) == RGB(255, 255, 255));
}

}  // namespace
}  // namespace velmira
