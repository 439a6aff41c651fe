// Text in an optional box. The box is drawn only while the brush is opaque (a new label's
// brush is white but transparent). The label's size comes from measuring its text on a
// drawing surface, the first one it is drawn on; until then it is 0 x 0. Pen, brush and font
// are shared: a change made through another handle is measured at the next drawing.
#pragma once

#include <cstdint>

#include "frame/Text.h"
#include "view/DrawSurface.h"
#include "view/MapObject.h"
#include "view/TextFont.h"

namespace velmira {

class Label final : public MapObject {
 public:
  Label();

  // Alignment of the box on the point: x 0, 1, 2 and y 0, 3, 4 (MapObject). Clear the error
  // record; another value is refused with 10003 "Invalid parameter!" and nothing changes.
  void SetAlignX(int32_t align);
  void SetAlignY(int32_t align);
  // Alignment of the text in the box, the same codes and checks; the cached area stays.
  int32_t GetTextHAlign() const { return TextHAlign; }
  int32_t GetTextVAlign() const { return TextVAlign; }
  void SetTextHAlign(int32_t align);
  void SetTextVAlign(int32_t align);

  // The text (no reference added) or none.
  Text* GetText() const { return TextOf.Get(); }
  // Each of these stores its value, sets changed and measures the label again.
  void SetText(const WCHAR* text);
  Ref<TextFont> GetTextFont() const { return Font; }
  // None is stored as none: the text is then measured and drawn in the surface's own font and
  // text colour.
  void SetTextFont(TextFont* font);
  // Requested box size, 0 meaning the measured size.
  void SetRequestedWidth(int32_t width);
  void SetRequestedHeight(int32_t height);
  // As MapObject's, then measure again (a wider pen or an opaque brush makes a larger box).
  bool SetPen(Pen* pen);
  bool SetBrush(Brush* brush);

  // On the first drawing the surface becomes the measuring surface; a later drawing measures
  // again when the shared pen, brush or font changed the size since the last measuring.
  void Draw(DrawSurface& surface) override;

 private:
  // What a measurement read from the shared attributes: the opaque box, the outline width and
  // the font with its revision.
  struct MeasuredWith {
    bool Boxed = false;
    int16_t PenWidth = 0;
    const TextFont* Font = nullptr;
    uint32_t FontRevision = 0;
    bool operator==(const MeasuredWith&) const = default;
  };
  MeasuredWith Inputs() const;

  // The box size from the measured text, border and requested size; nothing without a
  // measuring surface.
  void Measure();

  Ref<Text> TextOf;
  int32_t TextHAlign = 0;
  int32_t TextVAlign = 0;
  int32_t RequestedWidth = 0;
  int32_t RequestedHeight = 0;
  Ref<TextFont> Font = MakeRef<TextFont>();
  Ref<DrawSurface> MeasuringSurface;
  MeasuredWith Measured;
};

}  // namespace velmira
