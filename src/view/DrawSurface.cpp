#include "view/DrawSurface.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace velmira {

using namespace platform;

namespace {

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// The header and palette handed to the platform. A palette picture whose header counts no
// entries (a file may say so) would have the platform take a full palette from the pixels
// after the header; it gets one black entry instead, and every index past it reads black.
struct SectionInfo {
  BITMAPINFOHEADER Header;
  RGBQUAD Black;
};

const BITMAPINFO* InfoOf(const Bitmap& bitmap, SectionInfo& spare) {
  const auto* info = reinterpret_cast<const BITMAPINFO*>(bitmap.Header());
  if (bitmap.BitsPerPixel() > 8 || bitmap.ColourCount() != 0) return info;
  std::memcpy(&spare.Header, info, sizeof spare.Header);
  spare.Header.biClrUsed = 1;
  spare.Black = {};
  return reinterpret_cast<const BITMAPINFO*>(&spare);
}

// Selects object into dc for the life of the guard, then selects the previous one back and
// deletes object (stock objects survive DeleteObject). Deselecting first is what lets the
// platform delete it.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : Dc(dc), Object(object), Previous(SelectObject(dc, object)) {}
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;
  ~Selected() {
    if (Previous != nullptr) SelectObject(Dc, Previous);
    if (Object != nullptr) DeleteObject(Object);
  }

 private:
  HDC Dc;
  HGDIOBJ Object;
  HGDIOBJ Previous;
};

// A memory context that is deleted with the guard.
class MemoryDc {
 public:
  explicit MemoryDc(HDC compatible) : Dc(CreateCompatibleDC(compatible)) {}
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  ~MemoryDc() {
    if (Dc != nullptr) DeleteDC(Dc);
  }
  HDC Get() const { return Dc; }

 private:
  HDC Dc;
};

// A DIB section holding a copy of the bitmap's pixels (at bits); null when the platform
// refuses it.
HBITMAP SectionOf(HDC dc, const Bitmap& bitmap, void*& bits) {
  bits = nullptr;
  SectionInfo spare;
  HBITMAP section = CreateDIBSection(dc, InfoOf(bitmap, spare), DIB_RGB_COLORS, &bits);
  if (section != nullptr && bits != nullptr) std::memcpy(bits, bitmap.Pixels(), bitmap.ImageSize());
  return section;
}

// A transparent colour needs a palette entry to name it; design choice: an index outside the
// palette (or a bitmap without one) means no transparent colour, and the picture is opaque.
bool TransparentKey(const Bitmap& bitmap, COLORREF& key) {
  if (bitmap.Transparent() == 0 || bitmap.TransparentIndex() >= bitmap.ColourCount()) return false;
  const uint8_t* entry = bitmap.Palette() + size_t{bitmap.TransparentIndex()} * 4;  // B, G, R, 0
  key = RGB(entry[2], entry[1], entry[0]);
  return true;
}

// Blackening the key colour needs black in the picture's palette: a picture whose palette
// lacks it (a two-colour icon, say) would blacken to its nearest colour instead.
bool PaletteHasBlack(const Bitmap& bitmap) {
  const uint8_t* palette = bitmap.Palette();
  for (uint32_t i = 0; i < bitmap.ColourCount(); ++i) {
    if (palette[4 * i] == 0 && palette[4 * i + 1] == 0 && palette[4 * i + 2] == 0) return true;
  }
  return false;
}

uint32_t TextFormat(int32_t hAlign, int32_t vAlign, int32_t width) {
  uint32_t format = DT_NOPREFIX;
  if (hAlign == 0) format |= DT_CENTER;
  if (hAlign == DrawSurface::TextRight) format |= DT_RIGHT;
  if (vAlign == 0) format |= DT_VCENTER;
  if (vAlign == DrawSurface::TextBottom) format |= DT_BOTTOM;
  if (width != 0) format |= DT_WORDBREAK;
  return format;
}

