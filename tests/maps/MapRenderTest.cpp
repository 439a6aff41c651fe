// Maps read from files made by the map library writer: loading, tile geometry of a picture
// whose height is not a multiple of 256, the rendered view against the view transform, the
// cache (which renders touch the file at all) and the failures of damaged and absurd input.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "MapLibWriter.h"
#include "maps/ChunkReader.h"
#include "maps/Map.h"

namespace velmira {
namespace {

// The picture: colour of map pixel (x, y), constant over blocks of `block` pixels so that
// resampled views have areas of exact colour away from block edges.
uint32_t Model(int32_t x, int32_t y, int32_t block) {
  const uint32_t bx = static_cast<uint32_t>(x / block), by = static_cast<uint32_t>(y / block);
  return (bx * 37 + by * 5) % 250 | (by * 11 + bx) % 250 << 8 | (bx * by + 3) % 250 << 16;
}
constexpr uint32_t White = 0xFFFFFF;

// Pixel (x, y) of a 24-bit bitmap, y counted from the top.
uint32_t PixelOf(const Bitmap& b, int32_t x, int32_t y) {
  const uint8_t* p = b.Row(b.Height() - 1 - y) + 3 * x;
  return p[0] | p[1] << 8 | p[2] << 16;
}

class MapRenderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& p : Made) std::remove(p.c_str());
  }
  std::string NewPath() {
    Made.push_back((std::filesystem::temp_directory_path() /
                    ("velmira_map_" + std::to_string(::getpid()) + "_" + std::to_string(Made.size())))
                       .string());
    return Made.back();
  }
  // A file with one 24-bit map of the model. With damagedTile the data chunks are written by
  // hand and that one gets another tag.
  std::string WriteMap(maplib::MapFields record, int32_t block, int damagedTile = -1) {
    const std::string path = NewPath();
    maplib::MapLibWriter w;
    EXPECT_TRUE(w.Create(path));
    maplib::PictureFormat format;
    format.Width = record.Width;
    format.Height = record.Height;
    std::vector<uint8_t> rows(size_t{3} * record.Width * record.Height);
    for (int32_t y = 0; y < record.Height; ++y) {
      for (int32_t x = 0; x < record.Width; ++x) {
        for (int i = 0; i < 3; ++i) rows[3 * (static_cast<size_t>(y) * record.Width + x) + i] = Model(x, y, block) >> 8 * i;
      }
    }
    if (damagedTile < 0) {
      EXPECT_TRUE(w.BeginMap(maplib::MakeMapRecord(record), format));
      EXPECT_TRUE(w.AddRows(rows.data(), size_t{3} * record.Width, record.Height));
      EXPECT_TRUE(w.EndMap());
    } else {
      const auto r = maplib::MakeMapRecord(record);
      uint8_t header[40] = {40, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 24};
      w.WriteChunk(maplib::Tag("MAPH"), r.data(), r.size());
      w.WriteChunk(maplib::Tag("PICH"), header, sizeof header);
      w.WriteChunk(maplib::Tag("PICP"), nullptr, 0);
      for (int t = 0; t < 4; ++t) {
        w.WriteChunk(maplib::Tag(t == damagedTile ? "PICX" : "PICD"), "x\x9c\x03\x00", 4);
      }
    }
    EXPECT_TRUE(w.Close()) << w.ErrorText();
    return path;
  }
  // The file opened at its map chunk, as the map library hands it to Load.
  Ref<File> OpenAtMap(const std::string& path) {
    auto file = MakeRef<File>();
    Text name(path.c_str());
    file->Open(name, File::ReadMode);
    ChunkReader().SkipChunk(*file);
    return file;
  }
  Ref<Map> LoadMap(const std::string& path, Ref<File>* keep = nullptr) {
    Ref<File> file = OpenAtMap(path);
    auto map = MakeRef<Map>();
    map->Load(file.Get());
    EXPECT_FALSE(map->GetError().Failed()) << map->GetError().Message;
    if (keep != nullptr) *keep = file;
    return map;
  }
  static maplib::MapFields Fields(int32_t width, int32_t height) {
    maplib::MapFields f;
    f.Name = "m";
    f.Width = width;
    f.Height = height;
    // A calibration is what links view pixels to map pixels: longitude and latitude in
    // radians, about 6 m a pixel.
    f.UOrigin = 0.18, f.VOrigin = 1.05, f.UPerX = 1e-6, f.VPerY = -1e-6;
    return f;
  }
  std::vector<std::string> Made;
};

// Renders and reports whether the file was touched: the position is parked at 0 first, and
// every read starts with a move to the picture.
Ref<Bitmap> RenderWatched(Map& map, File& file, const Rect& view, bool& read) {
  file.Seek(0, File::FromStart);
  Ref<Bitmap> b = Ref<Bitmap>::Adopt(map.Render(view));
  read = file.Tell() != 0;
  return b;
}

