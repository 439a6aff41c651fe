// The 134-byte map record as a map library file stores it: the 66 bytes that icon records
// share, then datum, grid, zone, the affine calibration and the tile size. Little-endian,
// packed; the struct is the file layout, so it is read and written as one block.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace velmira {

static_assert(std::endian::native == std::endian::little,
              "the record is the file's little-endian layout in memory");

struct __attribute__((packed)) MapRecord {
  static constexpr int NameSize = 16;
  static constexpr int ZoneSize = 12;

  uint16_t VersionMajor = 1;
  uint16_t VersionMinor = 0;
  uint8_t Unused4[4] = {};
  uint16_t Unused8 = 1;
  char Name[NameSize] = {};
  char SecondText[16] = {};  // meaningful for icons only
  uint8_t Unused42[16] = {};
  int32_t Width = 0;
  int32_t Height = 0;
  int16_t Datum = 0;
  int16_t Grid = 0;
  char Zone[ZoneSize] = {};
  // U = UPerX x + UPerY y + UOrigin, V = VPerX x + VPerY y + VOrigin for map pixel (x, y).
  double UOrigin = 0;
  double VOrigin = 0;
  double UPerX = 0;
  double UPerY = 0;
  double VPerX = 0;
  double VPerY = 0;
  int16_t TileWidth = 256;
  int16_t TileHeight = 256;

  // Text fields of a damaged file need not be terminated inside their field.
  static int FieldLength(const char* field, int size) {
    const void* end = std::memchr(field, 0, static_cast<size_t>(size));
    return end == nullptr ? size : static_cast<int>(static_cast<const char*>(end) - field);
  }
};

static_assert(sizeof(MapRecord) == 134);
static_assert(offsetof(MapRecord, Unused8) == 8);
static_assert(offsetof(MapRecord, Name) == 10);
static_assert(offsetof(MapRecord, SecondText) == 26);
static_assert(offsetof(MapRecord, Width) == 58);
static_assert(offsetof(MapRecord, Height) == 62);
static_assert(offsetof(MapRecord, Datum) == 66);
static_assert(offsetof(MapRecord, Grid) == 68);
static_assert(offsetof(MapRecord, Zone) == 70);
static_assert(offsetof(MapRecord, UOrigin) == 82);
static_assert(offsetof(MapRecord, VOrigin) == 90);
static_assert(offsetof(MapRecord, UPerX) == 98);
static_assert(offsetof(MapRecord, UPerY) == 106);
static_assert(offsetof(MapRecord, VPerX) == 114);
static_assert(offsetof(MapRecord, VPerY) == 122);
static_assert(offsetof(MapRecord, TileWidth) == 130);
static_assert(offsetof(MapRecord, TileHeight) == 132);

}  // namespace velmira