// The platform font of a TextFont, at the resolution of dc. Design choice: the resolution is
// asked of the memory context, which lives as long as the surface, not of the target, which
// is only valid during one draw call while labels are also measured between draw calls (both
// report the same resolution).
HFONT FontOf(HDC dc, const TextFont& font) {
  LOGFONTW description{};
  description.lfHeight = font.LogFontHeight(GetDeviceCaps(dc, LOGPIXELSY));
  description.lfWeight = font.Weight();
  description.lfItalic = font.GetItalic() != 0 ? 1 : 0;
  font.FillFaceName(description.lfFaceName);
  return CreateFontIndirectW(&description);
}

}  // namespace

DrawSurface::~DrawSurface() {
  DropDib();
  if (Memory != nullptr) DeleteDC(Memory);
}

void DrawSurface::SetTarget(HDC target) {
  Target = target;
  if (Memory == nullptr) Memory = CreateCompatibleDC(target);
}

void DrawSurface::SetClip(Rect* clip) { Clip = Ref<Rect>::Retain(clip); }

void DrawSurface::SetOrigin(Point* origin) { Origin = Ref<Point>::Retain(origin); }

void DrawSurface::DropDib() {
  if (Dib == nullptr) return;
  SelectObject(Memory, PreviousBitmap);
  DeleteObject(Dib);
  Dib = PreviousBitmap = nullptr;
  DibBits = nullptr;
  DibLayout.clear();
}

void DrawSurface::SetBitmap(const Bitmap* bitmap) {
  if (Memory == nullptr) return;
  const bool present = bitmap != nullptr && bitmap->Header() != nullptr;
  // A picture laid out as the section shown (header and palette) replaces its pixels in
  // place: every frame of a view makes a picture of the same size, and a new section would
  // have its pages zeroed and mapped again each time.
  const size_t layout = present ? Bitmap::HeaderSize + size_t{bitmap->PaletteSize()} : 0;
  if (present && Dib != nullptr && DibLayout.size() == layout &&
      std::memcmp(DibLayout.data(), bitmap->Header(), layout) == 0) {
    std::memcpy(DibBits, bitmap->Pixels(), bitmap->ImageSize());
    return;
  }
  DropDib();
  if (!present) return;
  Dib = SectionOf(Memory, *bitmap, DibBits);
  if (Dib == nullptr) {
    Err.Set(errors::OutOfMemory);
    return;
  }
  const auto* first = reinterpret_cast<const uint8_t*>(bitmap->Header());
  DibLayout.assign(first, first + layout);
  PreviousBitmap = SelectObject(Memory, Dib);
}

void DrawSurface::Present() {
  Err.Clear();
  if (Target == nullptr || !Clip) return;
  const Rect& c = *Clip;
  if (Dib != nullptr) {
    const int32_t x = Origin ? Origin->X : 0, y = Origin ? Origin->Y : 0;
    BitBlt(Target, c.Left, c.Top, c.Width, c.Height, Memory, x, y, SRCCOPY);
    return;
  }
  // Nothing rendered yet: a white area inside a one-pixel black frame.
  HPEN pen = CreatePen(PS_SOLID, 0, RGB(0, 0, 0));
  HBRUSH brush = CreateSolidBrush(RGB(255, 255, 255));
  if (pen == nullptr || brush == nullptr) {
    DeleteObject(pen);
    DeleteObject(brush);
    Err.Set(errors::OutOfMemory);
    return;
  }
  Selected withPen(Target, pen);
  Selected withBrush(Target, brush);
  Rectangle(Target, c.Left, c.Top, Saturate(int64_t{c.Left} + c.Width),
            Saturate(int64_t{c.Top} + c.Height));
}

void DrawSurface::DrawLine(const Point& p1, const Point& p2, const Pen& pen) {
  if (Dib == nullptr) return;
  Err.Clear();
  HPEN line = CreatePen(PS_SOLID, pen.GetWidth(), pen.Color());
  if (line == nullptr) {
    Err.Set(errors::OutOfMemory);
    return;
  }
  Selected withPen(Memory, line);
  // The platform leaves a polyline's last point out, so the end goes one pixel further on
  // both axes to take p2 in.
  const POINT points[2] = {{p1.X, p1.Y},
                           {Saturate(int64_t{p2.X} + 1), Saturate(int64_t{p2.Y} + 1)}};
  Polyline(Memory, points, 2);
}

