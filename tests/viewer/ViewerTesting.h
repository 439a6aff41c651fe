// Helpers of the viewer's tests. Map library files are put together from pieces: the header
// chunk, maps and icons written by the map library writer, and raw chunks with any size, so
// damaged and hostile files are built the same way as good ones. Pictures follow small models
// that the tests predict pixels from.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "MapLibWriter.h"
#include "geo/Position.h"
#include "view/Viewer.h"

namespace velmira::testfiles {

using Bytes = std::vector<uint8_t>;

// Colour 0xRRGGBB of map pixel (x, y) of a map picture made with this seed: changes at every
// pixel, so a misplaced copy shows, and is never white, the colour outside pictures.
uint32_t MapColour(int seed, int32_t x, int32_t y);
// Icon pictures are 8-bit: the palette index of pixel (x, y) and the palette's colours.
// Index 0 is the key colour (magenta) that a transparent icon leaves out.
inline uint8_t IconIndex(int32_t x, int32_t y) { return static_cast<uint8_t>((x / 2 + y / 3) % 4); }
inline constexpr uint32_t IconPalette[4] = {0xFF00FF, 0xE01010, 0x1010E0, 0x000000};

// The header chunk 'KOLV'; size counts the version's 4 bytes and any padding after them.
Bytes Header(uint16_t major = 1, uint16_t minor = 0, int32_t size = 4);
// A chunk whose size field says size whatever data holds.
Bytes Chunk(const char (&tag)[5], int32_t size, const Bytes& data = {});
// A map chunk and its tiles; versionMajor patches the record's version.
Bytes MapChunks(const maplib::MapFields& fields, int seed, uint16_t versionMajor = 1);
// A small map calibrated in longitude and latitude on WGS 84, 1e-5 radians per pixel.
maplib::MapFields SmallMap(const std::string& name, int32_t width, int32_t height);
// An icon chunk and its picture; transparent: index 0 is the key colour.
Bytes IconChunks(const std::string& name, int32_t width, int32_t height, bool transparent);
Bytes Join(std::initializer_list<Bytes> parts);

// Files in the temporary directory, removed with the object.
struct TempFiles {
  ~TempFiles();
  std::string Write(const Bytes& content);
  std::vector<std::string> Paths;
};

// A position whose view pixel at zoom 1 without rotation is (x, y) on a SmallMap: the middle
// of the pixel, so that truncation cannot land on its neighbour.
inline Ref<Position> PositionAt(double x, double y) {
  auto position = MakeRef<Position>();
  position->SetLongitudeRads(0.1 + 1e-5 * (x + 0.5));
  position->SetLatitudeRads(0.9 - 1e-5 * (y + 0.5));
  return position;
}

// An overlay object the viewer made, as its own class.
template <class T>
Ref<T> As(Ref<MapObject> object) {
  return Ref<T>::Adopt(static_cast<T*>(object.Detach()));
}

inline Ref<Viewer> OpenViewer(TempFiles& files, const Bytes& content) {
  auto viewer = MakeRef<Viewer>();
  viewer->Open(MakeRef<Text>(files.Write(content).c_str()).Get());
  return viewer;
}

}  // namespace velmira::testfiles
