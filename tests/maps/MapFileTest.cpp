// Files and chunks; pictures and maps in files made by the map library writer, read against the
// small model that fed it (every depth, pictures not a multiple of 256, damaged files).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "MapLibWriter.h"
#include "frame/Rect.h"
#include "frame/Text.h"
#include "maps/Bitmap.h"
#include "maps/ChunkReader.h"
#include "maps/File.h"
#include "maps/Map.h"
#include "support/MapFiles.h"

namespace velmira {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t AllOnes(int depth) { return depth == 24 ? 0xFFFFFFu : (1u << depth) - 1; }

// The model picture: a value for every pixel that differs between neighbours and tiles.
uint32_t Model(int32_t x, int32_t y, int depth) {
  return static_cast<uint32_t>(x * 7 + y * 13 + (x / 256) * 101 + (y / 256) * 37 + x * y) & AllOnes(depth);
}

// Pixel x of a packed row: below 8 bits the leftmost pixel in the high bits of its byte,
// above 8 bits little-endian bytes.
uint32_t PixelAt(const uint8_t* row, int32_t x, int depth) {
  if (depth < 8) return (row[x * depth / 8] >> (8 - depth - x * depth % 8)) & AllOnes(depth);
  uint32_t v = 0;
  for (int i = 0; i < depth / 8; ++i) v |= uint32_t{row[x * depth / 8 + i]} << (8 * i);
  return v;
}

size_t Pitch(const maplib::PictureFormat& f) { return (static_cast<size_t>(f.Width) * f.BitsPerPixel + 7) / 8; }

// Rows of the model, top-down, packed, constant over blocks of block x block pixels when asked;
// bits after the last pixel of a row are ones.
Bytes ModelRows(const maplib::PictureFormat& f, int32_t block = 1) {
  const size_t pitch = Pitch(f);
  const int depth = f.BitsPerPixel;
  Bytes rows(pitch * f.Height, 0xFF);
  for (int32_t i = 0; i < f.Width * f.Height; ++i) {
    const int32_t x = i % f.Width, y = i / f.Width;
    uint8_t* p = &rows[pitch * y + x * depth / 8];
    const uint32_t v = Model(x / block, y / block, depth);
    const int shift = depth < 8 ? 8 - depth - x * depth % 8 : 0;  // below 8 bits: of the pixel in its byte
    if (depth < 8) *p = static_cast<uint8_t>((*p & ~(AllOnes(depth) << shift)) | v << shift);
    for (int k = 0; k < depth / 8; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
  }
  return rows;
}

maplib::PictureFormat Format(int32_t width, int32_t height, int depth) {
  maplib::PictureFormat f;
  f.Width = width, f.Height = height, f.BitsPerPixel = depth;
  for (uint32_t i = 0; i < (depth <= 8 ? (4u << depth) : 0); ++i) f.Palette.push_back(static_cast<uint8_t>(i * 3));
  return f;
}

class MapFileTest : public ::testing::Test {
 public:
  // A file with one map (tiles, rows given in uneven pieces) or icon (one stream) of the rows,
  // by default the packed model's.
  std::string Write(const maplib::PictureFormat& f, bool map, Bytes rows = {}, maplib::MapFields record = {}) {
    const std::string path = Files.Write({});
    const size_t pitch = Pitch(f);
    if (rows.empty()) rows = ModelRows(f);
    record.Width = f.Width, record.Height = f.Height;
    maplib::MapLibWriter w;
    bool ok = w.Create(path) && (map ? w.BeginMap(maplib::MakeMapRecord(record), f)
                                     : w.AddIcon(maplib::MakeIconRecord({"i", "", f.Width, f.Height}), f, rows.data(), pitch));
    for (int32_t y = 0; map && y < f.Height; y += 100) ok = ok && w.AddRows(&rows[pitch * y], pitch, std::min(f.Height - y, 100));
    EXPECT_TRUE((!map || w.EndMap()) && w.Close() && ok) << w.ErrorText();
    return path;
  }
  // Opens path and moves past `chunks` chunks: 2 to a picture, 1 to a map's record.
  static Ref<File> AtPicture(const std::string& path, int chunks = 2) {
    auto f = MakeRef<File>();
    Text name(path.c_str());
    f->Open(name, File::ReadMode);
    for (int i = 0; i < chunks; ++i) ChunkReader().SkipChunk(*f);
    return f;
  }
  static Bytes Read(const std::string& path) { return Bytes(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}); }
  static Bytes With(Bytes out, size_t offset, Bytes bytes) {
    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<long>(offset));
    return out;
  }
  testfiles::TempFiles Files;
};

