// Reading map library files: damaged and hostile files in one table, every truncation of a
// good file against a small model of the chunk loop, partial reads whose maps stay usable,
// and the lookups of maps and icons by index.
#include <gtest/gtest.h>

#include "ViewerTesting.h"
#include "maps/MapLib.h"

namespace velmira {
namespace {

using namespace testfiles;

constexpr int16_t FileError = errors::FileIo;
constexpr int32_t MapRecordBytes = 134;
constexpr int32_t IconRecordBytes = 66;

Ref<MapLib> OpenLibrary(const std::string& path) {
  auto lib = MakeRef<MapLib>();
  lib->Open(*MakeRef<Text>(path.c_str()));
  return lib;
}

// Whether the map at zoom 1 shows the model picture of `seed` (else it must be all white).
bool ShowsPicture(Map& map, int seed) {
  const int32_t w = map.Record().Width, h = map.Record().Height;
  Ref<Bitmap> picture = Ref<Bitmap>::Adopt(map.Render(*Ref<Rect>::Adopt(map.TileRect(0, 0, w, h))));
  int matches = 0, whites = 0;
  for (int32_t y = 0; picture && y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* p = picture->Row(picture->Height() - 1 - y) + 3 * x;
      const uint32_t c = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
      matches += c == MapColour(seed, x, y);
      whites += c == 0xFFFFFF;
    }
  }
  EXPECT_TRUE(matches == w * h || whites == w * h) << matches << " of " << w * h << " match";
  return matches == w * h;
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
  Bytes record(MapRecordBytes, 0);
  record[0] = 1;  // version 1.0
  struct Row { const char* name; Bytes file; int16_t code; std::vector<std::string> maps; } rows[] = {
      {"header only, padded", Header(1, 0, 40), 0, {}},
      {"two maps", Join({Header(), m1, m2}), 0, {"m1", "m2"}},
      {"other chunks between and around", Join({Header(), Chunk("JUNK", 3, {1, 2, 3}), m1, Chunk("PICD", 0), m2, Chunk("ZZZZ", 0)}), 0, {"m1", "m2"}},
      {"icons and maps in any order", Join({Header(), pin, m1, Chunk("JUNK", 1, {7}), flag, m2}), 0, {"m1", "m2", "/pin", "/flag"}},
      {"icon chunk too small for its record", Join({Header(), pin, m1, Chunk("ICOH", 10, Bytes(10, 1)), m2}), errors::FileFormat, {"m1", "/pin"}},
      {"empty file", {}, FileError, {}},
      {"first chunk is not the header", Join({Chunk("MAPH", 4, {1, 0, 0, 0}), m1}), errors::FileFormat, {}},
      {"header chunk too small for a version", Join({Chunk("KOLV", 0), m1}), errors::FileFormat, {}},
      {"header cut inside its size", Bytes{'V', 'L', 'O', 'K', 4, 0}, FileError, {}},
      {"header version 1.1", Join({Header(1, 1), m1}), errors::FileVersion, {}},
      {"second map record version 2.0", Join({Header(), m1, MapChunks(SmallMap("m2", 40, 30), 2, 2)}), errors::FileVersion, {"m1"}},
      {"negative chunk size", Join({Header(), m1, Chunk("JUNK", -8), m2}), errors::FileFormat, {"m1"}},
      {"map chunk too small for its record", Join({Header(), m1, Chunk("MAPH", 0), m2}), errors::FileFormat, {"m1"}},
      {"chunk size past the end of the file", Join({Header(), m1, Chunk("JUNK", 0x7FFFFFFF, {1, 2})}), 0, {"m1"}},
      {"map chunk size past the end of the file", Join({Header(), Chunk("MAPH", 0x7FFFFFF0, record)}), 0, {""}},
      {"map record cut short", Join({Header(), m1, Bytes(m2.begin(), m2.begin() + 108)}), FileError, {"m1"}},
      {"five stray bytes at the end", Join({Header(), m1, Bytes{1, 2, 3, 4, 5}}), FileError, {"m1"}},
  };
  TempFiles files;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Ref<MapLib> lib = OpenLibrary(files.Write(row.file));
    EXPECT_EQ(lib->GetError().Code, row.code);
    EXPECT_EQ(lib->HasFile(), row.code == 0);
    EXPECT_EQ(Names(*lib), row.maps);
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
    if (length - at < 8) return {FileError, maps};
    const uint32_t tag = static_cast<uint32_t>(read32(at));
    const int64_t size = read32(at + 4);
    if (tag == maplib::Tag("MAPH") || tag == maplib::Tag("ICOH")) {
      const bool map = tag == maplib::Tag("MAPH");
      if (static_cast<int64_t>(length - at - 8) < (map ? MapRecordBytes : IconRecordBytes)) return {FileError, maps};
      maps += map;
    } else if (size > static_cast<int64_t>(length - at - 8)) {
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

TEST(MapLibOpen, MapsReadBeforeAnErrorKeepTheFileUntilTheLibraryCloses) {
  TempFiles files;
  Ref<MapLib> lib = OpenLibrary(files.Write(Join({Header(), MapChunks(SmallMap("m1", 300, 200), 1), Chunk("JUNK", -1)})));
  ASSERT_EQ(lib->GetError().Code, errors::FileFormat);
  EXPECT_FALSE(lib->HasFile());
  Ref<Map> map = lib->GetMapByIndex(1);
  ASSERT_TRUE(map);
  EXPECT_TRUE(ShowsPicture(*map, 1)) << "the map reads its tiles through its own reference";

  // Closing the library closes what it holds: a map still held elsewhere renders white.
  lib = OpenLibrary(files.Write(Join({Header(), MapChunks(SmallMap("m1", 300, 200), 1)})));
  map = lib->GetMapByIndex(1);
  lib.Reset();
  EXPECT_FALSE(ShowsPicture(*map, 1));
}

}  // namespace
}  // namespace velmira
