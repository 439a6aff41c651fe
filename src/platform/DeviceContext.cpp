// Device contexts: window contexts over a window's surface, memory contexts over a
// selected bitmap, what is selected into them and their text and background state.
#include <memory>
#include <mutex>
#include <unordered_set>

#include "platform/GdiObjects.h"

namespace platform {
namespace {

// Both axes: the handheld platform's screens report 96 dots per inch.
constexpr int32_t DotsPerInch = 96;

struct DcTable {
  std::mutex Mutex;
  std::unordered_set<VmDeviceContext*> Live;
};

DcTable& Contexts() {
  static DcTable table;
  return table;
}

template <class T>
T* Swap(T*& slot, T* next) {
  T* previous = slot;
  if (previous != nullptr) --previous->Selections;
  ++next->Selections;
  slot = next;
  return previous;
}

HDC NewContext(std::unique_ptr<VmDeviceContext> dc) {
  Swap(dc->Pen, StockBlackPen());
  Swap(dc->Brush, StockWhiteBrush());
  Swap(dc->Font, StockSystemFont());
  if (dc->Window == nullptr) Swap(dc->Bitmap, StockBitmap());
  DcTable& t = Contexts();
  std::lock_guard<std::mutex> hold(t.Mutex);
  return *t.Live.insert(dc.release()).first;
}

// Takes the context out of the table and lets go of what it holds.
bool Retire(VmDeviceContext* dc) {
  {
    DcTable& t = Contexts();
    std::lock_guard<std::mutex> hold(t.Mutex);
    if (t.Live.erase(dc) == 0) return false;
  }
  --dc->Pen->Selections;
  --dc->Brush->Selections;
  --dc->Font->Selections;
  if (dc->Bitmap != nullptr) --dc->Bitmap->Selections;
  delete dc;
  return true;
}

}  // namespace

VmDeviceContext* FindDc(HDC dc) {
  DcTable& t = Contexts();
  std::lock_guard<std::mutex> hold(t.Mutex);
  return t.Live.contains(dc) ? dc : nullptr;
}

int32_t CountDeviceContexts() {
  DcTable& t = Contexts();
  std::lock_guard<std::mutex> hold(t.Mutex);
  return static_cast<int32_t>(t.Live.size());
}

HDC GetDC(HWND window) {
  Surface s;
  std::shared_ptr<const void> keep;
  if (window == nullptr || !GetWindowSurface(window, &s, &keep)) return nullptr;
  auto dc = std::make_unique<VmDeviceContext>();
  dc->Window = window;
  dc->KeepAlive = std::move(keep);
  PixelSurface& p = dc->WindowPixels;
  p.Top = s.Bits;
  p.RowStep = s.Stride;
  p.Width = s.Width;
  p.Height = s.Height;
  p.BitsPerPixel = 32;
  return NewContext(std::move(dc));
}

int32_t ReleaseDC(HWND window, HDC dc) {
  VmDeviceContext* c = FindDc(dc);
  if (c == nullptr || c->Window == nullptr || c->Window != window) return 0;
  return Retire(c) ? 1 : 0;
}

HDC CreateCompatibleDC(HDC dc) {
  if (dc != nullptr && FindDc(dc) == nullptr) return nullptr;
  return NewContext(std::make_unique<VmDeviceContext>());
}

bool DeleteDC(HDC dc) {
  VmDeviceContext* c = FindDc(dc);
  if (c == nullptr || c->Window != nullptr) return false;  // window contexts go with ReleaseDC
  return Retire(c);
}

int32_t GetDeviceCaps(HDC dc, int32_t index) {
  if (FindDc(dc) == nullptr) return 0;
  return index == LOGPIXELSX || index == LOGPIXELSY ? DotsPerInch : 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  VmDeviceContext* c = FindDc(dc);
  GdiObject* o = FindObject(object);
  if (c == nullptr || o == nullptr) return nullptr;
  switch (o->Kind) {
    case GdiKind::Bitmap: {
      auto* b = static_cast<GdiBitmap*>(o);
      if (c->Window != nullptr) return nullptr;  // a window context draws on its window only
      if (b == c->Bitmap) return b;
      if (b->Selections > 0 && !b->Stock) return nullptr;  // one context at a time
      return Swap(c->Bitmap, b);
    }
    case GdiKind::Pen:
      return Swap(c->Pen, static_cast<GdiPen*>(o));
    case GdiKind::Brush:
      return Swap(c->Brush, static_cast<GdiBrush*>(o));
    case GdiKind::Font:
      return Swap(c->Font, static_cast<GdiFont*>(o));
  }
  return nullptr;
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
  VmDeviceContext* c = FindDc(dc);
  if (c == nullptr) return CLR_INVALID;
  COLORREF previous = c->TextColour;
  c->TextColour = colour;
  return previous;
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
  VmDeviceContext* c = FindDc(dc);
  if (c == nullptr) return CLR_INVALID;
  COLORREF previous = c->BkColour;
  c->BkColour = colour;
  return previous;
}

int32_t SetBkMode(HDC dc, int32_t mode) {
  VmDeviceContext* c = FindDc(dc);
  if (c == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int32_t previous = c->BkMode;
  c->BkMode = mode;
  return previous;
}

}  // namespace platform
