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

uint32_t PixelAt(const uint8_t* row, int32_t x, int depth) {
  switch (depth) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15;
    case 8: return row[x];
    case 16: return row[2 * x] | row[2 * x + 1] << 8;
    default: return row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
  }
}

void SetPixel(uint8_t* row, int32_t x, int depth, uint32_t v) {
  switch (depth) {
    case 1: row[x / 8] = static_cast<uint8_t>((row[x / 8] & ~(0x80 >> x % 8)) | v << (7 - x % 8)); break;
    case 4: row[x / 2] = static_cast<uint8_t>(x % 2 == 0 ? (row[x / 2] & 15) | v << 4 : (row[x / 2] & 0xF0) | v); break;
    case 8: row[x] = static_cast<uint8_t>(v); break;
    case 16: row[2 * x] = static_cast<uint8_t>(v); row[2 * x + 1] = static_cast<uint8_t>(v >> 8); break;
    default: for (int i = 0; i < 3; ++i) row[3 * x + i] = static_cast<uint8_t>(v >> (8 * i));
  }
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
  f.Width = width;
  f.Height = height;
  f.BitsPerPixel = depth;
  f.Palette.assign(depth <= 8 ? (4u << depth) : 0, 0);
  for (size_t i = 0; i < f.Palette.size(); ++i) f.Palette[i] = static_cast<uint8_t>(i * 3);
  return f;
}

class PictureReaderTest : public ::testing::Test {
 protected:
  std::string NewPath() {
    std::string p = (std::filesystem::temp_directory_path() /
                     ("velmira_pic_" + std::to_string(::getpid()) + "_" + std::to_string(Made.size())))
                        .string();
    Made.push_back(p);
    return p;
  }
  void TearDown() override {
    for (const auto& p : Made) std::remove(p.c_str());
  }
  // A file with one map of the model picture; returns its path.
  std::string WriteMap(int32_t width, int32_t height, int depth) {
    std::string path = NewPath();
    maplib::MapLibWriter w;
    size_t pitch;
    auto rows = ModelRows(width, height, depth, &pitch);
    EXPECT_TRUE(w.Create(path));
    maplib::MapFields record;
    record.Width = width;
    record.Height = height;
    EXPECT_TRUE(w.BeginMap(maplib::MakeMapRecord(record), Format(width, height, depth)));
    // In uneven pieces, so bands fill across calls.
    for (int32_t y = 0; y < height;) {
      int32_t n = std::min(height - y, 100);
      EXPECT_TRUE(w.AddRows(&rows[pitch * y], pitch, n));
      y += n;
    }
    EXPECT_TRUE(w.EndMap());
    EXPECT_TRUE(w.Close()) << w.ErrorText();
    return path;
  }
  std::string WriteIcon(const maplib::PictureFormat& f) {
    std::string path = NewPath();
    maplib::MapLibWriter w;
    size_t pitch;
    auto rows = ModelRows(f.Width, f.Height, f.BitsPerPixel, &pitch);
    EXPECT_TRUE(w.Create(path));
    EXPECT_TRUE(w.AddIcon(maplib::MakeIconRecord({"i", "", f.Width, f.Height}), f, rows.data(), pitch));
    EXPECT_TRUE(w.Close()) << w.ErrorText();
    return path;
  }
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
  ASSERT_EQ(b.Width(), needed.Width * 256);
  ASSERT_EQ(b.Height(), needed.Height * 256);
  int bad = 0;
  for (int32_t ry = 0; ry < b.Height() && bad < 5; ++ry) {
    const int32_t tileRow = needed.Top + needed.Height - 1 - ry / 256;
    const int32_t y = (tileRows - 1 - tileRow) * 256 + ry % 256;
    const uint8_t* row = b.Row(b.Height() - 1 - ry);
    for (int32_t rx = 0; rx < b.Width() && bad < 5; ++rx) {
      const int32_t x = needed.Left * 256 + rx;
      const bool inside = x >= 0 && x < width && y >= 0 && y < height;
      const uint32_t want = inside ? Model(x, y, depth) : AllOnes(depth);
      const uint32_t got = PixelAt(row, rx, depth);
      if (got != want) {
        ADD_FAILURE() << "region pixel (" << rx << ", " << ry << ") = map pixel (" << x << ", "
                      << y << "): " << got << ", want " << want;
        ++bad;
      }
    }
  }
}

TEST_F(PictureReaderTest, TilesOfEveryDepthInsideAcrossAndOutsideThePicture) {
  const int32_t width = 600, height = 300;  // 3 x 2 tiles, both edges padded
  const Rect all(0, 0, 3, 2);
  const Rect neededs[] = {
      {0, 0, 3, 2},    // the whole picture
      {1, 1, 1, 1},    // one tile inside: skips below and to the left and right
      {2, 0, 1, 1},    // the padded bottom-right tile
      {-1, -1, 5, 4},  // beyond every side
      {5, 0, 2, 2},    // right of the picture, in its rows
      {0, 3, 1, 1},    // above it
      {-3, -2, 2, 1},  // below and to the left
  };
  for (int depth : {1, 4, 8, 16, 24}) {
    const std::string path = WriteMap(width, height, depth);
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
    }
  }
}

