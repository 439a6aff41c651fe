// The live-object table, stock objects, pens, brushes, fonts and their deletion.
#include "platform/GdiObjects.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "platform/FontCache.h"

namespace platform {
namespace {

struct LiveTable {
  std::mutex Mutex;
  std::unordered_map<const void*, GdiObject*> Objects;
  std::array<int32_t, 4> Counts{};  // created objects per GdiKind, stock ones left out
};

LiveTable& Live() {
  static LiveTable table;
  return table;
}

// The stock objects: the defaults of a new context and what GetStockObject hands out.
struct StockObjects {
  GdiBrush White;
  GdiBrush Hollow;
  GdiPen Black;
  GdiFont System;
  GdiBitmap Default;  // the 1 x 1 monochrome bitmap of a new memory context

  StockObjects() {
    White.Colour = BgrWhite;
    Hollow.Hollow = true;
    Black.Width = 0;
    // The system font: the default face at 10 points on a 96 dots-per-inch display.
    System.Request.lfHeight = -13;
    System.Request.lfWeight = FW_NORMAL;
    Default.Storage = static_cast<uint8_t*>(std::calloc(1, 2));
    PixelSurface& p = Default.Pixels;
    p.Top = Default.Storage;
    p.RowStep = 2;
    p.Width = p.Height = Default.Storage != nullptr ? 1 : 0;
    p.BitsPerPixel = 1;
    p.Monochrome = true;
    p.PaletteSize = 2;
    p.Palette[1] = BgrWhite;
    LiveTable& t = Live();
    std::lock_guard<std::mutex> hold(t.Mutex);
    GdiObject* all[] = {&White, &Hollow, &Black, &System, &Default};
    for (GdiObject* o : all) {
      o->Stock = true;
      t.Objects.emplace(o, o);
    }
  }
};

StockObjects& Stock() {
  static StockObjects stock;
  return stock;
}

}  // namespace

GdiObject* FindObject(const void* handle) {
  if (handle == nullptr) return nullptr;
  Stock();  // the stock objects are in the table before anyone looks
  LiveTable& t = Live();
  std::lock_guard<std::mutex> hold(t.Mutex);
  auto it = t.Objects.find(handle);
  return it != t.Objects.end() ? it->second : nullptr;
}

GdiObject* FindObject(const void* handle, GdiKind kind) {
  GdiObject* o = FindObject(handle);
  return o != nullptr && o->Kind == kind ? o : nullptr;
}

HGDIOBJ Register(std::unique_ptr<GdiObject> object) {
  if (!object) return nullptr;
  LiveTable& t = Live();
  std::lock_guard<std::mutex> hold(t.Mutex);
  ++t.Counts[static_cast<size_t>(object->Kind)];
  GdiObject* o = object.release();
  t.Objects.emplace(o, o);
  return o;
}

GdiBrush* StockWhiteBrush() { return &Stock().White; }
GdiPen* StockBlackPen() { return &Stock().Black; }
GdiFont* StockSystemFont() { return &Stock().System; }
GdiBitmap* StockBitmap() { return &Stock().Default; }

FontFace* GdiFont::Face() {
  // The stock font is one object for every context and may be drawn with on two threads.
  static std::mutex resolving;
  std::lock_guard<std::mutex> hold(resolving);
  if (!Resolved) Resolved = FontFace::Find(Request);
  return Resolved.get();
}

HGDIOBJ GetStockObject(int32_t which) {
  switch (which) {
    case WHITE_BRUSH:
      return &Stock().White;
    case NULL_BRUSH:
      return &Stock().Hollow;
    case BLACK_PEN:
      return &Stock().Black;
    case SYSTEM_FONT:
      return &Stock().System;
    default:
      return nullptr;
  }
}

HPEN CreatePen(int32_t style, int32_t width, COLORREF colour) {
  if (style != PS_SOLID) return nullptr;
  auto pen = std::make_unique<GdiPen>();
  // Widths beyond this are refused: a pen wider than any surface draws nothing new.
  constexpr int32_t MaxPenWidth = 1 << 16;
  pen->Width = std::min(width == INT32_MIN ? MaxPenWidth : std::abs(width), MaxPenWidth);
  pen->Colour = ToBgr(colour);
  return Register(std::move(pen));
}

HBRUSH CreateSolidBrush(COLORREF colour) {
  auto brush = std::make_unique<GdiBrush>();
  brush->Colour = ToBgr(colour);
  return Register(std::move(brush));
}

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (font == nullptr) return nullptr;
  auto f = std::make_unique<GdiFont>();
  f->Request = *font;
  // Face names hold 31 characters and the terminator; a longer name is cut at 31.
  f->Request.lfFaceName[LF_FACESIZE - 1] = 0;
  return Register(std::move(f));
}

bool DeleteObject(HGDIOBJ object) {
  if (object == nullptr) return false;
  LiveTable& t = Live();
  std::unique_lock<std::mutex> hold(t.Mutex);
  auto it = t.Objects.find(object);
  if (it == t.Objects.end()) return false;
  GdiObject* o = it->second;
  if (o->Stock) return true;
  if (o->Selections > 0) return false;  // still in a context: the platform refuses too
  t.Objects.erase(it);
  --t.Counts[static_cast<size_t>(o->Kind)];
  hold.unlock();
  delete o;
  return true;
}

GdiObjectCounts CountGdiObjects() {
  GdiObjectCounts c{};
  c.DeviceContexts = CountDeviceContexts();
  LiveTable& t = Live();
  std::lock_guard<std::mutex> hold(t.Mutex);
  c.Bitmaps = t.Counts[static_cast<size_t>(GdiKind::Bitmap)];
  c.Pens = t.Counts[static_cast<size_t>(GdiKind::Pen)];
  c.Brushes = t.Counts[static_cast<size_t>(GdiKind::Brush)];
  c.Fonts = t.Counts[static_cast<size_t>(GdiKind::Font)];
  return c;
}

}  // namespace platform
