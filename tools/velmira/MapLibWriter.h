// Writes map library files: the chunks, the icon and map records, and pictures as the library
// reads them. Plain C++ and zlib; nothing of the library's internals.
//
// Chunks: a 4-byte tag and a signed 4-byte size (both little-endian), then size data bytes.
// Tags are four-character constants whose first character is the most significant byte, so
// the file holds the characters in reverse order ('MAPH' = 0x4D415048 is the bytes "HPAM").
//
// A file is: 'KOLV' (uint16 major 1, uint16 minor 0), then any number of
//   'ICOH' (icon record) followed by the icon's picture chunks, and
//   'MAPH' (map record) followed by the map's picture chunks.
// A picture is 'PICH' (40-byte BITMAPINFOHEADER, then uint32 transparent and uint32
// transparentIndex when wanted: size 48), 'PICP' (the palette: colourCount entries of blue,
// green, red, reserved) and 'PICD' chunks, each one zlib stream:
//   icons: one stream of the whole picture, rows bottom-up, each padded to a multiple of 4 bytes;
//   maps: one stream per 256 x 256 tile, the bottom tile row first and left to right within a
//   row; a tile is 256 rows of 256 x bitsPerPixel / 8 bytes, its bottom row first. The
//   picture's top edge is the top edge of the top tile row; tiles are padded with 0xFF bytes
//   beyond the picture's right edge and below its bottom edge.
// No chunk holds a file position: the reader finds each picture by walking the chunks, so a
// file may grow past 4 GiB while every chunk size stays 32-bit.
//
// Icon record (66 bytes, little-endian); the map record begins with the same 66 bytes:
//   0  uint16  major version (1)        2  uint16  minor version (0)
//   4  4 bytes not interpreted (0)      8  uint16  not interpreted (1)
//  10  char[16] name, NUL-terminated   26  char[16] second text, NUL-terminated
//  42  16 bytes not interpreted (0)    58  int32   width in pixels   62  int32  height
// Map record (134 bytes), continued:
//  66  int16 datum     68  int16 grid (0: longitude and latitude)   70  char[12] zone
//  82  double uOrigin  90  double vOrigin   98 double uPerX   106 double uPerY
// 114  double vPerX   122  double vPerY    130 int16 tileWidth (256)   132 int16 tileHeight (256)
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace maplib {

inline constexpr size_t IconRecordSize = 66;
inline constexpr size_t MapRecordSize = 134;
inline constexpr int32_t TileSize = 256;

constexpr uint32_t Tag(const char (&name)[5]) {
  return uint32_t{static_cast<uint8_t>(name[0])} << 24 |
         uint32_t{static_cast<uint8_t>(name[1])} << 16 |
         uint32_t{static_cast<uint8_t>(name[2])} << 8 | static_cast<uint8_t>(name[3]);
}

struct IconFields {
  std::string Name;        // at most 15 characters are kept
  std::string SecondText;  // at most 15 characters are kept
  int32_t Width = 0;
  int32_t Height = 0;
};
std::array<uint8_t, IconRecordSize> MakeIconRecord(const IconFields& fields);

// For callers without a library map at hand (tests, benchmarks): the map command takes its
// records from the library itself.
struct MapFields {
  std::string Name;
  int32_t Width = 0;
  int32_t Height = 0;
  int16_t Datum = 0;
  int16_t Grid = 0;
  std::string Zone;  // at most 11 characters are kept
  double UOrigin = 0, VOrigin = 0, UPerX = 0, UPerY = 0, VPerX = 0, VPerY = 0;
  int16_t TileWidth = TileSize;
  int16_t TileHeight = TileSize;
};
std::array<uint8_t, MapRecordSize> MakeMapRecord(const MapFields& fields);

struct PictureFormat {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitsPerPixel = 24;      // 1, 4, 8, 16 or 24
  std::vector<uint8_t> Palette;   // colourCount x 4 bytes: blue, green, red, reserved
  bool WithTransparency = false;  // a 48-byte header chunk with the two values below
  uint32_t Transparent = 0;
  uint32_t TransparentIndex = 0;
  int Level = -1;  // zlib compression level; -1 is zlib's default
};

class MapLibWriter {
 public:
  MapLibWriter() = default;
  MapLibWriter(const MapLibWriter&) = delete;
  MapLibWriter& operator=(const MapLibWriter&) = delete;
  ~MapLibWriter();

  // Each returns false after a failure, which ErrorText describes; later calls then fail too.
  // Creates (or truncates) path and writes the header chunk 'KOLV' 1.0.
  bool Create(const std::string& path);
  // A raw chunk: for chunk kinds the library passes over, and for damaged files in tests.
  bool WriteChunk(uint32_t tag, const void* data, size_t size);

  bool AddIcon(const std::array<uint8_t, IconRecordSize>& record, const PictureFormat& picture,
               const uint8_t* rowsTopDown, size_t pitch);

  // A map picture, streamed: BeginMap writes the map chunk, header and palette; AddRows takes
  // rows top-down (each at least (width x bitsPerPixel + 7) / 8 bytes, pitch bytes apart) and
  // compresses every finished row of tiles into a temporary file; EndMap, after exactly
  // height rows, writes the tiles bottom row first. Memory holds one row of tiles.
  bool BeginMap(const std::array<uint8_t, MapRecordSize>& record, const PictureFormat& picture);
  bool AddRows(const uint8_t* rowsTopDown, size_t pitch, int32_t count);
  bool EndMap();

  // Finishes the file; false if anything failed on the way.
  bool Close();
  const std::string& ErrorText() const { return Error; }

 private:
  struct TileSpan {
    uint64_t Offset;
    uint32_t Size;
  };
  bool Fail(const std::string& message);
  bool Put(const void* data, size_t size);
  bool WritePictureHead(const PictureFormat& picture);
  bool CompressBand();

  std::FILE* Out = nullptr;
  std::string Error;
  // The map being streamed.
  bool InMap = false;
  PictureFormat Picture;
  size_t RowBytes = 0;      // packed bytes of one picture row
  size_t TileRowBytes = 0;  // bytes of one tile row
  size_t BandPitch = 0;     // bytes of one row of the band: tiles across x TileRowBytes
  std::vector<uint8_t> Band;
  int32_t BandRows = 0;
  int32_t RowsTaken = 0;
  std::FILE* Spool = nullptr;          // compressed tiles, top tile row first
  std::vector<std::vector<TileSpan>> Bands;
  std::vector<uint8_t> Compressed;
};

}  // namespace maplib