void DrawSurface::DrawRectangle(const Point& p1, const Point& p2, const Pen& pen,
                                const Brush* brush) {
  if (Dib == nullptr) return;
  Err.Clear();
  DrawShape(p1, p2, pen, brush, false);
}

void DrawSurface::DrawEllipse(const Point& p1, const Point& p2, const Pen& pen,
                              const Brush* brush) {
  if (Dib == nullptr) return;
  Err.Clear();
  DrawShape(p1, p2, pen, brush, true);
}

void DrawSurface::DrawShape(const Point& p1, const Point& p2, const Pen& pen, const Brush* brush,
                            bool ellipse) {
  // p2 is inside the shape; the platform's right and bottom edges are exclusive.
  int64_t left = p1.X, top = p1.Y, right = int64_t{p2.X} + 1, bottom = int64_t{p2.Y} + 1;
  // A pen wider than half the box would draw outside it: limit it (divisions truncate).
  // Design choice: a box turned inside out (right < left) draws with a one-pixel pen
  // instead of a negative width.
  int64_t w = pen.GetWidth();
  if (right - left < 2 * w) w = (right - left) / 2;
  if (bottom - top < 2 * w) w = (bottom - top) / 2;
  w = std::max<int64_t>(w, 0);
  // The outline is centred on the edge; move it half its width inwards.
  const int64_t inset = w / 2;
  left += inset;
  top += inset;
  right -= inset;
  bottom -= inset;

  HPEN outline = CreatePen(PS_SOLID, static_cast<int32_t>(w), pen.Color());
  // Design choice: the ellipse, like the rectangle, takes a missing brush as no fill.
  const bool fill = brush != nullptr && !brush->IsTransparent();
  HBRUSH inside = fill ? CreateSolidBrush(brush->Color()) : GetStockObject(NULL_BRUSH);
  if (outline == nullptr || inside == nullptr) {
    DeleteObject(outline);
    if (fill) DeleteObject(inside);
    Err.Set(errors::OutOfMemory);
    return;
  }
  Selected withPen(Memory, outline);
  Selected withBrush(Memory, inside);
  const int32_t l = Saturate(left), t = Saturate(top), r = Saturate(right), b = Saturate(bottom);
  if (ellipse) {
    Ellipse(Memory, l, t, r, b);
  } else {
    Rectangle(Memory, l, t, r, b);
  }
}

void DrawSurface::DrawBitmap(const Bitmap& bitmap, const Point& p) {
  if (Dib == nullptr) return;
  Err.Clear();
  if (bitmap.Header() == nullptr) return;
  const int32_t w = bitmap.Width(), h = bitmap.Height();
  MemoryDc source(Memory);
  void* bits = nullptr;
  HBITMAP picture = source.Get() != nullptr ? SectionOf(source.Get(), bitmap, bits) : nullptr;
  if (picture == nullptr) {
    Err.Set(errors::OutOfMemory);
    return;
  }
  Selected withPicture(source.Get(), picture);
  COLORREF key = 0;
  if (!TransparentKey(bitmap, key)) {
    BitBlt(Memory, p.X, p.Y, w, h, source.Get(), 0, 0, SRCCOPY);
  } else if (PaletteHasBlack(bitmap)) {
    DrawMasked(source.Get(), w, h, p, key);
  } else {
    // Design choice: such a picture is masked from a 24-bit copy, which can hold black.
    MemoryDc work(Memory);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP copy = work.Get() != nullptr
                       ? CreateDIBSection(work.Get(), &info, DIB_RGB_COLORS, &bits)
                       : nullptr;
    if (copy == nullptr) {
      Err.Set(errors::OutOfMemory);
      return;
    }
    Selected withCopy(work.Get(), copy);
    BitBlt(work.Get(), 0, 0, w, h, source.Get(), 0, 0, SRCCOPY);
    DrawMasked(work.Get(), w, h, p, key);
  }
}

