// Test pictures for the map library tools: PNG files of every kind made with libpng from a
// deterministic pattern, the colour each pixel should become (a small model of the tools'
// conversion rules), what a built file stores, and the library's own placing of positions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/PngPicture.h"
#include "velmira/velmira.h"

namespace picturefiles {

using testsupport::Picture;
using testsupport::ReadPng;
using testsupport::Rgb;
using testsupport::White;

// Palette pictures (colour type 3) use `Colours` entries, the first half with tRNS alpha when
// `PaletteAlpha`; the other colour types take every sample from the pattern.
struct PngKind { int ColourType = 2, BitDepth = 8, Colours = 0; bool PaletteAlpha = false; int32_t Width = 0, Height = 0; };
void WritePng(const std::string& path, const PngKind& kind);
Rgb PaletteEntry(int index);  // before alpha
// The pixel's colour once stored: 16-bit samples scaled to 8 bits, small grey depths spread
// over 0..255, alpha composited over white.
Rgb Expected(const PngKind& kind, int32_t x, int32_t y);

std::string NewFolder(const std::string& name);               // empty, removed at exit; ends in '/'
std::vector<std::string> FilesIn(const std::string& folder);  // sorted names
// The bit depth of the first map's picture in a built file; -1 when the file is shorter.
int StoredDepth(const std::string& file);
// render's options for a view of width x height pixels centred on a position.
std::string ViewAt(double lat, double lon, int32_t width, int32_t height);
// A viewer on the file, with map `map` active unless it is empty, for finding the pixel where
// the library puts a position on a datum, WGS 84 unless named (Pixel: view pixel; false when
// it cannot place it).
struct LibraryView {
  LibraryView(const std::string& file, const std::string& map);
  ~LibraryView() { Viewer_Delete(Viewer); }
  bool Pixel(double lat, double lon, int32_t& x, int32_t& y, int16_t datum = 1) const;
  VmViewer* Viewer;
};
// The map pixel of a position on map `map` of the file, at zoom 1.
inline bool Place(const std::string& file, const std::string& map, double lat, double lon, int32_t& x, int32_t& y) {
  return LibraryView(file, map).Pixel(lat, lon, x, y);
}

}  // namespace picturefiles
