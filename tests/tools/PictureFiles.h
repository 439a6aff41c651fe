// Test pictures for the map library tools: PNG files of every kind made with libpng from a
// deterministic pattern, the colour each pixel should become (a small model of the tools'
// conversion rules), and the library's own placing of positions.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "velmira/velmira.h"

namespace picturefiles {

struct Rgb {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const Rgb&) const = default;
  friend std::ostream& operator<<(std::ostream& o, const Rgb& c) { return o << int(c.R) << "," << int(c.G) << "," << int(c.B); }
};
inline constexpr Rgb White{255, 255, 255};

// Palette pictures (colour type 3) use `Colours` entries, the first half with tRNS alpha when
// `PaletteAlpha`; the other colour types take every sample from the pattern.
struct PngKind { int ColourType = 2, BitDepth = 8, Colours = 0; bool PaletteAlpha = false; int32_t Width = 0, Height = 0; };
void WritePng(const std::string& path, const PngKind& kind);
Rgb PaletteEntry(int index);  // before alpha
// The pixel's colour once stored: 16-bit samples scaled to 8 bits, small grey depths spread
// over 0..255, alpha composited over white.
Rgb Expected(const PngKind& kind, int32_t x, int32_t y);
// A PNG read whole as 8-bit RGB, rows top-down; empty when it cannot be read.
struct Picture {
  int32_t Width = 0, Height = 0;
  std::vector<Rgb> Pixels;
  bool Has(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
  Rgb At(int32_t x, int32_t y) const { return Pixels[size_t(y) * Width + x]; }
};
Picture ReadPng(const std::string& path);

std::string NewFolder(const std::string& name);               // empty, removed at exit; ends in '/'
std::vector<std::string> FilesIn(const std::string& folder);  // sorted names
// A viewer on the file, with map `map` active unless it is empty, for finding the pixel where
// the library puts a WGS 84 position (Pixel: view pixel; false when it cannot place it).
struct LibraryView {
  LibraryView(const std::string& file, const std::string& map);
  ~LibraryView() { Viewer_Delete(Viewer); }
  bool Pixel(double lat, double lon, int32_t& x, int32_t& y) const;
  VmViewer* Viewer;
};
// The map pixel of a position on map `map` of the file, at zoom 1.
inline bool Place(const std::string& file, const std::string& map, double lat, double lon, int32_t& x, int32_t& y) {
  return LibraryView(file, map).Pixel(lat, lon, x, y);
}

}  // namespace picturefiles