TEST_F(PictureReaderTest, TilesInsideLeaveTheFileAtTheNextTileRow) {
  const std::string path = WriteMap(700, 1000, 8);  // 3 x 4 tiles
  // Offsets of every data chunk, walked by hand from the picture's start.
  auto file = AtPicture(path);
  ChunkReader r;
  r.SkipChunk(*file);
  r.SkipChunk(*file);
  std::vector<uint32_t> offsets;
  while (!file->AtEnd()) {
    offsets.push_back(file->Tell());
    ASSERT_TRUE(r.SkipChunk(*file));
  }
  ASSERT_EQ(offsets.size(), 12u);
  for (const Rect& needed : {Rect(1, 1, 1, 2), Rect(0, 0, 2, 1), Rect(2, 3, 1, 1)}) {
    auto f = AtPicture(path);
    Bitmap b;
    b.ReadTiles(*f, needed, Rect(0, 0, 3, 4));
    ASSERT_FALSE(b.GetError().Failed());
    const size_t next = static_cast<size_t>(needed.Top + needed.Height) * 3;
    EXPECT_EQ(f->Tell(), next < offsets.size() ? offsets[next] : Bytes(path).size());
  }
}

TEST_F(PictureReaderTest, WholePicturesWithAndWithoutTransparency) {
  for (int depth : {1, 4, 8, 16, 24}) {
    SCOPED_TRACE(depth);
    auto f = Format(37, 11, depth);
    f.WithTransparency = depth == 8;
    f.Transparent = 1;
    f.TransparentIndex = 5;
    auto file = AtPicture(WriteIcon(f));
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

// Byte offsets in an icon file made by WriteIcon: header chunk 12 bytes, icon chunk 74.
constexpr size_t PictureAt = 12 + 8 + 66;

TEST_F(PictureReaderTest, DamagedPictureChunks) {
  const auto f = Format(40, 30, 8);
  const std::vector<uint8_t> good = Bytes(WriteIcon(f));
  const size_t paletteAt = PictureAt + 8 + 40;
  const size_t dataAt = paletteAt + 8 + 1024;
  auto with = [&](size_t at, std::vector<uint8_t> bytes) {
    auto out = good;
    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<long>(at));
    return out;
  };
  auto cut = [&](size_t size) { return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(size)); };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int16_t code;
    bool decoded;  // the whole picture came out right
  };
  const Case cases[] = {
      {"intact", good, 0, true},
      {"wrong header tag", with(PictureAt, {'X'}), 10013, false},
      {"header chunk shorter than 40 bytes", with(PictureAt + 4, {39}), 10013, false},
      {"negative header size", with(PictureAt + 4, {0xF0, 0xFF, 0xFF, 0xFF}), 10013, false},
      {"zero width", with(PictureAt + 8 + 4, {0, 0, 0, 0}), 10013, false},
      {"negative height", with(PictureAt + 8 + 8, {0xFE, 0xFF, 0xFF, 0xFF}), 10013, false},
      {"depth 3", with(PictureAt + 8 + 14, {3}), 10013, false},
      {"depth 0x1008", with(PictureAt + 8 + 14, {8, 0x10}), 10013, false},
      {"absurd size", with(PictureAt + 8 + 4, {0, 0, 1, 0, 0, 0, 1, 0}), 10012, false},
      {"palette of 300 colours", with(PictureAt + 8 + 32, {0x2C, 1}), 10013, false},
      {"wrong palette tag", with(paletteAt, {'X'}), 10013, false},
      {"palette chunk too short", with(paletteAt + 4, {0, 3}), 10013, false},
      {"wrong data tag", with(dataAt, {'X'}), 10013, false},
      {"cut in the header", cut(PictureAt + 20), 10013, false},
      {"cut before the data", cut(dataAt), 10013, false},
      {"cut in the stream", cut(dataAt + 8 + 40), 0, false},
      {"corrupt stream", with(dataAt + 8, {0x12, 0x34, 0x56}), 0, false},
      {"data size beyond the file", with(dataAt + 4, {0xFF, 0xFF, 0xFF, 0x7F}), 0, true},
      {"negative data size", with(dataAt + 4, {0, 0, 0, 0x80}), 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = NewPath();
    Put(path, c.bytes);
    auto file = AtPicture(path);
    Bitmap b;
    b.ReadPicture(*file);
    EXPECT_EQ(b.GetError().Code, c.code);
    if (b.Pixels() == nullptr) continue;
    // Whatever the damage, every pixel is the model's or all ones: nothing uninitialised.
    bool all = true;
    for (int32_t y = 0; y < 30; ++y) {
      for (int32_t x = 0; x < 40; ++x) {
        uint32_t got = PixelAt(b.Row(29 - y), x, 8);
        if (got != Model(x, y, 8)) {
          all = false;
          ASSERT_EQ(got, 255u) << x << "," << y;
        }
      }
    }
    EXPECT_EQ(all, c.decoded);
  }
}

