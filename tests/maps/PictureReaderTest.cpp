// The picture readers on files made by the map library writer: every depth, tile rectangles
// inside, across and outside pictures whose sizes are not multiples of 256, and damaged files.
// Expected pixels come from the same small model that fed the writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "MapLibWriter.h"
#include "frame/Text.h"
#include "maps/Bitmap.h"
#include "maps/ChunkReader.h"
#include "maps/File.h"
#include "view/Rect.h"

namespace velmira {
namespace {

uint32_t AllOnes(int depth) { return depth == 24 ? 0xFFFFFFu : (1u << depth) - 1; }

// The model picture: a value for every pixel that differs between neighbours and tiles.
uint32_t Model(int32_t x, int32_t y, int depth) {
  uint32_t v = static_cast<uint32_t>(x * 7 + y * 13 + (x / 256) * 101 + (y / 256) * 37 + x * y);
  return v & AllOnes(depth);
}

// Pixel x of a packed row: below 8 bits the leftmost pixel in the high bits of its byte,
// above 8 bits little-endian bytes.
uint32_t PixelAt(const uint8_t* row, int32_t x, int depth) {
  if (depth < 8) return (row[x * depth / 8] >> (8 - depth - x * depth % 8)) & AllOnes(depth);
  uint32_t v = 0;
  for (int i = 0; i < depth / 8; ++i) v |= uint32_t{row[x * depth / 8 + i]} << (8 * i);
  return v;
}

void SetPixel(uint8_t* row, int32_t x, int depth, uint32_t v) {
  if (depth < 8) {
    const int shift = 8 - depth - x * depth % 8;
    uint8_t& b = row[x * depth / 8];
    b = static_cast<uint8_t>((b & ~(AllOnes(depth) << shift)) | v << shift);
    return;
  }
  for (int i = 0; i < depth / 8; ++i) row[x * depth / 8 + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Rows of the model, top-down, packed; bits after the last pixel of a row are ones.
std::vector<uint8_t> ModelRows(int32_t width, int32_t height, int depth, size_t* pitch) {
  *pitch = (static_cast<size_t>(width) * depth + 7) / 8;
  std::vector<uint8_t> rows(*pitch * height, 0xFF);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) SetPixel(&rows[*pitch * y], x, depth, Model(x, y, depth));
  }
  return rows;
}

maplib::PictureFormat Format(int32_t width, int32_t height, int depth) {
  maplib::PictureFormat f;
  f.Width = width, f.Height = height, f.BitsPerPixel = depth;
  for (uint32_t i = 0; i < (depth <= 8 ? (4u << depth) : 0); ++i) f.Palette.push_back(static_cast<uint8_t>(i * 3));
  return f;
}

class PictureReaderTest : public ::testing::Test {
 protected:
  std::string NewPath() {
    const auto name = "velmira_pic_" + std::to_string(::getpid()) + "_" + std::to_string(Made.size());
    return Made.emplace_back((std::filesystem::temp_directory_path() / name).string());
  }
  void TearDown() override {
    for (const auto& p : Made) std::remove(p.c_str());
  }
  // A file with one map (tiles) or icon (one stream) of the model picture; returns its path.
  std::string Write(const maplib::PictureFormat& f, bool map) {
    const std::string path = NewPath();
    size_t pitch;
    const auto rows = ModelRows(f.Width, f.Height, f.BitsPerPixel, &pitch);
    maplib::MapLibWriter w;
    maplib::MapFields record;
    record.Width = f.Width;
    record.Height = f.Height;
    bool ok = w.Create(path);
    if (!map) ok = ok && w.AddIcon(maplib::MakeIconRecord({"i", "", f.Width, f.Height}), f, rows.data(), pitch);
    if (map) ok = ok && w.BeginMap(maplib::MakeMapRecord(record), f);
    for (int32_t y = 0; map && y < f.Height; y += 100) {  // uneven pieces: bands fill across calls
      ok = ok && w.AddRows(&rows[pitch * y], pitch, std::min(f.Height - y, 100));
    }
    ok = ok && (!map || w.EndMap());
    EXPECT_TRUE(w.Close() && ok) << w.ErrorText();
    return path;
  }
  std::string WriteMap(int32_t width, int32_t height, int depth) { return Write(Format(width, height, depth), true); }
  // Opens path and moves past the file header chunk and the record chunk, to the picture.
  Ref<File> AtPicture(const std::string& path) {
    auto f = MakeRef<File>();
    Text name(path.c_str());
    f->Open(name, File::ReadMode);
    ChunkReader r;
    r.SkipChunk(*f);
    r.SkipChunk(*f);
    return f;
  }
  // Offsets of a map file's data chunks, walked header by header.
  std::vector<size_t> DataChunks(const std::string& path) {
    auto f = AtPicture(path);
    ChunkReader r;
    r.SkipChunk(*f);
    r.SkipChunk(*f);
    std::vector<size_t> offsets;
    for (; !f->AtEnd() && offsets.size() < 100; r.SkipChunk(*f)) offsets.push_back(f->Tell());
    return offsets;
  }
  static std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Put(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<std::string> Made;
};

// Compares a decoded region with the model: tile (needed.left, needed.top) is its bottom-left
// tile, the picture's top edge is the top of tile row T - 1, and all else is all ones.
void ExpectRegion(const Bitmap& b, const Rect& needed, int32_t width, int32_t height, int depth) {
  const int32_t tileRows = (height + 255) / 256;
  ASSERT_EQ(std::make_pair(b.Width(), b.Height()), std::make_pair(needed.Width * 256, needed.Height * 256));
  for (int32_t ry = 0, bad = 0; ry < b.Height() && bad < 5; ++ry) {
    const int32_t tileRow = needed.Top + needed.Height - 1 - ry / 256;
    const int32_t y = (tileRows - 1 - tileRow) * 256 + ry % 256;
    const uint8_t* row = b.Row(b.Height() - 1 - ry);
    for (int32_t rx = 0; rx < b.Width() && bad < 5; ++rx) {
      const int32_t x = needed.Left * 256 + rx;
      const bool inside = x >= 0 && x < width && y >= 0 && y < height;
      const uint32_t want = inside ? Model(x, y, depth) : AllOnes(depth);
      const uint32_t got = PixelAt(row, rx, depth);
      if (got != want && ++bad) ADD_FAILURE() << "region (" << rx << ", " << ry << ") = map (" << x << ", " << y << "): " << got << ", want " << want;
    }
  }
}

TEST_F(PictureReaderTest, TilesOfEveryDepthInsideAcrossAndOutsideThePicture) {
  const int32_t width = 600, height = 300;  // 3 x 2 tiles, both edges padded
  const Rect all(0, 0, 3, 2);
  const Rect neededs[] = {
      {0, 0, 3, 2},    // the whole picture
      {1, 1, 1, 1},    // one tile inside: skips below and to the left
      {0, 0, 1, 1},    // skips to the right
      {2, 0, 1, 1},    // the padded bottom-right tile
      {-1, -1, 5, 4},  // beyond every side
      {5, 0, 2, 2},    // right of the picture, in its rows
      {0, 3, 1, 1},    // above it
      {-3, -2, 2, 1},  // below and to the left
  };
  for (int depth : {1, 4, 8, 16, 24}) {
    const std::string path = WriteMap(width, height, depth);
    const auto offsets = DataChunks(path);
    ASSERT_EQ(offsets.size(), 6u);
    for (const Rect& needed : neededs) {
      SCOPED_TRACE(testing::Message() << "depth " << depth << " needed " << needed.Left << ","
                                      << needed.Top << " " << needed.Width << "x" << needed.Height);
      auto file = AtPicture(path);
      Bitmap b;
      b.ReadTiles(*file, needed, all);
      ASSERT_FALSE(b.GetError().Failed()) << b.GetError().Message;
      EXPECT_EQ(b.BitsPerPixel(), depth);
      if (depth <= 8) {
        EXPECT_EQ(b.Palette()[4 * 1 + 2], 18);  // palette entry 1, red, as written
      }
      ExpectRegion(b, needed, width, height, depth);
      // Inside the picture: exactly the needed tiles and the rest of their rows were read.
      const size_t next = static_cast<size_t>(needed.Top + needed.Height) * 3;
      if (needed.Left >= 0 && needed.Top >= 0 && next <= 6 && needed.Left + needed.Width <= 3) {
        EXPECT_EQ(file->Tell(), next < 6 ? offsets[next] : Bytes(path).size());
      }
    }
  }
}

TEST_F(PictureReaderTest, WholePicturesWithAndWithoutTransparency) {
  for (int depth : {1, 4, 8, 16, 24}) {
    SCOPED_TRACE(depth);
    auto f = Format(37, 11, depth);
    f.WithTransparency = depth == 8;
    f.Transparent = 1;
    f.TransparentIndex = 5;
    auto file = AtPicture(Write(f, false));
    Bitmap b;
    b.ReadPicture(*file);
    ASSERT_FALSE(b.GetError().Failed());
    ASSERT_EQ(b.Width(), 37);
    ASSERT_EQ(b.Height(), 11);
    EXPECT_EQ(b.Transparent(), depth == 8 ? 1u : 0u);
    EXPECT_EQ(b.TransparentIndex(), depth == 8 ? 5u : 0u);
    for (int32_t y = 0; y < 11; ++y) {
      for (int32_t x = 0; x < 37; ++x) {
        ASSERT_EQ(PixelAt(b.Row(10 - y), x, depth), Model(x, y, depth)) << x << "," << y;
      }
    }
    EXPECT_TRUE(file->AtEnd());
  }
}

// Byte offsets in an icon file: header chunk 12 bytes, icon chunk 74.
constexpr size_t PictureAt = 12 + 8 + 66;

// Damaged icon pictures and map tiles: the expected error, and for icons, that every pixel is
// the model's or all ones (never uninitialised) and whether the whole picture came out.
TEST_F(PictureReaderTest, DamagedPicturesAndTiles) {
  const std::vector<uint8_t> icon = Bytes(Write(Format(40, 30, 8), false));
  const std::string mapPath = WriteMap(300, 300, 24);  // 2 x 2 tiles; tile (1, 1) is read
  const std::vector<uint8_t> map = Bytes(mapPath);
  const auto at = DataChunks(mapPath);
  ASSERT_EQ(at.size(), 4u);
  const size_t paletteAt = PictureAt + 8 + 40, dataAt = paletteAt + 8 + 1024;
  auto with = [](std::vector<uint8_t> out, size_t offset, std::vector<uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<long>(offset));
    return out;
  };
  auto cut = [](std::vector<uint8_t> out, size_t size) { out.resize(size); return out; };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int16_t code;
    bool decoded;  // icons: the whole picture came out right
    bool tile = false;
  };
  const Case cases[] = {
      {"intact", icon, 0, true},
      {"wrong header tag", with(icon, PictureAt, {'X'}), 10013, false},
      {"header chunk shorter than 40 bytes", with(icon, PictureAt + 4, {39}), 10013, false},
      {"negative header size", with(icon, PictureAt + 4, {0xF0, 0xFF, 0xFF, 0xFF}), 10013, false},
      {"zero width", with(icon, PictureAt + 8 + 4, {0, 0, 0, 0}), 10013, false},
      {"negative height", with(icon, PictureAt + 8 + 8, {0xFE, 0xFF, 0xFF, 0xFF}), 10013, false},
      {"depth 3", with(icon, PictureAt + 8 + 14, {3}), 10013, false},
      {"depth 0x1008", with(icon, PictureAt + 8 + 14, {8, 0x10}), 10013, false},
      {"absurd size", with(icon, PictureAt + 8 + 4, {0, 0, 1, 0, 0, 0, 1, 0}), 10012, false},
      {"palette of 300 colours", with(icon, PictureAt + 8 + 32, {0x2C, 1}), 10013, false},
      {"wrong palette tag", with(icon, paletteAt, {'X'}), 10013, false},
      {"palette chunk too short", with(icon, paletteAt + 4, {0, 3}), 10013, false},
      {"wrong data tag", with(icon, dataAt, {'X'}), 10013, false},
      {"cut in the header", cut(icon, PictureAt + 20), 10013, false},
      {"cut before the data", cut(icon, dataAt), 10013, false},
      {"cut in the stream", cut(icon, dataAt + 8 + 40), 0, false},
      {"corrupt stream", with(icon, dataAt + 8, {0x12, 0x34, 0x56}), 0, false},
      {"data size far beyond the file", with(icon, dataAt + 4, {0xFF, 0xFF, 0xFF, 0x7F}), 0, true},
      {"cut stream whose size reaches past the end", cut(with(icon, dataAt + 4, {0, 0, 1}), dataAt + 48), 0, false},
      {"negative data size", with(icon, dataAt + 4, {0, 0, 0, 0x80}), 0, false},
      {"needed tile with another tag", with(map, at[3], {'X'}), 10013, false, true},
      {"skipped tile with another tag: passed over", with(map, at[2], {'X'}), 0, false, true},
      {"negative size of a skipped tile", with(map, at[0] + 4, {0, 0, 0, 0x80}), 10013, false, true},
      {"huge size of a skipped tile", with(map, at[0] + 4, {0xFF, 0xFF, 0xFF, 0x7F}), 10013, false, true},
      {"file ends inside the needed tile", cut(map, at[3] + 20), 0, false, true},
      {"file ends before it", cut(map, at[3]), 10013, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = NewPath();
    Put(path, c.bytes);
    auto file = AtPicture(path);
    Bitmap b;
    c.tile ? b.ReadTiles(*file, Rect(1, 1, 1, 1), Rect(0, 0, 2, 2)) : b.ReadPicture(*file);
    EXPECT_EQ(b.GetError().Code, c.code);
    if (c.tile || b.Pixels() == nullptr) continue;
    bool all = true;
    for (int32_t y = 0; y < 30; ++y) {
      for (int32_t x = 0; x < 40; ++x) {
        const uint32_t got = PixelAt(b.Row(29 - y), x, 8);
        all = all && got == Model(x, y, 8);
        if (got != Model(x, y, 8)) { ASSERT_EQ(got, 255u) << x << "," << y; }
      }
    }
    EXPECT_EQ(all, c.decoded);
  }
}

// Records at the offsets the file format gives them, and the writer's refusals.
TEST(MapLibWriter, RecordOffsetsAndRefusals) {
  maplib::MapFields m;
  m.Name = "a name longer than fifteen";
  m.Width = 0x01020304;
  m.Zone = "32U";
  m.VPerY = -1.5;
  const auto r = maplib::MakeMapRecord(m);
  double vPerY;
  std::memcpy(&vPerY, &r[122], 8);
  EXPECT_EQ(std::vector<int>({r[0], r[8], r[10 + 14], r[10 + 15], r[58], r[61], r[70], r[131]}),
            std::vector<int>({1, 1, 't', 0, 4, 1, '3', 1}));  // versions, name cut to 15, width, zone, tile width 256
  EXPECT_EQ(vPerY, -1.5);

  const std::string path = (std::filesystem::temp_directory_path() /
                            ("velmira_writer_" + std::to_string(::getpid()))).string();
  std::vector<uint8_t> rows(30 * 6);
  struct Case {
    const char* name;
    maplib::PictureFormat format;
    int32_t rows;  // given before EndMap
  };
  const Case cases[] = {{"zero height", Format(10, 0, 24), 0}, {"depth 32", Format(10, 5, 32), 5},
                        {"a row too many", Format(10, 5, 24), 6}, {"a row short", Format(10, 5, 24), 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    maplib::MapLibWriter w;
    ASSERT_TRUE(w.Create(path));
    const bool ok = w.BeginMap(r, c.format) && w.AddRows(rows.data(), 30, c.rows) && w.EndMap();
    EXPECT_FALSE(ok);
    EXPECT_FALSE(w.Close());
    EXPECT_FALSE(w.ErrorText().empty());
  }
  std::remove(path.c_str());
  maplib::MapLibWriter w;
  EXPECT_FALSE(w.Create("/nonexistent-folder/x"));
}

}  // namespace
}  // namespace velmira