// Chunk 'ABCD' (bytes "DCBA") of 3 data bytes, then a header cut after its tag and 2 size bytes.
const std::vector<uint8_t> TwoChunks = {'D', 'C', 'B', 'A', 3, 0, 0, 0, 7, 8, 9, 'Z', 'Y', 'X', 'W', 1, 0};

// Writes through File itself (mode 2) and opens the result for reading (mode 1).
Ref<File> Make(MapFileTest& t, const std::vector<uint8_t>& bytes) {
  Text path(t.Files.Write({}).c_str());
  auto f = MakeRef<File>();
  f->Open(path, File::WriteMode);
  EXPECT_EQ(f->Write(bytes.data(), static_cast<int32_t>(bytes.size())), static_cast<int32_t>(bytes.size()));
  f->Open(path, File::ReadMode);
  return f;
}

TEST_F(MapFileTest, FileAndChunkReadsAndMovesWithTheirErrors) {
  Text missing((::testing::TempDir() + "velmira_no_such_file").c_str());
  File f;
  f.Open(missing, File::ReadMode);
  EXPECT_TRUE(f.GetError().Code == 2 && !std::strcmp(f.GetError().Message, "Error opening, reading, writing or seeking file"));
  f.Open(missing, 7);  // unknown mode: nothing opened, nothing reported
  EXPECT_FALSE(f.GetError().Failed() || f.IsOpen());
  uint8_t buffer[32];
  EXPECT_TRUE(f.Read(buffer, 1) == 0 && f.GetError().Code == 10010);  // nor anything read from a file that is not open

  auto file = Make(*this, TwoChunks);
  EXPECT_EQ(file->Read(buffer, 4), 4);
  EXPECT_EQ(file->Seek(3, File::FromCurrent), 7u);
  EXPECT_EQ(file->Seek(-2, File::FromCurrent), 5u);
  // Refused origin and moves before the start: error, SeekFailed, position kept.
  for (auto [offset, origin] : {std::pair<int32_t, int16_t>{0, 2}, {-6, File::FromCurrent}, {-1, File::FromStart}}) {
    EXPECT_EQ(file->Seek(offset, origin), File::SeekFailed);
    EXPECT_TRUE(file->GetError().Code == 10010 && file->Tell() == 5u) << offset;
  }
  EXPECT_EQ(file->BytesLeft(), TwoChunks.size() - 5);
  EXPECT_EQ(file->Read(buffer, 32), static_cast<int32_t>(TwoChunks.size() - 5));
  EXPECT_TRUE(file->GetError().Code == 10010 && file->AtEnd());

  // Chunk headers: peeked, read and skipped.
  file = Make(*this, TwoChunks);
  ChunkReader reader;
  uint32_t tag = 0;
  int32_t size = -1;
  EXPECT_TRUE(reader.PeekHeader(*file, &tag, &size) && tag == ChunkTag("ABCD") && size == 3 && file->Tell() == 0u);
  EXPECT_TRUE(reader.SkipChunk(*file) && file->Tell() == 11u);
  // The cut header: the tag reads, the size read fails in the file only, and Peek returns to
  // where the header began.
  EXPECT_TRUE(reader.PeekHeader(*file, &tag, &size) && tag == ChunkTag("WXYZ") && file->Tell() == 11u);
  // At the end the tag read fails: the reader takes the error and the position stays.
  file->Seek(static_cast<int32_t>(TwoChunks.size()), File::FromStart);
  EXPECT_FALSE(reader.PeekHeader(*file, &tag, &size));
  EXPECT_TRUE(reader.GetError().Code == 10010 && file->Tell() == static_cast<int64_t>(TwoChunks.size()));
}

