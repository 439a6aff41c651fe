// Reading map library files: damaged and hostile files, and every truncation of a good file
// against a small model of the chunk loop (files cut short are its part).
#include <gtest/gtest.h>

#include <fstream>

#include "maps/MapLib.h"
#include "support/MapFiles.h"

namespace velmira {
namespace {

using namespace testfiles;

constexpr int16_t FileError = errors::FileIo;

Ref<MapLib> OpenLibrary(const std::string& path) {
  auto lib = MakeRef<MapLib>();
  lib->Open(*MakeRef<Text>(path.c_str()));
  return lib;
}

// Map pixel (x, y) at zoom 1 as 0xRRGGBB: white where no tile could be read.
uint32_t PixelOf(Map& map, int32_t x, int32_t y) {
  Ref<Bitmap> picture = Ref<Bitmap>::Adopt(map.Render(*Ref<Rect>::Adopt(map.TileRect(0, 0, x + 1, y + 1))));
  const uint8_t* p = picture ? picture->Row(picture->Height() - 1 - y) + 3 * x : nullptr;
  return p ? uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 : 0;
}

// The names of the maps, then those of the icons after a slash.
std::vector<std::string> Names(MapLib& lib) {
  std::vector<std::string> names;
  for (int32_t i = 1; i <= lib.GetMapCount(); ++i) names.emplace_back(Ref<Text>::Adopt(lib.GetMapByIndex(i)->GetName())->Chars());
  for (int32_t i = 1; i <= lib.GetIconCount(); ++i) names.push_back(std::string("/") + lib.GetIconByIndex(i)->GetName().Chars());
  return names;
}

TEST(MapLibOpen, DamagedAndHostileFiles) {
  const Bytes m1 = MapChunks(SmallMap("m1", 300, 200), 1);
  const Bytes m2 = MapChunks(SmallMap("m2", 40, 30), 2);
  const Bytes pin = IconChunks("pin", 5, 5, true), flag = IconChunks("flag", 3, 4, false);
  Bytes record(maplib::MapRecordSize, 0);
  record[0] = 1;  // version 1.0
  struct Row { const char* name; Bytes file; int16_t code; std::vector<std::string> maps; } rows[] = {
      {"header only, padded", Header(1, 0, 40), 0, {}},
      {"other chunks between and around", Join({Header(), Chunk("JUNK", 3, {1, 2, 3}), m1, Chunk("PICD", 0), m2, Chunk("ZZZZ", 0)}), 0, {"m1", "m2"}},
      {"icons and maps in any order", Join({Header(), pin, m1, Chunk("JUNK", 1, {7}), flag, m2}), 0, {"m1", "m2", "/pin", "/flag"}},
      {"icon chunk too small for its record", Join({Header(), pin, m1, Chunk("ICOH", 10, Bytes(10, 1)), m2}), errors::FileFormat, {"m1", "/pin"}},
      {"first chunk is not the header", Join({Chunk("MAPH", 4, {1, 0, 0, 0}), m1}), errors::FileFormat, {}},
      {"header chunk too small for a version", Join({Chunk("KOLV", 0), m1}), errors::FileFormat, {}},
      {"header version 1.1", Join({Header(1, 1), m1}), errors::FileVersion, {}},
      {"second map record version 2.0", Join({Header(), m1, MapChunks(SmallMap("m2", 40, 30), 2, 2)}), errors::FileVersion, {"m1"}},
      {"negative chunk size", Join({Header(), m1, Chunk("JUNK", -8), m2}), errors::FileFormat, {"m1"}},
      {"map chunk too small for its record", Join({Header(), m1, Chunk("MAPH", 0), m2}), errors::FileFormat, {"m1"}},
      {"chunk size at the end of the size range", Join({Header(), m1, Chunk("JUNK", 0x7FFFFFFF, {1, 2})}), 0, {"m1"}},
      {"map chunk size past the end of the file", Join({Header(), Chunk("MAPH", 0x7FFFFFF0, record)}), 0, {""}},
  };
  TempFiles files;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Ref<MapLib> lib = OpenLibrary(files.Write(row.file));
    EXPECT_EQ(lib->GetError().Code, row.code);
    EXPECT_EQ(lib->HasFile(), row.code == 0);
    EXPECT_EQ(Names(*lib), row.maps);
    // Maps read before an error read their tiles through their own reference to the file.
    if (row.maps.empty() || row.maps[0] != "m1") continue;
    EXPECT_EQ(PixelOf(*lib->GetMapByIndex(1), 299, 199), MapColour(1, 299, 199));
  }
  Ref<MapLib> missing = OpenLibrary(files.Write({}) + "_missing");
  EXPECT_EQ(missing->GetError().Code, 2) << "the platform's number for a missing file";
  EXPECT_STREQ(missing->GetError().Message, errors::FileOpenFailed);
}

// The chunk loop as a model over the chunks of the whole file, for the first `length` bytes:
// the error code and the number of maps read.
std::pair<int16_t, int32_t> ModelOpen(const Bytes& file, size_t length) {
  auto read32 = [&](size_t at) {
    return static_cast<int32_t>(file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t{file[at + 3]} << 24);
  };
  if (length < 12) return {FileError, 0};
  int32_t maps = 0;
  for (size_t at = 12; at < length;) {
    const int64_t left = static_cast<int64_t>(length - at) - 8;  // after the chunk's tag and size
    if (left < 0) return {FileError, maps};
    const uint32_t tag = static_cast<uint32_t>(read32(at));
    const int64_t size = read32(at + 4);
    const bool map = tag == maplib::Tag("MAPH");
    if (map || tag == maplib::Tag("ICOH")) {
      if (left < static_cast<int64_t>(map ? maplib::MapRecordSize : maplib::IconRecordSize)) return {FileError, maps};
      maps += map;
    } else if (size > left) {
      break;
    }
    at += 8 + static_cast<size_t>(size);
  }
  return {0, maps};
}

TEST(MapLibOpen, EveryTruncationMatchesTheChunkLoopModel) {
  const Bytes file = Join({Header(), MapChunks(SmallMap("a", 20, 10), 1), Chunk("JUNK", 5, {9, 9, 9, 9, 9}),
                           IconChunks("i", 4, 4, true), MapChunks(SmallMap("b", 10, 20), 2)});
  TempFiles files;
  for (size_t length = 0; length <= file.size(); ++length) {
    Ref<MapLib> lib = OpenLibrary(files.Write(Bytes(file.begin(), file.begin() + static_cast<long>(length))));
    auto [code, maps] = ModelOpen(file, length);
    ASSERT_EQ(lib->GetError().Code, code) << "cut at " << length;
    ASSERT_EQ(lib->GetMapCount(), maps) << "cut at " << length;
  }
}

// Closing the library closes what it holds: a map still held elsewhere renders white.
TEST(MapLibOpen, ClosingTheLibraryClosesTheMapsItHeld) {
  TempFiles files;
  Ref<MapLib> lib = OpenLibrary(files.Write(Join({Header(), MapChunks(SmallMap("m1", 300, 200), 1)})));
  Ref<Map> map = lib->GetMapByIndex(1);
  lib.Reset();
  EXPECT_EQ(PixelOf(*map, 299, 199), 0xFFFFFFu);
}

// A library of more than 4 GiB, made sparse: the data of chunks the reader passes over are
// holes, so nothing near 4 GiB is written. The map's picture starts at 2^33 - 1, a position
// whose low half is all ones (the platform's failure value when read alone).
TEST(MapLibOpen, PicturesBeyondFourGiBAreFoundAndDrawn) {
  const int64_t mapChunkAt = (int64_t{1} << 33) - 1 - 8 - static_cast<int64_t>(maplib::MapRecordSize);
  TempFiles files;
  const std::string path = files.Write(Header());
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out | std::ios::ate);
  for (int64_t at = 12; at < mapChunkAt;) {
    const auto size = static_cast<int32_t>(std::min<int64_t>(0x7FFFFFF8, mapChunkAt - at - 8));
    out.write(reinterpret_cast<const char*>(Chunk("JUNK", size).data()), 8).seekp(size, std::ios::cur);
    at += 8 + int64_t{size};
  }
  const Bytes rest = Join({MapChunks(SmallMap("far", 300, 260), 1), IconChunks("pin", 5, 5, true)});
  ASSERT_EQ(static_cast<int64_t>(out.tellp()), mapChunkAt);
  ASSERT_TRUE(out.write(reinterpret_cast<const char*>(rest.data()), static_cast<std::streamsize>(rest.size())).flush().good());
  Ref<MapLib> lib = OpenLibrary(path);
  ASSERT_EQ(Names(*lib), (std::vector<std::string>{"far", "/pin"})) << lib->GetError().Message;
  for (auto [x, y] : {std::pair{0, 0}, {299, 259}, {256, 3}, {17, 257}}) {
    EXPECT_EQ(PixelOf(*lib->GetMapByIndex(1), x, y), MapColour(1, x, y)) << x << "," << y;
  }
  Bitmap* image = lib->FindIcon(*MakeRef<Text>("pin"))->GetImage();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Row(4)[3], IconIndex(3, 0));
}

}  // namespace
}  // namespace velmira
