// The one object all viewer drawing goes through: it wraps the window's device context of the
// current draw call (target), an off-screen context made once from the first target (memory)
// and the device-independent bitmap section holding the rendered view (dib), and offers the
// five drawing operations the overlay objects use. Points are pixels of the rendered view
// bitmap. Every platform pen, brush, font and bitmap an operation makes is selected into
// memory, used, deselected and deleted before the operation returns; nothing is cached.
// Pixel rules (exclusive right and bottom edges, pen width limits, transparency masks) are
// those of the platform's GDI.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/Point.h"
#include "frame/Rect.h"
#include "frame/RefObject.h"
#include "frame/Text.h"
#include "maps/Bitmap.h"
#include "platform/Gdi.h"
#include "view/Brush.h"
#include "view/Pen.h"
#include "view/TextFont.h"

namespace velmira {

class DrawSurface final : public RefObject {
 public:
  // Text alignment codes of DrawTextBox: horizontal 0 centre, 1 left, 2 right; vertical
  // 0 centre, 3 top, 4 bottom.
  static constexpr int32_t TextLeft = 1;
  static constexpr int32_t TextRight = 2;
  static constexpr int32_t TextTop = 3;
  static constexpr int32_t TextBottom = 4;

  DrawSurface() = default;
  ~DrawSurface() override;

  // Stores the window's context for this draw call; the first one also gets the memory
  // context made compatible with it.
  void SetTarget(HDC target);
  HDC GetTarget() const { return Target; }
  // The window rectangle that Present fills (shared, not copied).
  void SetClip(Rect* clip);
  // The pixel of the rendered view shown at the window's top-left corner (shared).
  void SetOrigin(Point* origin);
  // Replaces the rendered view with a copy of bitmap's pixels in a new DIB section (none:
  // no view). Nothing happens before the first SetTarget. A bitmap the platform cannot make
  // a section for leaves no view and 10012 "Out of memory".
  void SetBitmap(const Bitmap* bitmap);
  bool HasBitmap() const { return Dib != nullptr; }

  // Copies the view from origin into the clip rectangle of the target; without a view fills
  // the clip rectangle white inside a one-pixel black frame. Clears the error record first.
  void Present();

  // The drawing operations do nothing while there is no view. Each clears the error record
  // first and reports 10012 "Out of memory" when the platform cannot make an object it needs.
  //
  // A line through p1 and (p2.x + 1, p2.y + 1) with the pen's width and colour.
  void DrawLine(const Point& p1, const Point& p2, const Pen& pen);
  // The shape whose top-left pixel is p1 and bottom-right pixel p2, its outline inside that
  // box: the pen width is limited to half the box's width and height. A transparent or
  // missing brush leaves the inside as it was.
  void DrawRectangle(const Point& p1, const Point& p2, const Pen& pen, const Brush* brush);
  void DrawEllipse(const Point& p1, const Point& p2, const Pen& pen, const Brush* brush);
  // The whole bitmap with its top-left corner at p, at its own pixel size; pixels of the
  // bitmap's transparent palette colour leave the view visible.
  void DrawBitmap(const Bitmap& bitmap, const Point& p);
  // draw: an optional box (opaque brush, outline of pen, which may be null for a black
  // one-pixel outline) filling rect, and the text inside it, pen width + 2 pixels in from
  // every side, aligned by the codes above and wrapped at rect's width when that is not 0.
  // Measuring (draw false): rect's width and height become the extent of the text as it
  // would be drawn; an empty or missing text leaves rect as it is.
  void DrawTextBox(Rect& rect, Text* text, const TextFont* font, int32_t hAlign, int32_t vAlign,
                   const Pen* pen, const Brush* brush, bool draw);

 private:
  void DrawShape(const Point& p1, const Point& p2, const Pen& pen, const Brush* brush,
                 bool ellipse);
  void DrawMasked(HDC source, int32_t width, int32_t height, const Point& p,
                  platform::COLORREF key);
  void DropDib();

  HDC Target = nullptr;
  HDC Memory = nullptr;
  platform::HBITMAP Dib = nullptr;
  platform::HBITMAP PreviousBitmap = nullptr;
  void* DibBits = nullptr;
  std::vector<uint8_t> DibLayout;  // the header and palette the section was made from
  Ref<Rect> Clip;
  Ref<Point> Origin;
};

}  // namespace velmira