// Reads and moves against the file's own bytes: read sizes on both sides of the buffer's
// fills (4 KiB after a move, growing to 64 KiB), moves that stay inside the bytes held, step
// back before them or jump past the end, in a fixed walk over a 200 KiB file. Each step checks
// the count, the bytes, the error, the position and the bytes left.
TEST_F(MapFileTest, BufferedReadsAndMovesGiveTheFileBytes) {
  Bytes bytes(200 * 1024 + 17);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 131 + i / 251);
  Text path(Files.Write(bytes).c_str());
  File file;
  file.Open(path, File::ReadMode);
  const int64_t size = static_cast<int64_t>(bytes.size());
  struct Step {
    int16_t Origin;   // -1: no move
    int64_t Offset;
    int32_t Count;    // read after the move
  };
  const Step walk[] = {
      {-1, 0, 0},           {-1, 0, 1},          {-1, 0, 7},           {File::FromCurrent, -8, 8},
      {-1, 0, 4088},        {-1, 0, 16},         {File::FromCurrent, -16, 300},
      {File::FromCurrent, -300, 4096},           {-1, 0, 4097},        {-1, 0, 65535},
      {-1, 0, 65536},       {File::FromCurrent, -65536, 3},           {File::FromCurrent, -257, 257},
      {File::FromStart, 70000, 1},               {-1, 0, 8191},        {-1, 0, 8192},
      {File::FromCurrent, 1, 12000},             {File::FromCurrent, -5000, 5000},
      {File::FromStart, size - 5, 8},            {File::FromCurrent, -3, 2},
      {File::FromStart, size, 1},                {File::FromStart, size + 100, 4},
      {File::FromCurrent, -(size + 101), 4},     {File::FromStart, -1, 0},
      {File::FromStart, 0, 70000},               {File::FromCurrent, -69990, 20},
      {File::FromStart, 131072 - 4, 8},          {File::FromCurrent, -8, 300000},
  };
  int64_t at = 0;
  Bytes got(300000);
  for (size_t k = 0; k < std::size(walk); ++k) {
    const Step& s = walk[k];
    if (s.Origin >= 0) {
      const int64_t target = s.Origin == File::FromStart ? s.Offset : at + s.Offset;
      EXPECT_EQ(file.Seek(s.Offset, s.Origin), target < 0 ? File::SeekFailed : target) << k;
      EXPECT_EQ(file.GetError().Failed(), target < 0) << k;
      if (target >= 0) at = target;
    }
    const int32_t expected = static_cast<int32_t>(std::clamp<int64_t>(size - at, 0, s.Count));
    ASSERT_EQ(file.Read(got.data(), s.Count), expected) << k;
    EXPECT_EQ(file.GetError().Failed(), expected < s.Count) << k;
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + expected, bytes.begin() + std::min(at, size))) << k;
    at += expected;
    EXPECT_TRUE(file.Tell() == at && file.BytesLeft() == static_cast<uint64_t>(std::max<int64_t>(size - at, 0)) &&
                file.AtEnd() == (at == size))
        << k;
  }
}