TEST_F(MapRenderTest, TileGeometryOfAPictureWhoseHeightIsNotAMultipleOf256) {
  Ref<Map> map = LoadMap(WriteMap(Fields(600, 700), 1));  // 3 tile rows, 68 spare rows below
  ASSERT_EQ(map->TileRows(), 3);
  const struct {
    int32_t X, Y, W, H;
    Rect Tiles;
  } cases[] = {
      {0, 0, 600, 700, {0, 0, 3, 3}},       // the whole picture
      {0, 0, 1, 1, {0, 2, 1, 1}},           // top-left pixel: the top tile row
      {599, 699, 1, 1, {2, 0, 1, 1}},       // bottom-right pixel: the bottom tile row
      {255, 255, 2, 2, {0, 1, 2, 2}},       // the corner of four tiles
      {-1, -1, 1, 1, {-1, 3, 1, 1}},        // left of and above the picture
      {-300, 800, 40, 10, {-2, -1, 1, 1}},  // floor, not truncation, of negative pixels
  };
  for (const auto& c : cases) {
    Ref<Rect> t = Ref<Rect>::Adopt(map->TileRect(c.X, c.Y, c.W, c.H));
    EXPECT_TRUE(t->Equals(c.Tiles)) << c.X << "," << c.Y << ": " << t->Left << "," << t->Top
                                    << " " << t->Width << "x" << t->Height;
    // Back to pixels: whole tiles that hold the rectangle with less than a tile to spare.
    Ref<Rect> p = Ref<Rect>::Adopt(map->TileRectToPixels(*t));
    EXPECT_TRUE(p->Left <= c.X && c.X - p->Left < 256 && p->Top <= c.Y && c.Y - p->Top < 256);
    EXPECT_TRUE(p->Left + p->Width >= c.X + c.W && p->Left + p->Width - (c.X + c.W) < 256);
    EXPECT_TRUE(p->Top + p->Height >= c.Y + c.H && p->Top + p->Height - (c.Y + c.H) < 256);
  }
  // All tiles: the region's top-left pixel is map pixel (0, 0); the spare rows are white.
  Ref<Bitmap> b = Ref<Bitmap>::Adopt(map->Render(Rect(0, 0, 3, 3)));
  ASSERT_TRUE(b);
  ASSERT_EQ(b->Height(), 768);
  for (int32_t y : {0, 1, 255, 256, 511, 512, 699, 700, 767}) {
    for (int32_t x : {0, 255, 256, 599, 600, 767}) {
      Ref<Point> at = Ref<Point>::Adopt(map->ViewOrigin(x, y));
      const uint32_t want = x < 600 && y < 700 ? Model(x, y, 1) : White;
      EXPECT_EQ(PixelOf(*b, at->X, at->Y), want) << x << "," << y;
    }
  }
}

TEST_F(MapRenderTest, CacheReusesBitmapsAndReadsOnlyWhenTheTilesChange) {
  Ref<File> file;
  Ref<Map> map = LoadMap(WriteMap(Fields(600, 700), 16), &file);
  const Rect view(0, 0, 3, 3);
  bool read = false;
  Ref<Bitmap> first = RenderWatched(*map, *file, view, read);
  EXPECT_TRUE(read);
  Ref<Bitmap> again = RenderWatched(*map, *file, view, read);
  EXPECT_EQ(again.Get(), first.Get());
  EXPECT_FALSE(read);

  // The picture lies inside the view at every zoom and rotation below, so the needed tiles
  // stay all of them: only resampling, no file access.
  Ref<Bitmap> previous = first;
  for (const auto& [zoom, rotation] : {std::pair{0.5f, 0.0f}, {0.6f, 0.3f}, {0.7f, -0.2f}}) {
    map->SetZoom(zoom);
    map->SetRotation(rotation);
    Ref<Bitmap> b = RenderWatched(*map, *file, view, read);
    ASSERT_TRUE(b) << map->GetError().Message;
    EXPECT_FALSE(read) << zoom << " " << rotation;
    EXPECT_NE(b.Get(), previous.Get());
    previous = b;
    EXPECT_EQ(b->Width(), 768);
    EXPECT_EQ(Ref<Bitmap>::Adopt(map->Render(view)).Get(), b.Get());
    // Each view pixel shows the map pixel R⁻¹q / zoom: exact colours inside blocks, white off
    // the picture; pixels within 2 of an edge blend and are not checked.
    int checked = 0;
    for (int32_t qy = 0; qy < 768; qy += 7) {
      for (int32_t qx = 0; qx < 768; qx += 7) {
        const double mx = (std::cos(rotation) * qx - std::sin(rotation) * qy) / zoom;
        const double my = (std::sin(rotation) * qx + std::cos(rotation) * qy) / zoom;
        const double ex = std::fmod(mx + 1600, 16), ey = std::fmod(my + 1600, 16);
        const bool inside = mx >= 2 && my >= 2 && mx < 598 && my < 698;
        const bool outside = mx < -2 || my < -2 || mx >= 602 || my >= 702;
        if (!outside && (!inside || ex < 2 || ex > 14 || ey < 2 || ey > 14)) continue;
        Ref<Point> at = Ref<Point>::Adopt(map->ViewOrigin(qx, qy));
        const uint32_t want = inside ? Model(static_cast<int32_t>(mx), static_cast<int32_t>(my), 16) : White;
        EXPECT_EQ(PixelOf(*b, at->X, at->Y), want) << "view " << qx << "," << qy;
        ++checked;
      }
    }
    EXPECT_GT(checked, 5000);
  }

  // Nothing of the picture in view: white of the view's size, and no file access.
  Ref<Bitmap> away = RenderWatched(*map, *file, Rect(20, 20, 2, 1), read);
  ASSERT_TRUE(away);
  EXPECT_FALSE(read);
  EXPECT_EQ(away->Width(), 512);
  EXPECT_EQ(away->Height(), 256);
  EXPECT_EQ(PixelOf(*away, 300, 100), White);

  // After Close the map has no picture source: white at every view.
  map->Close();
  Ref<Bitmap> closed = Ref<Bitmap>::Adopt(map->Render(Rect(0, 0, 1, 1)));
  ASSERT_TRUE(closed);
  EXPECT_EQ(PixelOf(*closed, 10, 10), White);
}

