// DIB sections and monochrome bitmaps. Row layouts follow the bitmap formats: DIB rows are
// padded to 4 bytes and run bottom-up unless the height is negative; the rows handed to
// CreateBitmap are padded to 2 bytes and run top-down.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/GdiObjects.h"

namespace platform {
namespace {

// Larger requests are refused rather than attempted.
constexpr int64_t MaxSide = 1 << 16;
constexpr int64_t MaxBytes = int64_t{1} << 30;

bool SupportedDepth(uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// A bitmap of zeroed rows, top row first in memory when topDown.
std::unique_ptr<GdiBitmap> NewBitmap(int64_t width, int64_t height, uint16_t bits,
                                     int64_t alignBytes, bool topDown) {
  if (width < 1 || height < 1 || width > MaxSide || height > MaxSide) return nullptr;
  int64_t alignBits = alignBytes * 8;
  int64_t stride = (width * bits + alignBits - 1) / alignBits * alignBytes;
  if (stride * height > MaxBytes) return nullptr;
  auto b = std::make_unique<GdiBitmap>();
  b->Storage = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(stride * height), 1));
  if (b->Storage == nullptr) return nullptr;
  PixelSurface& p = b->Pixels;
  p.Width = static_cast<int32_t>(width);
  p.Height = static_cast<int32_t>(height);
  p.BitsPerPixel = bits;
  p.RowStep = topDown ? stride : -stride;
  p.Top = topDown ? b->Storage : b->Storage + stride * (height - 1);
  return b;
}

}  // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, uint32_t usage, void** bits, HANDLE, DWORD) {
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr || usage != DIB_RGB_COLORS) return nullptr;
  BITMAPINFOHEADER h;
  std::memcpy(&h, info, sizeof h);
  if (h.biSize < sizeof h || h.biPlanes != 1 || h.biCompression != BI_RGB ||
      !SupportedDepth(h.biBitCount) || h.biHeight == INT32_MIN) {
    return nullptr;
  }
  bool topDown = h.biHeight < 0;
  auto b =
      NewBitmap(h.biWidth, topDown ? -int64_t{h.biHeight} : h.biHeight, h.biBitCount, 4, topDown);
  if (!b) return nullptr;
  PixelSurface& p = b->Pixels;
  if (p.Indexed()) {
    uint32_t most = 1u << h.biBitCount;
    // No count means a full palette; a longer one is cut to what the depth can index.
    p.PaletteSize =
        static_cast<uint16_t>(h.biClrUsed == 0 || h.biClrUsed > most ? most : h.biClrUsed);
    const uint8_t* quads = reinterpret_cast<const uint8_t*>(info) + h.biSize;
    for (uint32_t i = 0; i < p.PaletteSize; ++i) {
      const uint8_t* q = quads + 4 * i;
      p.Palette[i] = static_cast<Bgr>(q[0]) | q[1] << 8 | q[2] << 16;
    }
  }
  if (bits != nullptr) *bits = b->Storage;
  return Register(std::move(b));
}

HBITMAP CreateBitmap(int32_t width, int32_t height, uint32_t planes, uint32_t bitsPerPixel,
                     const void* bits) {
  if (planes != 1 || bitsPerPixel != 1) return nullptr;
  auto b = NewBitmap(width, height, 1, 2, true);
  if (!b) return nullptr;
  PixelSurface& p = b->Pixels;
  p.Monochrome = true;
  p.PaletteSize = 2;
  p.Palette[1] = BgrWhite;
  if (bits != nullptr) std::memcpy(b->Storage, bits, static_cast<size_t>(p.RowStep) * p.Height);
  return Register(std::move(b));
}

}  // namespace platform