// Every depth: tile regions read from a map (tile (needed.Left, needed.Top) is the region's
// bottom-left; the picture's top edge is the top of the top tile row; all else is all ones).
TEST_F(MapFileTest, TilesOfEveryDepth) {
  const int32_t width = 600, height = 300;  // 3 x 2 tiles, both edges padded
  const Rect neededs[] = {
      {0, 0, 3, 2}, {-1, -1, 5, 4},  // the whole picture; beyond every side
      {1, 1, 1, 1}, {0, 0, 2, 2},    // inside: skips below and to the left; skips to the right of each row
      {2, 0, 1, 1}, {5, 0, 2, 2},    // the padded bottom-right tile; right of the picture, in its rows
      {0, 3, 1, 1}, {-3, -2, 2, 1},  // above it; below and to the left
  };
  for (int depth : {1, 4, 8, 16, 24}) {
    const std::string path = Write(Format(width, height, depth), true);
    for (const Rect& needed : neededs) {
      SCOPED_TRACE(testing::Message() << "depth " << depth << " needed " << needed.Left << "," << needed.Top << " " << needed.Width << "x" << needed.Height);
      auto file = AtPicture(path);
      Bitmap b;
      b.ReadTiles(*file, needed, Rect(0, 0, 3, 2));
      ASSERT_FALSE(b.GetError().Failed()) << b.GetError().Message;
      EXPECT_TRUE(b.BitsPerPixel() == depth && (depth > 8 || b.Palette()[4 * 1 + 2] == 18));  // palette entry 1, red
      ASSERT_EQ(std::make_pair(b.Width(), b.Height()), std::make_pair(needed.Width * 256, needed.Height * 256));
      for (int32_t ry = 0, bad = 0; ry < b.Height() && bad < 5; ++ry) {
        const int32_t y = (1 - (needed.Top + needed.Height - 1 - ry / 256)) * 256 + ry % 256;
        for (int32_t rx = 0; rx < b.Width() && bad < 5; ++rx) {
          const int32_t x = needed.Left * 256 + rx;
          const uint32_t want = x >= 0 && x < width && y >= 0 && y < height ? Model(x, y, depth) : AllOnes(depth);
          const uint32_t got = PixelAt(b.Row(b.Height() - 1 - ry), rx, depth);
          if (got != want && ++bad) ADD_FAILURE() << "map (" << x << ", " << y << "): " << got << ", want " << want;
        }
      }
    }
  }
}