TEST_F(MapRenderTest, LoadTakesRecordAndZoneAndRefusesBadChunks) {
  maplib::MapFields f = Fields(300, 200);
  f.Grid = 1;
  f.Zone = "33W";
  f.UOrigin = 400000, f.VOrigin = 7000000, f.UPerX = 5, f.VPerY = -5;
  const std::string good = WriteMap(f, 1);
  Ref<Map> map = LoadMap(good);
  EXPECT_EQ(Ref<Point>::Adopt(map->GetSize())->Y, 200);
  EXPECT_STREQ(Ref<Text>::Adopt(map->GetName())->Chars(), "m");
  // The stored zone counts: a position from zone 32 is moved into zone 33.
  EXPECT_EQ(map->ZoneNumber(), 33);
  Ref<Position> p = MakeRef<Position>();
  p->SetGrid(1);
  p->SetZone(33);
  p->SetEasting(400000 + 5 * 120);
  p->SetNorthing(7000000 - 5 * 80);
  p->SetZone(32);
  Ref<Point> at = Ref<Point>::Adopt(map->Position2Point(p.Get()));
  EXPECT_NEAR(at->X, 120, 1);
  EXPECT_NEAR(at->Y, 80, 1);

  // Damaged records: version 2.0, a chunk too short for a record, no file.
  std::vector<uint8_t> bytes(134 + 20);
  FILE* in = std::fopen(good.c_str(), "rb");
  ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), in), bytes.size());
  std::fclose(in);
  const struct {
    size_t At;
    uint8_t Byte;
    int16_t Code;
  } damage[] = {{20, 2, 10014}, {16, 133, 10013}};
  for (const auto& d : damage) {
    std::vector<uint8_t> bad = bytes;
    bad[d.At] = d.Byte;
    const std::string path = NewPath();
    FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(bad.data(), 1, bad.size(), out);
    std::fclose(out);
    Ref<File> file = OpenAtMap(path);
    Map broken;
    broken.Load(file.Get());
    EXPECT_EQ(broken.GetError().Code, d.Code);
    EXPECT_EQ(file->RefCount(), 1u) << "a failed load keeps no picture source";
  }
  Map none;
  none.Load(nullptr);
  EXPECT_STREQ(none.GetError().Message, "Unexcpected error");
}

TEST_F(MapRenderTest, DamagedTilesAndAbsurdSizesFailWithoutCrashing) {
  // A tile chunk of the wrong kind: no picture, the cache emptied, the next call reads again.
  Ref<File> file;
  Ref<Map> map = LoadMap(WriteMap(Fields(512, 512), 1, 3), &file);
  bool read = false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_FALSE(RenderWatched(*map, *file, Rect(0, 0, 2, 2), read));
    EXPECT_TRUE(read);
    EXPECT_STREQ(map->GetError().Message, "Unknown file format");
  }
  // The good tiles alone still render.
  EXPECT_TRUE(Ref<Bitmap>::Adopt(map->Render(Rect(0, 0, 1, 1))));

  // Tile sizes from the record only size the white picture of a view off the picture.
  const struct {
    int16_t TileWidth, TileHeight;
    Rect View;
    int16_t Code;
  } cases[] = {
      {32767, 32767, {50, 50, 2, 2}, 10012},  // 4 GiB of white
      {-256, 256, {50, 50, 1, 1}, 10003},
      {256, 0, {50, 50, 1, 1}, 10003},
      {256, 256, {0, 0, 100000, 2}, 10012},  // a region of 25.6 million pixels across
      {256, 256, {0, 0, 2, 2000000000}, 10012},
  };
  for (const auto& c : cases) {
    maplib::MapFields f = Fields(300, 300);
    f.TileWidth = c.TileWidth;
    f.TileHeight = c.TileHeight;
    Ref<Map> m = LoadMap(WriteMap(f, 1));
    m->SetZoom(c.View.Left == 0 ? 1.0f : 2.0f);
    EXPECT_FALSE(Ref<Bitmap>::Adopt(m->Render(c.View))) << c.TileWidth << " " << c.View.Width;
    EXPECT_EQ(m->GetError().Code, c.Code) << c.TileWidth << " " << c.View.Width;
  }
}

}  // namespace
}  // namespace velmira