TEST_F(PictureReaderTest, DamagedTileChunks) {
  const std::string path = WriteMap(300, 300, 24);  // 2 x 2 tiles
  const std::vector<uint8_t> good = Bytes(path);
  // Offsets of the four data chunks.
  std::vector<size_t> at;
  {
    auto f = AtPicture(path);
    ChunkReader r;
    r.SkipChunk(*f);
    r.SkipChunk(*f);
    while (!f->AtEnd()) {
      at.push_back(f->Tell());
      r.SkipChunk(*f);
    }
  }
  ASSERT_EQ(at.size(), 4u);
  struct Case {
    const char* name;
    size_t offset;
    std::vector<uint8_t> bytes;
    size_t cut;  // 0: whole file
    int16_t code;
  };
  const Case cases[] = {
      {"needed tile with another tag", at[3], {'X'}, 0, 10013},
      {"skipped tile with another tag: passed over", at[2], {'X'}, 0, 0},
      {"negative size of a skipped tile", at[0] + 4, {0, 0, 0, 0x80}, 0, 10013},
      {"huge size of a skipped tile", at[0] + 4, {0xFF, 0xFF, 0xFF, 0x7F}, 0, 10013},
      {"file ends inside the last tile", 0, {}, at[3] + 20, 0},
      {"file ends between tiles", 0, {}, at[3], 10013},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bytes = good;
    std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + static_cast<long>(c.offset));
    if (c.cut != 0) bytes.resize(c.cut);
    const std::string damaged = NewPath();
    Put(damaged, bytes);
    auto file = AtPicture(damaged);
    Bitmap b;
    b.ReadTiles(*file, Rect(1, 1, 1, 1), Rect(0, 0, 2, 2));
    EXPECT_EQ(b.GetError().Code, c.code);
  }
}

}  // namespace
}  // namespace velmira

namespace velmira {
namespace {

// Records at the offsets the file format gives them, and the writer's refusals.
TEST(MapLibWriter, RecordOffsetsAndRefusals) {
  maplib::MapFields m;
  m.Name = "a name longer than fifteen";
  m.Width = 0x01020304;
  m.Grid = 7;
  m.Zone = "32U";
  m.VPerY = -1.5;
  const auto r = maplib::MakeMapRecord(m);
  EXPECT_EQ(r[0] | r[1] << 8, 1);    // major version
  EXPECT_EQ(r[8] | r[9] << 8, 1);    // the uint16 that new objects hold as 1
  EXPECT_EQ(r[10 + 14], 't');        // 15 characters kept ...
  EXPECT_EQ(r[10 + 15], 0);          // ... and the NUL
  EXPECT_EQ(r[58], 4);               // width, little-endian
  EXPECT_EQ(r[61], 1);
  EXPECT_EQ(r[68], 7);               // grid
  EXPECT_EQ(r[70], '3');             // zone
  double vPerY;
  std::memcpy(&vPerY, &r[122], 8);
  EXPECT_EQ(vPerY, -1.5);
  EXPECT_EQ(r[130] | r[131] << 8, 256);  // tile width

  const std::string path = (std::filesystem::temp_directory_path() /
                            ("velmira_writer_" + std::to_string(::getpid()))).string();
  auto picture = [](int32_t w, int32_t h, int depth) {
    maplib::PictureFormat f;
    f.Width = w;
    f.Height = h;
    f.BitsPerPixel = depth;
    return f;
  };
  std::vector<uint8_t> rows(3 * 10 * 20);
  {
    maplib::MapLibWriter w;
    ASSERT_TRUE(w.Create(path));
    EXPECT_FALSE(w.BeginMap(r, picture(10, 0, 24)));
    EXPECT_FALSE(w.Close());
  }
  {
    maplib::MapLibWriter w;
    ASSERT_TRUE(w.Create(path));
    EXPECT_FALSE(w.BeginMap(r, picture(10, 5, 32)));
  }
  {
    maplib::MapLibWriter w;
    ASSERT_TRUE(w.Create(path));
    ASSERT_TRUE(w.BeginMap(r, picture(10, 5, 24)));
    EXPECT_FALSE(w.AddRows(rows.data(), 30, 6));  // one row too many
  }
  {
    maplib::MapLibWriter w;
    ASSERT_TRUE(w.Create(path));
    ASSERT_TRUE(w.BeginMap(r, picture(10, 5, 24)));
    ASSERT_TRUE(w.AddRows(rows.data(), 30, 4));
    EXPECT_FALSE(w.EndMap());  // one row short
    EXPECT_FALSE(w.ErrorText().empty());
  }
  std::remove(path.c_str());
  maplib::MapLibWriter w;
  EXPECT_FALSE(w.Create("/nonexistent-folder/x"));
}

}  // namespace
}  // namespace velmira