// Icons and map tiles, intact and damaged: the error, and for icons that every pixel is the
// model's or all ones (never uninitialised) and whether the whole picture came out.
TEST_F(MapFileTest, WholeAndDamagedPicturesAndTiles) {
  auto format = Format(37, 30, 8);
  format.WithTransparency = true, format.Transparent = 1, format.TransparentIndex = 5;
  const Bytes icon = Read(Write(format, false));
  const std::string mapPath = Write(Format(300, 300, 24), true);  // 2 x 2 tiles; tile (1, 1) is read
  const Bytes map = Read(mapPath);
  std::vector<size_t> at;  // the tile chunks, walked header by header
  for (auto f = AtPicture(mapPath, 4); !f->AtEnd() && at.size() < 100; ChunkReader().SkipChunk(*f)) at.push_back(f->Tell());
  ASSERT_EQ(at.size(), 4u);
  // Byte offsets in the icon file: header chunk 12 bytes, icon chunk 74, picture header 56.
  const size_t pictureAt = 12 + 8 + 66, paletteAt = pictureAt + 8 + 48, dataAt = paletteAt + 8 + 1024;
  auto cut = [](Bytes out, size_t size) { out.resize(size); return out; };
  // decoded (icons): the whole picture came out right
  const struct { const char* name; Bytes bytes; int16_t code; bool decoded; bool tile = false; } cases[] = {
      {"intact", icon, 0, true},
      {"wrong header tag", With(icon, pictureAt, {'X'}), 10013, false},
      {"header chunk shorter than 40 bytes", With(icon, pictureAt + 4, {39}), 10013, false},
      {"negative header size", With(icon, pictureAt + 4, {0xF0, 0xFF, 0xFF, 0xFF}), 10013, false},
      {"zero width", With(icon, pictureAt + 8 + 4, {0, 0, 0, 0}), 10013, false},
      {"negative height", With(icon, pictureAt + 8 + 8, {0xFE, 0xFF, 0xFF, 0xFF}), 10013, false},
      {"depth 3", With(icon, pictureAt + 8 + 14, {3}), 10013, false},
      {"depth 0x1008", With(icon, pictureAt + 8 + 14, {8, 0x10}), 10013, false},
      {"absurd size", With(icon, pictureAt + 8 + 4, {0, 0, 1, 0, 0, 0, 1, 0}), 10012, false},
      {"palette of 300 colours", With(icon, pictureAt + 8 + 32, {0x2C, 1}), 10013, false},
      {"wrong palette tag", With(icon, paletteAt, {'X'}), 10013, false},
      {"palette chunk too short", With(icon, paletteAt + 4, {0, 3}), 10013, false},
      {"wrong data tag", With(icon, dataAt, {'X'}), 10013, false},
      {"cut in the header", cut(icon, pictureAt + 20), 10013, false},
      {"cut before the data", cut(icon, dataAt), 10013, false},
      {"cut in the stream", cut(icon, dataAt + 8 + 40), 0, false},
      {"corrupt stream", With(icon, dataAt + 8, {0x12, 0x34, 0x56}), 0, false},
      {"data size far beyond the file", With(icon, dataAt + 4, {0xFF, 0xFF, 0xFF, 0x7F}), 0, true},
      {"cut stream whose size reaches past the end", cut(With(icon, dataAt + 4, {0, 0, 1}), dataAt + 48), 0, false},
      {"negative data size", With(icon, dataAt + 4, {0, 0, 0, 0x80}), 0, false},
      {"needed tile with another tag", With(map, at[3], {'X'}), 10013, false, true},
      {"skipped tile with another tag: passed over", With(map, at[2], {'X'}), 0, false, true},
      {"negative size of a skipped tile", With(map, at[0] + 4, {0, 0, 0, 0x80}), 10013, false, true},
      {"huge size of a skipped tile", With(map, at[0] + 4, {0xFF, 0xFF, 0xFF, 0x7F}), 10013, false, true},
      {"file ends inside the needed tile", cut(map, at[3] + 20), 0, false, true},
      {"file ends before it", cut(map, at[3]), 10013, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto file = AtPicture(Files.Write(c.bytes));
    Bitmap b;
    c.tile ? b.ReadTiles(*file, Rect(1, 1, 1, 1), Rect(0, 0, 2, 2)) : b.ReadPicture(*file);
    EXPECT_EQ(b.GetError().Code, c.code);
    EXPECT_TRUE(c.code != 0 || c.tile || b.Transparent() * 10 + b.TransparentIndex() == 15u);
    if (c.tile || b.Pixels() == nullptr) continue;
    bool all = true;
    for (int32_t i = 0; i < 37 * 30; ++i) {
      const uint32_t got = PixelAt(b.Row(29 - i / 37), i % 37, 8), want = Model(i % 37, i / 37, 8);
      all = all && got == want;
      ASSERT_TRUE(got == want || got == 255u) << got << " at " << i % 37 << "," << i / 37;
    }
    EXPECT_EQ(all, c.decoded);
  }
}

// A 24-bit map of the model over 16 x 16 blocks (resampled views are exact inside them),
// calibrated in radians (about 6 m a pixel).
std::string WriteBlockMap(MapFileTest& t, int32_t width, int32_t height, int16_t tileSide = 256) {
  maplib::MapFields f;
  f.UOrigin = 0.18, f.VOrigin = 1.05, f.UPerX = 1e-6, f.VPerY = -1e-6, f.TileWidth = f.TileHeight = tileSide;
  return t.Write(Format(width, height, 24), true, ModelRows(Format(width, height, 24), 16), f);
}

// The map of the file, loaded from its map chunk as the map library does from `source`.
Ref<Map> LoadMap(const std::string& path, Ref<File>& source) {
  source = MapFileTest::AtPicture(path, 1);
  auto map = MakeRef<Map>();
  map->Load(source.Get());
  return map;
}

TEST_F(MapFileTest, TileGeometryAndRenderedViewsOfAPictureNotAMultipleOf256High) {
  Ref<File> source;
  Ref<Map> map = LoadMap(WriteBlockMap(*this, 600, 700), source);  // 3 tile rows, 68 spare rows below
  // Renders; read tells whether the file was touched (every read first moves to the picture,
  // so a position parked at 0 stays there otherwise).
  bool read = false;
  auto render = [&](const Rect& view) {
    source->Seek(0, File::FromStart);
    Ref<Bitmap> b = Ref<Bitmap>::Adopt(map->Render(view));
    read = source->Tell() != 0;
    return b;
  };
  const struct { int32_t X, Y, W, H; Rect Tiles, Pixels; } cases[] = {
      {0, 0, 600, 700, {0, 0, 3, 3}, {0, 0, 768, 768}},      // the whole picture
      {0, 0, 1, 1, {0, 2, 1, 1}, {0, 0, 256, 256}},          // the top-left pixel: the top tile row
      {599, 699, 1, 1, {2, 0, 1, 1}, {512, 512, 256, 256}},  // the bottom-right one
      {255, 255, 2, 2, {0, 1, 2, 2}, {0, 0, 512, 512}},      // the corner of four tiles
      {-1, -1, 1, 1, {-1, 3, 1, 1}, {-256, -256, 256, 256}},       // off the top-left corner
      {-300, 800, 40, 10, {-2, -1, 1, 1}, {-512, 768, 256, 256}},  // floor, not truncation
  };
  for (const auto& c : cases) {
    Ref<Rect> t = Ref<Rect>::Adopt(map->TileRect(c.X, c.Y, c.W, c.H));
    EXPECT_TRUE(t->Equals(c.Tiles)) << c.X << "," << c.Y << ": " << t->Left << "," << t->Top;
    EXPECT_TRUE(Ref<Rect>::Adopt(map->TileRectToPixels(c.Tiles))->Equals(c.Pixels)) << c.X;
  }
  const Rect view(0, 0, 3, 3);
  Ref<Bitmap> previous;
  // The picture stays inside the view, so the needed tiles stay all of them: only the first
  // render reads, the others resample.
  for (const auto& [zoom, rotation] : {std::pair{1.0f, 0.0f}, {0.5f, 0.0f}, {0.6f, 0.3f}, {0.7f, -0.2f}}) {
    map->SetZoom(zoom);
    map->SetRotation(rotation);
    Ref<Bitmap> b = render(view);
    ASSERT_TRUE(b) << map->GetError().Message;
    EXPECT_EQ(read, !previous);
    EXPECT_NE(b.Get(), previous.Get());
    EXPECT_EQ(render(view).Get(), b.Get());
    EXPECT_FALSE(read);
    previous = b;
    // View pixel q shows map pixel R⁻¹q / zoom: exact colours inside blocks, white off the
    // picture (its spare rows included); pixels near an edge blend and are passed over.
    for (int32_t qy = 0; qy < 768; qy += 7) {
      for (int32_t qx = 0; qx < 768; qx += 7) {
        const double mx = (std::cos(rotation) * qx - std::sin(rotation) * qy) / zoom;
        const double my = (std::sin(rotation) * qx + std::cos(rotation) * qy) / zoom;
        const bool inside = mx >= 2 && my >= 2 && mx < 598 && my < 698 && std::abs(std::remainder(mx, 16) - 8) < 6 &&
                            std::abs(std::remainder(my, 16) - 8) < 6;
        const bool outside = mx < -2 || my < -2 || mx >= 602 || my >= 702;
        if (!inside && !outside) continue;
        Ref<Point> at = Ref<Point>::Adopt(map->ViewOrigin(qx, qy));
        ASSERT_EQ(PixelAt(b->Row(b->Height() - 1 - at->Y), at->X, 24), outside ? 0xFFFFFFu : Model(int32_t(mx) / 16, int32_t(my) / 16, 24))
            << zoom << " " << rotation << " at " << qx << "," << qy;
      }
    }
  }
  // A zoom that takes the picture out of the same view: white of the view's size, not the tiles
  // still held, and no file access.
  map->SetZoom(1.0f);
  map->SetRotation(0.0f);
  ASSERT_TRUE(render(Rect(2, 2, 1, 1)) && read);
  map->SetZoom(0.5f);
  Ref<Bitmap> away = render(Rect(2, 2, 1, 1));
  ASSERT_TRUE(away && !read && away->Width() == 256 && away->Height() == 256);
  EXPECT_TRUE(std::all_of(away->Pixels(), away->Pixels() + away->ImageSize(), [](uint8_t v) { return v == 0xFF; }));
}

// A map turned, zoomed and moved step by step keeps the tiles it decoded and resamples only the
// part asked for: every picture's part is byte for byte the picture a freshly loaded map renders
// whole, and going back to views already seen reads nothing from the file.
TEST_F(MapFileTest, KeptTilesAndPartsGiveTheFreshMapsPictures) {
  const std::string path = WriteBlockMap(*this, 1300, 1100);  // 6 x 5 tiles
  Ref<File> source;
  Ref<Map> map = LoadMap(path, source);
  // Kept: every tile needed is one decoded before, so the file is not touched.
  const struct { float Zoom, Degrees; Rect View; Bitmap::Area Shown; bool Kept; } steps[] = {
      {1.5f, 30.0f, {2, 1, 4, 3}, {100, 90, 640, 480}, false},  // tiles 0, 0 to 3, 3
      {1.5f, 30.0f, {4, 1, 4, 3}, {100, 90, 640, 480}, false},  // panned: a tile column more
      {1.5f, 45.0f, {2, 1, 4, 3}, {100, 90, 640, 480}, true},   // turned: fewer columns
      {1.5f, 30.0f, {2, 1, 4, 3}, {100, 90, 640, 480}, true},   // back
      {1.5f, 30.0f, {2, 1, 4, 3}, {180, 60, 640, 480}, true},   // the window moved: more of the part
      {1.5f, 30.0f, {2, 1, 4, 3}, {0, 0, 1024, 768}, true},     // all of it
      {1.5f, 30.0f, {2, 2, 4, 2}, {50, 20, 900, 400}, true},    // tiles 0, 1 to 3, 3: rows inside
      {1.5f, -30.0f, {2, 2, 4, 2}, {50, 20, 900, 400}, false},  // tiles 1, 3 to 4, 4
      {0.7f, -12.0f, {0, 0, 3, 3}, {10, 10, 600, 500}, false},  // all six columns
      {1.0f, 0.0f, {1, 1, 3, 2}, {0, 0, 768, 512}, false},      // the region itself
      {1.0f, 0.0f, {2, 1, 3, 2}, {0, 0, 768, 512}, false},      // a column of it kept
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(testing::Message() << "zoom " << s.Zoom << ", " << s.Degrees << " degrees, view at " << s.View.Left
                                    << "," << s.View.Top << ", shown at " << s.Shown.Left << "," << s.Shown.Top);
    const float rotation = static_cast<float>(s.Degrees * M_PI / 180);
    map->SetZoom(s.Zoom);
    map->SetRotation(rotation);
    source->Seek(0, File::FromStart);
    Ref<Bitmap> b = Ref<Bitmap>::Adopt(map->Render(s.View, &s.Shown));
    ASSERT_TRUE(b) << map->GetError().Message;
    EXPECT_TRUE(!s.Kept || source->Tell() == 0) << "the tiles were decoded already";
    Ref<File> freshSource;
    Ref<Map> fresh = LoadMap(path, freshSource);
    fresh->SetZoom(s.Zoom);
    fresh->SetRotation(rotation);
    Ref<Bitmap> want = Ref<Bitmap>::Adopt(fresh->Render(s.View));
    ASSERT_TRUE(want && want->Width() == b->Width() && want->Height() == b->Height());
    const Bitmap::Area part = map->RenderedPart();
    EXPECT_TRUE(part.Left <= s.Shown.Left && part.Top <= s.Shown.Top && part.Left + part.Width >= s.Shown.Left + s.Shown.Width &&
                part.Top + part.Height >= s.Shown.Top + s.Shown.Height);
    for (int32_t y = part.Top; y < part.Top + part.Height; ++y) {
      const size_t at = 3 * static_cast<size_t>(part.Left), bytes = 3 * static_cast<size_t>(part.Width);
      ASSERT_EQ(std::memcmp(b->Row(b->Height() - 1 - y) + at, want->Row(b->Height() - 1 - y) + at, bytes), 0) << "row " << y;
    }
  }
}

// Which damaged records loading refuses is the map library's table (tests/viewer); here, that a
// refused map lets its file go, and damage that only rendering meets.
TEST_F(MapFileTest, DamagedMapsFailWithTheirErrors) {
  const Bytes good = Read(WriteBlockMap(*this, 300, 200, 32767));
  Ref<File> source;  // record version 2.0
  EXPECT_TRUE(LoadMap(Files.Write(With(good, 20, {2})), source)->GetError().Failed() && source->RefCount() == 1);
  const struct { size_t At; uint8_t Byte; int16_t Code; } damage[] = {
      {154, 'X', 10013},  // the picture's first tag: a chunk of another kind
      {90, '3', 0}};  // zone "3"; white of the view's 2 x 2 tiles, not of the record's 32767 pixels
  for (const auto& d : damage) {
    Ref<Map> map = LoadMap(Files.Write(With(good, d.At, {d.Byte})), source);
    ASSERT_FALSE(map->GetError().Failed()) << d.At;
    EXPECT_EQ(map->ZoneNumber(), d.At == 90 ? 3 : 0);  // the stored zone text counts
    map->SetZoom(d.At == 90 ? 2.0f : 1.0f);             // with zoom the view misses the picture
    Ref<Bitmap> picture = Ref<Bitmap>::Adopt(map->Render(Rect(9, 9, 2, 2)));
    EXPECT_EQ(map->GetError().Code, d.Code) << d.At;
    EXPECT_EQ(picture ? picture->Width() * picture->Height() : 0, d.Code == 0 ? 512 * 512 : 0) << d.At;
  }
}

// The writer's record fields at the format's offsets (versions, name cut to 15 characters, width,
// zone, tile width), and its refusals of pictures the reader could not take and of wrong row counts.
TEST_F(MapFileTest, WriterRecordsAndRefusals) {
  maplib::MapFields m;
  m.Name = "a name longer than fifteen", m.Width = 0x01020304, m.Zone = "32U";
  const auto r = maplib::MakeMapRecord(m);
  EXPECT_EQ(std::vector<int>({r[0], r[8], r[10 + 14], r[10 + 15], r[58], r[61], r[70], r[131]}), std::vector<int>({1, 1, 't', 0, 4, 1, '3', 1}));
  const Bytes rows(30 * 6);
  const std::pair<maplib::PictureFormat, int32_t> cases[] = {
      {Format(10, 0, 24), 0}, {Format(10, 5, 32), 5}, {Format(10, 5, 24), 6}, {Format(10, 5, 24), 4}};
  for (const auto& [format, count] : cases) {
    maplib::MapLibWriter w;
    ASSERT_TRUE(w.Create(Files.Write({})));
    EXPECT_FALSE(w.BeginMap(r, format) && w.AddRows(rows.data(), 30, count) && w.EndMap()) << count;
    EXPECT_FALSE(w.Close() || w.ErrorText().empty()) << count;
  }
  EXPECT_FALSE(maplib::MapLibWriter().Create("/nonexistent-folder/x"));
}

}  // namespace
}  // namespace velmira