void DrawSurface::DrawMasked(HDC source, int32_t w, int32_t h, const Point& p, COLORREF key) {
  // Colour to monochrome gives 1 where the source has its background colour: the key.
  SetBkColor(source, key);
  MemoryDc maskDc(source);
  HBITMAP mask = maskDc.Get() != nullptr ? CreateBitmap(w, h, 1, 1, nullptr) : nullptr;
  if (mask == nullptr) {
    Err.Set(errors::OutOfMemory);
    return;
  }
  Selected withMask(maskDc.Get(), mask);
  BitBlt(maskDc.Get(), 0, 0, w, h, source, 0, 0, SRCCOPY);
  // Monochrome on colour takes the destination's text colour (black) for 0 and background
  // colour (white) for 1: this clears the picture's area except where it is transparent.
  // No drawing operation leaves memory's colours changed, so they are still the defaults.
  BitBlt(Memory, p.X, p.Y, w, h, maskDc.Get(), 0, 0, SRCAND);
  // In source, 1 becomes the key and 0 black: destination AND NOT that blackens the key.
  BitBlt(source, 0, 0, w, h, maskDc.Get(), 0, 0, DSTANDNOTSRC);
  BitBlt(Memory, p.X, p.Y, w, h, source, 0, 0, SRCPAINT);
}

void DrawSurface::DrawTextBox(Rect& rect, Text* text, const TextFont* font, int32_t hAlign,
                              int32_t vAlign, const Pen* pen, const Brush* brush, bool draw) {
  if (Dib == nullptr) return;
  Err.Clear();
  const uint32_t format = TextFormat(hAlign, vAlign, rect.Width);
  RECT area{rect.Left, rect.Top, Saturate(int64_t{rect.Left} + rect.Width),
            Saturate(int64_t{rect.Top} + rect.Height)};
  const WCHAR* wide = nullptr;
  const int32_t length = text != nullptr ? text->Length() : 0;
  if (length > 0) {
    wide = text->GetWide();
    if (wide == nullptr) {
      Err.Set(errors::OutOfMemory);
      return;
    }
  }

  HFONT made = nullptr;
  HGDIOBJ previousFont = nullptr;
  COLORREF previousColour = 0;
  if (font != nullptr) {
    made = FontOf(Memory, *font);
    if (made == nullptr) {
      Err.Set(errors::OutOfMemory);
      return;
    }
    previousFont = SelectObject(Memory, made);
    previousColour = SetTextColor(Memory, font->ColorPen().Color());
  }

  if (draw) {
    if (brush != nullptr && !brush->IsTransparent()) {
      // Design choice: a box without a pen gets the default one-pixel black outline.
      const Pen fallback;
      const Pen& outline = pen != nullptr ? *pen : fallback;
      DrawShape(Point(rect.Left, rect.Top),
                Point(Saturate(int64_t{rect.Left} + rect.Width - 1),
                      Saturate(int64_t{rect.Top} + rect.Height - 1)),
                outline, brush, false);
      const int32_t border = outline.GetWidth() + 2;
      area = {Saturate(int64_t{area.left} + border), Saturate(int64_t{area.top} + border),
              Saturate(int64_t{area.right} - border), Saturate(int64_t{area.bottom} - border)};
    }
    if (length > 0) {
      const int32_t previousMode = SetBkMode(Memory, TRANSPARENT);
      DrawTextW(Memory, wide, length, &area, format);
      SetBkMode(Memory, previousMode);
    }
  } else if (length > 0) {
    DrawTextW(Memory, wide, length, &area, format | DT_CALCRECT);
    rect.Width = Saturate(int64_t{area.right} - area.left);
    rect.Height = Saturate(int64_t{area.bottom} - area.top);
  }

  if (font != nullptr) {
    SelectObject(Memory, previousFont);
    DeleteObject(made);
    SetTextColor(Memory, previousColour);
  }
}

}  // namespace velmira
