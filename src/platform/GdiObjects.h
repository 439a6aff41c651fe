// The objects behind the drawing handles, and the table of live ones that every call looks a
// handle up in, so that a null, deleted or wrong-kind handle fails instead of being followed.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/Gdi.h"
#include "platform/PixelSurface.h"

namespace platform {

class FontFace;

enum class GdiKind : uint8_t { Bitmap, Pen, Brush, Font };

struct GdiObject {
  explicit GdiObject(GdiKind kind) : Kind(kind) {}
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  virtual ~GdiObject() = default;

  const GdiKind Kind;
  bool Stock = false;
  int32_t Selections = 0;  // contexts holding it; it cannot be deleted meanwhile
};

struct GdiBitmap final : GdiObject {
  GdiBitmap() : GdiObject(GdiKind::Bitmap) {}
  ~GdiBitmap() override { std::free(Storage); }

  PixelSurface Pixels;
  uint8_t* Storage = nullptr;  // calloc'd rows, owned
};

struct GdiPen final : GdiObject {
  GdiPen() : GdiObject(GdiKind::Pen) {}
  int32_t Width = 0;
  Bgr Colour = 0;
};

struct GdiBrush final : GdiObject {
  GdiBrush() : GdiObject(GdiKind::Brush) {}
  bool Hollow = false;  // NULL_BRUSH: fills nothing
  Bgr Colour = 0;
};

struct GdiFont final : GdiObject {
  GdiFont() : GdiObject(GdiKind::Font) {}
  // The face, found on first use: fontconfig's matching is the slow part of a font and a
  // font is often made and deleted without drawing.
  FontFace* Face();

  LOGFONTW Request{};
  std::shared_ptr<FontFace> Resolved;
};

// Looks a handle up among the live objects (of one kind); null when it is not one.
GdiObject* FindObject(const void* handle);
GdiObject* FindObject(const void* handle, GdiKind kind);
template <class T, GdiKind K>
T* Find(const void* handle) {
  return static_cast<T*>(FindObject(handle, K));
}
inline GdiBitmap* FindBitmap(const void* h) { return Find<GdiBitmap, GdiKind::Bitmap>(h); }

// Adds a new object to the live table and returns its handle (null for null).
HGDIOBJ Register(std::unique_ptr<GdiObject> object);

// The defaults of a new context.
GdiBrush* StockWhiteBrush();
GdiPen* StockBlackPen();
GdiFont* StockSystemFont();
GdiBitmap* StockBitmap();

int32_t CountDeviceContexts();

}  // namespace platform

// A device context: what is selected into it and the surface it draws on.
struct VmDeviceContext {
  HWND Window = nullptr;                  // a window's context; null for a memory context
  std::shared_ptr<const void> KeepAlive;  // the window's surface outlives a deleted window
  platform::PixelSurface WindowPixels;

  platform::GdiBitmap* Bitmap = nullptr;
  platform::GdiPen* Pen = nullptr;
  platform::GdiBrush* Brush = nullptr;
  platform::GdiFont* Font = nullptr;
  platform::COLORREF TextColour = platform::RGB(0, 0, 0);
  platform::COLORREF BkColour = platform::RGB(255, 255, 255);
  int32_t BkMode = platform::OPAQUE;

  platform::PixelSurface& Target() { return Window != nullptr ? WindowPixels : Bitmap->Pixels; }
};

namespace platform {
// The context behind a live handle, or null.
VmDeviceContext* FindDc(HDC dc);
}  // namespace platform
