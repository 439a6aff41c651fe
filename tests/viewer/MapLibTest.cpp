// Reading map library files: damaged and hostile files, and every truncation of a good file
// against a small model of the chunk loop (files cut short are its part); lookups by name in
// libraries of many entries against a walk over the list.
#include <gtest/gtest.h>

#include <fstream>

#include "support/MapFiles.h"
#include "view/MapLib.h"
#include "view/Viewer.h"

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

std::string NameOf(Map* map) { return Ref<Text>::Adopt(map->GetName())->Chars(); }

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
  maplib::MapFields hugeFields = SmallMap("huge", INT32_MAX, INT32_MAX);
  hugeFields.TileWidth = hugeFields.TileHeight = 32767;
  const auto hugeRecord = maplib::MakeMapRecord(hugeFields);
  const Bytes huge = Chunk("MAPH", maplib::MapRecordSize, Bytes(hugeRecord.begin(), hugeRecord.end()));
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
      {"map record of 2^31 - 1 pixels a side and 32767-pixel tiles", Join({Header(), huge, m2}), 0, {"huge", "m2"}},
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


// A map or icon chunk holding the record alone, as a hostile file of many entries would.
Bytes RecordOnly(bool map, const std::string& name) {
  const auto m = maplib::MakeMapRecord(SmallMap(name, 256, 256));
  const auto i = maplib::MakeIconRecord({name, "", 8, 8});
  return map ? Chunk("MAPH", 134, Bytes(m.begin(), m.end())) : Chunk("ICOH", 66, Bytes(i.begin(), i.end()));
}

// Lookups by name after every step of a table, against the list walked from its start: the
// first entry of that name, none for an empty name. Names repeat, so a lookup that found a
// later duplicate, or that kept answering with a removed map, shows.
TEST(MapLibLookups, ManyEntriesAnswerAsAWalkOverTheListWould) {
  constexpr int Entries = 5000;
  auto nameOf = [](int i) { return i % 997 == 0 ? std::string() : "n" + std::to_string(i % (Entries / 2)); };
  Bytes file = Header();
  for (int i = 0; i < 2 * Entries; ++i) {
    const Bytes chunk = RecordOnly(i % 2 == 0, nameOf(i / 2));
    file.insert(file.end(), chunk.begin(), chunk.end());
  }
  TempFiles files;
  Ref<MapLib> lib = OpenLibrary(files.Write(file));
  ASSERT_EQ(lib->GetError().Code, 0);
  std::vector<Ref<Map>> maps;  // the model: the list in order
  while (Ref<Map> map = lib->GetMapByIndex(static_cast<int32_t>(maps.size()) + 1)) maps.push_back(map);
  ASSERT_EQ(maps.size(), size_t{Entries});
  auto walk = [&](const std::string& name) {
    auto at = std::find_if(maps.begin(), maps.end(), [&](const Ref<Map>& m) { return !name.empty() && NameOf(m.Get()) == name; });
    return at == maps.end() ? nullptr : at->Get();
  };
  auto firstIcon = [&](const std::string& name) {  // icons keep the file's order: none is removed
    int i = 0;
    while (i < Entries && (name.empty() || nameOf(i) != name)) ++i;
    return lib->GetIconByIndex(i + 1);  // none past the end
  };
  enum Op { Find, Remove, Add };
  const struct { Op op; std::string name; int16_t code; } steps[] = {
      {Find, "n1", 0}, {Find, "n2499", 0}, {Find, "n2500", 0}, {Find, "", 0}, {Find, "n0", 0},
      {Remove, "n1", 0}, {Find, "n1", 0},  // the second map of the name answers now
      {Remove, "n1", 0}, {Find, "n1", 0},  // none left
      {Add, "n1", 0}, {Find, "n1", 0},     // the new map at the end
      {Add, "n2", errors::InvalidArgument}, {Add, "", 0}, {Find, "", 0}, {Remove, "n5", 0}, {Find, "n5", 0}};
  for (const auto& step : steps) {
    SCOPED_TRACE(std::to_string(&step - steps) + " " + step.name);
    const Text name(step.name.c_str());
    if (step.op == Remove) {
      Map* first = walk(step.name);
      ASSERT_NE(first, nullptr);
      lib->RemoveMap(first);
      maps.erase(std::find_if(maps.begin(), maps.end(), [&](const Ref<Map>& m) { return m.Get() == first; }));
    } else if (step.op == Add) {
      Ref<Map> added = lib->NewMap(*MakeRef<Text>(step.name.c_str()));
      if (added) maps.push_back(added);
      EXPECT_EQ(bool(added), step.code == 0);
    } else {
      EXPECT_EQ(lib->GetMapByName(name).Get(), walk(step.name));
      EXPECT_EQ(lib->FindIcon(name).Get(), firstIcon(step.name).Get());
    }
    EXPECT_EQ(lib->GetError().Code, step.code);
    EXPECT_EQ(lib->GetMapCount(), static_cast<int32_t>(maps.size()));
  }
}

// Icons are refused past 4096 pixels a side, from the picture's header alone: a file of a few
// bytes may claim a picture of hundreds of megabytes. A refused icon is not placed.
TEST(MapLibLookups, IconsPastTheSizeLimitAreRefused) {
  const auto record = maplib::MakeIconRecord({"claims", "", 16000, 16000});
  Bytes info(40, 0);
  for (auto [at, value] : {std::pair{0, 40}, {4, 16000}, {8, 16000}, {12, 1 | 24 << 16}}) {
    for (int i = 0; i < 4; ++i) info[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  const Bytes claims = Join({Chunk("ICOH", 66, Bytes(record.begin(), record.end())), Chunk("PICH", 40, info), Chunk("PICP", 0),
                             Chunk("PICD", 8, {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01})});
  const struct { const char* name; int32_t width, height; int16_t code; } rows[] = {
      {"wide", 4096, 2, 0}, {"wider", 4097, 2, errors::Memory}, {"high", 2, 4096, 0},
      {"higher", 2, 4097, errors::Memory}, {"claims", 16000, 16000, errors::Memory}};
  Bytes file = Join({Header(), MapChunks(SmallMap("m", 10, 10), 1), claims});
  for (const auto& row : rows) {
    if (row.width < 16000) file = Join({file, IconChunks(row.name, row.width, row.height, false)});
  }
  TempFiles files;
  auto viewer = MakeRef<Viewer>();
  viewer->Open(MakeRef<Text>(files.Write(file).c_str()).Get());
  ASSERT_EQ(viewer->GetError().Code, 0);
  int32_t placed = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Ref<Icon> icon = viewer->NewIcon(Text(row.name));
    EXPECT_EQ(viewer->GetError().Code, row.code);
    ASSERT_EQ(bool(icon), row.code == 0);
    if (!icon) continue;
    ++placed;
    EXPECT_EQ(std::pair(icon->GetImage()->Width(), icon->GetImage()->Height()), std::pair(row.width, row.height));
  }
  EXPECT_TRUE(viewer->GetByIndex(placed) && !viewer->GetByIndex(placed + 1)) << "refused icons are not in the layer";
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
