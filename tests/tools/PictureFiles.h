// Test pictures for the map library tools: PNG files of every kind made with libpng from a
// deterministic pattern, the colour each pixel should become (a small model of the tools'
// conversion rules), and a reader of map library files written from the format alone.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace picturefiles {

struct Rgb {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const Rgb&) const = default;
  friend std::ostream& operator<<(std::ostream& o, const Rgb& c) {
    return o << int(c.R) << "," << int(c.G) << "," << int(c.B);
  }
};
inline constexpr Rgb White{255, 255, 255};

// Palette pictures (colour type 3) use `Colours` entries, the first half with tRNS alpha when
// `PaletteAlpha`; the other colour types take every sample from the pattern.
struct PngKind {
  int ColourType = 2, BitDepth = 8, Colours = 0;
  bool PaletteAlpha = false;
  int32_t Width = 0, Height = 0;
};
void WritePng(const std::string& path, const PngKind& kind);
Rgb PaletteEntry(int index);  // before alpha
// The pixel's colour once stored: 16-bit samples scaled to 8 bits, small grey depths spread
// over 0..255, alpha composited over white.
Rgb Expected(const PngKind& kind, int32_t x, int32_t y);
// An 8-bit RGB PNG read whole, rows top-down; empty when it cannot be read.
std::vector<Rgb> ReadPng(const std::string& path, int32_t& width, int32_t& height);

// One map or icon of a map library file.
struct Entry {
  bool IsMap = false;
  std::string Name;
  int32_t Width = 0, Height = 0;  // from the record
  int Bits = 0;
  uint32_t Transparent = 0, TransparentIndex = 0;  // 0 without the 48-byte picture header
  std::vector<Rgb> Palette;
  std::vector<std::vector<uint8_t>> Data;  // the inflated data chunks
  // The raw value of pixel (x, y) from the top-left; for maps up to their tiles' edges.
  uint32_t Raw(int32_t x, int32_t y) const;
  Rgb Colour(int32_t x, int32_t y) const;
};
// The file's maps and icons; `problem` tells where the file departs from the format.
std::vector<Entry> ReadLibrary(const std::string& path, std::string& problem);

std::string NewFolder(const std::string& name);               // empty, removed at exit; ends in '/'
std::vector<std::string> FilesIn(const std::string& folder);  // sorted names
// The map pixel where the library's viewer puts a WGS 84 position on map `map` of the file.
bool Place(const std::string& file, const std::string& map, double lat, double lon, int32_t& x,
           int32_t& y);

}  // namespace picturefiles
