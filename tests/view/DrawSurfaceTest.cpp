// The drawing surface read back from window pixels. (Shapes: OverlayTest; a surface without
// a view: the viewer's drawing tests.)
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "DrawingCanvas.h"
#include "view/TextFont.h"

namespace velmira {
namespace {

using drawing::Background;
using drawing::Canvas;
using drawing::Paint;
using platform::COLORREF;
using platform::RGB;

constexpr COLORREF Red = RGB(255, 0, 0), Blue = RGB(0, 0, 255), Green = RGB(0, 255, 0),
                   Black = RGB(0, 0, 0), White = RGB(255, 255, 255);

TEST(DrawingAttributes, ColourFontHeightAndFaceConversions) {
  EXPECT_EQ(PackColor(300, 256, -1), 0xFF002Cu) << "only the low byte of each part is drawn";
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row { double size; int32_t dpi, height; } rows[] = {
      {10, 96, -13}, {10.9, 96, -13}, {-10.9, 96, 13},      {0.9, 96, 0},
      {12, 72, -12}, {nan, 96, 0},    {1e12, 96, INT32_MIN}, {-1e12, 96, INT32_MAX}};
  for (const Row& row : rows) EXPECT_EQ(TextFont::LogFontHeight(row.size, row.dpi), row.height);
  // The face field is widened, cut and terminated.
  TextFont font;
  WCHAR field[TextFont::FaceNameUnits];
  std::u16string face = u"\u00E9" + std::u16string(39, u'A');  // 0x00E9 must not become 0xFFE9
  font.SetFace(face.c_str());
  font.FillFaceName(field);
  EXPECT_EQ(std::u16string(field), face.substr(0, 31));
  font.SetFace(nullptr);
  font.FillFaceName(field);
  EXPECT_TRUE(std::all_of(std::begin(field), std::end(field), [](WCHAR c) { return c == 0; }));
}

// Icon pictures: index 0 is the key colour. Without black in the palette the key pixels are
// blackened in a 24-bit copy instead of the picture itself.
int IconIndex(int32_t depth, int32_t x, int32_t y) {
  const int index = (x + 2 * y) % 3;
  return depth == 1 ? index != 0 : index;
}

Ref<Bitmap> IconPicture(int32_t depth, int32_t width, int32_t height, const COLORREF (&palette)[3]) {
  Ref<Bitmap> icon = MakeRef<Bitmap>();
  icon->Create(width, height, depth);
  for (uint32_t i = 0; i < std::min<uint32_t>(3, icon->ColourCount()); ++i) {
    uint8_t* entry = icon->Palette() + 4 * i;
    entry[0] = static_cast<uint8_t>(palette[i] >> 16), entry[1] = static_cast<uint8_t>(palette[i] >> 8);
    entry[2] = static_cast<uint8_t>(palette[i]);
  }
  std::fill(icon->Pixels(), icon->Pixels() + icon->ImageSize(), 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0, bit = 0; x < width; ++x, bit += depth) {  // leftmost pixel in the high bits
      icon->Row(height - 1 - y)[bit / 8] |= static_cast<uint8_t>(IconIndex(depth, x, y) << (8 - depth - bit % 8));
    }
  }
  return icon;
}

TEST(DrawSurfaceBitmaps, IconPixelsFollowTheirPaletteAndKeyColourShowsTheView) {
  const int32_t width = 7, height = 5;  // odd width: rows end in padding
  const Point at(30, 20);
  for (int32_t depth : {1, 4, 8}) {
    for (int variant = 0; variant < 8; ++variant) {
      const bool transparent = variant & 1, labelFirst = variant & 2, withBlack = variant & 4;
      SCOPED_TRACE(::testing::Message() << depth << " bits, transparent/label first/black " << variant);
      const COLORREF palette[3] = {RGB(255, 0, 255), withBlack ? Black : Red, Blue};
      Canvas canvas;
      Ref<Bitmap> icon = IconPicture(depth, width, height, palette);
      icon->SetTransparent(transparent ? 1 : 0, 0);
      if (labelFirst) {
        // A coloured, opaque-brushed text box changes memory's colours for its own call only.
        Ref<TextFont> font = MakeRef<TextFont>();
        font->SetColor(Paint<Pen>(Green).Get());
        Rect r(2, 2, 40, 16);
        canvas.Draw([&](DrawSurface& s) {
          s.DrawTextBox(r, MakeRef<Text>("Key").Get(), font.Get(), 0, 0, Paint<Pen>(Red).Get(), Paint<Brush>(Blue).Get(), true);
        });
      }
      canvas.Draw([&](DrawSurface& s) { s.DrawBitmap(*icon, at); });
      canvas.Show();
      for (int32_t i = 0; i < (width + 1) * (height + 1); ++i) {
        const int32_t x = i % (width + 1), y = i / (width + 1), index = IconIndex(depth, x, y);
        const bool shown = x < width && y < height && !(transparent && index == 0);  // a row and column beyond
        ASSERT_EQ(canvas.Pixel(at.X + x, at.Y + y), shown ? palette[index] : Background(at.X + x, at.Y + y))
            << "icon pixel " << x << "," << y;
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
  Canvas canvas;  // the view takes the same path into the platform
  canvas.Draw([&](DrawSurface& s) { s.DrawBitmap(*picture, Point(3, 4)); });
  canvas.Show();
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(canvas.Pixel(3 + x, 4), Black) << x;
}

// An opaque white box moves its text in by pen width + 2 and changes nothing else about it:
// the same pixels as the text drawn without a box onto white, in the rectangle shrunk that much.
TEST(DrawSurfaceText, OpaqueBoxMovesTheTextInByPenWidthPlusTwo) {
  Ref<TextFont> font = MakeRef<TextFont>();
  Ref<Text> text = MakeRef<Text>("Wq");
  for (int16_t penWidth : {1, 3}) {
    SCOPED_TRACE(penWidth);
    const int32_t inset = penWidth + 2;
    Canvas boxed, plain;
    Rect box(10, 10, 40, 24), bare(10 + inset, 10 + inset, 40 - 2 * inset, 24 - 2 * inset);
    boxed.Draw([&](DrawSurface& s) {
      s.DrawTextBox(box, text.Get(), font.Get(), 1, 3, Paint<Pen>(Red, penWidth).Get(), Paint<Brush>(White).Get(), true);
    });
    plain.Draw([&](DrawSurface& s) {
      s.DrawRectangle(Point(10, 10), Point(49, 33), *Paint<Pen>(White), Paint<Brush>(White).Get());
      s.DrawTextBox(bare, text.Get(), font.Get(), 1, 3, nullptr, nullptr, true);
    });
    boxed.Show();
    plain.Show();
    int ink = 0;
    for (int32_t y = bare.Top; y < bare.Top + bare.Height; ++y) {
      for (int32_t x = bare.Left; x < bare.Left + bare.Width; ++x) {
        ink += plain.Pixel(x, y) != White;
        ASSERT_EQ(boxed.Pixel(x, y), plain.Pixel(x, y)) << x << "," << y;
      }
    }
    EXPECT_GT(ink, 10) << "the text was not drawn";
    // The outline reaches the rectangle's edges (round pens leave the corners out).
    EXPECT_TRUE(boxed.Pixel(10, 20) == Red && boxed.Pixel(49, 20) == Red && boxed.Pixel(30, 33) == Red);
    EXPECT_TRUE(boxed.Untouched(50, 20)) << "box wider than its rectangle";
  }
  // Measuring wraps at a given width and leaves an empty text's rectangle as it was.
  Canvas canvas;
  Ref<Text> words = MakeRef<Text>("one two three four"), empty = MakeRef<Text>("");
  Rect line(0, 0, 0, 0), wrapped(0, 0, 40, 0), kept(1, 2, 30, 40);
  canvas.Draw([&](DrawSurface& s) {
    for (Rect* r : {&line, &wrapped}) s.DrawTextBox(*r, words.Get(), font.Get(), 0, 0, nullptr, nullptr, false);
    for (Text* t : {empty.Get(), static_cast<Text*>(nullptr)}) s.DrawTextBox(kept, t, font.Get(), 0, 0, nullptr, nullptr, false);
  });
  EXPECT_TRUE(line.Width > 40 && wrapped.Width <= 40 && wrapped.Height >= 2 * line.Height);
  EXPECT_TRUE(kept.Equals(Rect(1, 2, 30, 40)));
}

TEST(DrawSurfaceLifetime, PresentCopiesFromTheOriginIntoTheClipAndOneSectionLives) {
  const int32_t before = platform::CountGdiObjects().Total();
  {
    Canvas canvas;
    canvas.Surface->SetOrigin(MakeRef<Point>(5, 7).Get());
    canvas.Surface->SetClip(MakeRef<Rect>(2, 3, 20, 10).Get());
    canvas.Show();  // outside the clip the window keeps its own white
    EXPECT_TRUE(canvas.Pixel(2, 3) == Background(5, 7) && canvas.Pixel(21, 12) == Background(24, 16));
    EXPECT_TRUE(canvas.Pixel(22, 12) == White && canvas.Pixel(2, 13) == White);
    // A view replaced and then dropped keeps at most one section alive.
    const int32_t one = platform::CountGdiObjects().Total();
    Ref<Bitmap> view = MakeRef<Bitmap>();
    view->Create(8, 8, 24);
    canvas.Surface->SetBitmap(view.Get());
    EXPECT_EQ(platform::CountGdiObjects().Total(), one);
    canvas.Surface->SetBitmap(nullptr);
  }
  EXPECT_EQ(platform::CountGdiObjects().Total(), before) << "the surface left objects behind";
}

}  // namespace
}  // namespace velmira
