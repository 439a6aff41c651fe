// The pixel rows a device context draws into: a window surface, a DIB section or a
// monochrome bitmap. Every drawing call reads and writes pixels through this one view, as
// colours, so that each depth's packing is written down once (bit and nibble order as in
// the bitmap file layout: the most significant bits hold the leftmost pixel).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "platform/Gdi.h"

namespace platform {

// Colours inside the drawing code: bytes blue, green, red as one little-endian word
// (0x00RRGGBB), the layout of a 32-bit pixel.
using Bgr = uint32_t;
inline constexpr Bgr BgrMask = 0x00FFFFFF;
inline constexpr Bgr BgrWhite = 0x00FFFFFF;

constexpr Bgr ToBgr(COLORREF c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); }

struct PixelSurface {
  uint8_t* Top = nullptr;  // first byte of the top row
  ptrdiff_t RowStep = 0;   // bytes from one row to the row below; negative for bottom-up rows
  int32_t Width = 0;
  int32_t Height = 0;
  uint16_t BitsPerPixel = 0;
  // A monochrome bitmap (CreateBitmap): BitBlt converts colours to and from it with the
  // contexts' text and background colours. Its palette is black, white.
  bool Monochrome = false;
  uint16_t PaletteSize = 0;
  std::array<Bgr, 256> Palette{};  // fixed once the surface exists

  bool Empty() const { return Top == nullptr || Width < 1 || Height < 1; }
  uint8_t* Row(int32_t y) const { return Top + RowStep * y; }
  bool Indexed() const { return BitsPerPixel <= 8; }

  // The stored value nearest to a colour: the first closest palette entry, or the colour
  // packed into the pixel's bits.
  uint32_t ValueOf(Bgr colour) const;
  Bgr ColourOf(uint32_t value) const;
  // The colour as the surface stores it, read back.
  Bgr Quantise(Bgr colour) const { return ColourOf(ValueOf(colour)); }

  // n pixels of row y from column x, all inside the surface.
  void ReadValues(int32_t y, int32_t x, int32_t n, uint32_t* out) const;
  void ReadColours(int32_t y, int32_t x, int32_t n, Bgr* out) const;
  void WriteColours(int32_t y, int32_t x, int32_t n, const Bgr* in);
  // Columns x0..x1 (both included) of row y set to a stored value; clipped to the surface.
  void FillSpan(int32_t y, int64_t x0, int64_t x1, uint32_t value);

 private:
  uint32_t NearestEntry(Bgr colour) const;

  // Palette entries found for recent colours, by a hash of the colour: a search of 256
  // entries per pixel would dominate drawing into palette pictures. Keys with the top byte
  // set are empty.
  static constexpr int RecentBits = 6;
  mutable std::array<std::pair<Bgr, uint32_t>, 1 << RecentBits> Recent = [] {
    std::array<std::pair<Bgr, uint32_t>, 1 << RecentBits> empty;
    empty.fill({~Bgr{0}, 0});
    return empty;
  }();
};

}  // namespace platform
