#include "view/Label.h"

#include <algorithm>
#include <limits>

namespace velmira {
namespace {

bool ValidX(int32_t align) { return align == 0 || align == 1 || align == 2; }
bool ValidY(int32_t align) { return align == 0 || align == 3 || align == 4; }

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

Label::Label() : MapObject(LabelType) {
  // White, ready for a box, but still transparent: no box until the caller asks for one.
  Ref<Brush> brush = GetBrush();
  brush->Red = brush->Green = brush->Blue = 255;
}

void Label::SetAlignX(int32_t align) {
  Err.Clear();
  if (align == GetAlignX()) return;
  if (!ValidX(align)) return Err.Set(errors::InvalidParameter);
  StoreAlignX(align);
}

void Label::SetAlignY(int32_t align) {
  Err.Clear();
  if (align == GetAlignY()) return;
  if (!ValidY(align)) return Err.Set(errors::InvalidParameter);
  StoreAlignY(align);
}

void Label::SetTextHAlign(int32_t align) {
  Err.Clear();
  if (align == TextHAlign) return;
  if (!ValidX(align)) return Err.Set(errors::InvalidParameter);
  TextHAlign = align;
  SetChanged(true);
}

void Label::SetTextVAlign(int32_t align) {
  Err.Clear();
  if (align == TextVAlign) return;
  if (!ValidY(align)) return Err.Set(errors::InvalidParameter);
  TextVAlign = align;
  SetChanged(true);
}

void Label::SetText(const WCHAR* text) {
  // Null stores an empty text, which measures as no text at all.
  TextOf = MakeRef<Text>(text);
  SetChanged(true);
  Measure();
}

void Label::SetTextFont(TextFont* font) {
  Font = Ref<TextFont>::Retain(font);
  SetChanged(true);
  Measure();
}

void Label::SetRequestedWidth(int32_t width) {
  RequestedWidth = width;
  Measure();
}

void Label::SetRequestedHeight(int32_t height) {
  RequestedHeight = height;
  Measure();
}

bool Label::SetPen(Pen* pen) {
  const bool taken = MapObject::SetPen(pen);
  Measure();
  return taken;
}

bool Label::SetBrush(Brush* brush) {
  const bool taken = MapObject::SetBrush(brush);
  Measure();
  return taken;
}

Label::MeasuredWith Label::Inputs() const {
  return {!BrushRef().IsTransparent(), PenRef().GetWidth(), Font.Get(),
          Font ? Font->GetRevision() : 0};
}

void Label::Measure() {
  if (!MeasuringSurface) return;
  Measured = Inputs();
  if (RequestedWidth != 0 && RequestedHeight != 0) {
    SetWidth(RequestedWidth);
    SetHeight(RequestedHeight);
    return;
  }
  // An opaque box takes its outline and a 2-pixel margin from the text on every side.
  const bool boxed = !BrushRef().IsTransparent();
  const int64_t border = 2 * int64_t{PenRef().GetWidth()} + 4;
  auto inner = [&](int32_t requested) {
    return boxed && requested != 0 ? Saturate(std::max<int64_t>(requested - border, 0))
                                   : requested;
  };
  // A requested side is where the text wraps; an unrequested one is measured.
  Rect extent(0, 0, inner(RequestedWidth), inner(RequestedHeight));
  MeasuringSurface->DrawTextBox(extent, TextOf.Get(), Font.Get(), TextHAlign, TextVAlign, nullptr,
                                nullptr, false);
  int64_t width = extent.Width, height = extent.Height;
  if (boxed) {
    width += border;
    height += border;
  }
  SetWidth(RequestedWidth != 0 ? RequestedWidth : Saturate(width));
  SetHeight(RequestedHeight != 0 ? RequestedHeight : Saturate(height));
}

void Label::Draw(DrawSurface& surface) {
  if (!MeasuringSurface) {
    MeasuringSurface = Ref<DrawSurface>::Retain(&surface);
    Measure();
  } else if (Inputs() != Measured) {
    Measure();
  }
  Ref<Point> p = SurfacePoint(GetLeft(), GetTop());
  Rect box(p->X, p->Y, GetWidth(), GetHeight());
  surface.DrawTextBox(box, TextOf.Get(), Font.Get(), TextHAlign, TextVAlign, &PenRef(), &BrushRef(),
                      true);
  SetChanged(false);
  Err.CopyFrom(surface.GetError());
}

}  // namespace velmira
