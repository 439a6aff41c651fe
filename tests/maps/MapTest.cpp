// Maps: calibration refusals and fits, round trips under zoom and rotation against the double
// model M·R⁻¹/zoom; maps in files made by the map library writer: tiles, views, cache, damage.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "MapLibWriter.h"
#include "maps/ChunkReader.h"
#include "maps/Map.h"
#include "velmira/velmira.h"

namespace velmira {
namespace {

constexpr double Deg = 3.141592653589793 / 180;

// The map pixel where a position lies under the calibration r, in doubles.
std::pair<double, double> MapPixel(const MapRecord& r, Position* p) {
  const bool grid = p->GetGrid() != 0;
  const double u = (grid ? p->GetEasting() : p->GetLongitudeRads()) - r.UOrigin;
  const double v = (grid ? p->GetNorthing() : p->GetLatitudeRads()) - r.VOrigin;
  const double det = r.UPerX * r.VPerY - r.UPerY * r.VPerX;
  return {(r.VPerY * u - r.UPerY * v) / det, (r.UPerX * v - r.VPerX * u) / det};
}

// Up to three pairs of (longitude, latitude in degrees, x, y), handed to SetScale.
struct Pairs {
  Ref<Position> P[3];
  Ref<Point> Q[3];
  int Count = 0;
  Pairs(std::initializer_list<double> lonLatXY) {
    for (const double* v = lonLatXY.begin(); v != lonLatXY.end(); v += 4, ++Count) {
      P[Count] = MakeRef<Position>();
      P[Count]->SetLongitudeRads(v[0] * Deg);
      P[Count]->SetLatitudeRads(v[1] * Deg);
      Q[Count] = MakeRef<Point>(static_cast<int32_t>(v[2]), static_cast<int32_t>(v[3]));
    }
  }
  void Scale(Map& map) {
    map.SetScale(P[0].Get(), Q[0].Get(), P[1].Get(), Q[1].Get(), P[2].Get(), Q[2].Get());
  }
};

TEST(MapCalibration, EveryRefusalKeepsTheCalibration) {
  const struct {
    std::initializer_list<double> Pairs;
    const ErrorKind& Refusal;
  } cases[] = {
      {{10, 50, 0, 20}, errors::ZeroPointValue}, {{10, 50, 20, 0}, errors::ZeroPointValue},
      {{10, 50, 5, 5, 11, 49, 5, 9}, errors::EqualPointValues},  // equal x
      {{10, 50, 5, 5, 11, 49, 9, 5}, errors::EqualPointValues},  // equal y, other positions
      {{10, 50, 5, 5, 10, 49, 9, 9}, errors::EqualPointValues},  // equal U
      {{10, 50, 5, 5, 11, 50, 9, 9}, errors::EqualPointValues},  // equal V
      {{10, 50, 4, 0, 11, 49, 4, 9, 12, 48, 4, 7}, errors::AllPointValuesEqual},
      {{10, 50, 0, 4, 11, 49, 9, 4, 12, 48, 7, 4}, errors::AllPointValuesEqual},
      {{10, 50, 0, 0, 11, 49, 10, 20, 12, 48, 5, 10}, errors::LinearDependent},
      // (0,0), (1,2), (0,1) are not on a line, but the whole-number step 1·1/2 is 0.
      {{10, 50, 0, 0, 11, 49, 1, 2, 12, 48, 0, 1}, errors::LinearDependent},
  };
  Map map;
  Pairs({10, 50, 0, 0, 11, 49, 100, 80, 12, 49.5, 30, 200}).Scale(map);
  const MapRecord before = map.Record();
  for (const auto& c : cases) {
    Pairs(c.Pairs).Scale(map);
    EXPECT_STREQ(map.GetError().Message, c.Refusal.Message);
    EXPECT_EQ(std::memcmp(&map.Record(), &before, sizeof before), 0) << c.Refusal.Message;
  }
  Pairs one({10, 50, 1, 1});
  map.SetScale(one.P[0].Get(), nullptr, one.P[0].Get(), one.Q[0].Get(), nullptr, nullptr);
  EXPECT_STREQ(map.GetError().Message, errors::FirstPairNull.Message);
}

TEST(MapCalibration, FitsPassThroughTheirPairs) {
  const struct {
    std::initializer_list<double> Pairs;
    bool ThirdExact;  // the three-pair fit misses pair 3 where its step does not divide evenly
  } cases[] = {
      {{10, 50, 400, -300}, true},
      {{10, 50, 5, 7, 11, 49, 905, 1007}, true},
      {{10, 50, 0, 0, 11, 49, 100, 50, 12, 49.5, 30, 200}, true},         // 150·100 / 50
      {{10, 50, 0, 0, 11, 49, 10, 3, 10.5, 49.2, 4, 7}, false},           // 7·10 / 3
      {{10, 50, -20, 40, 10.2, 50.1, 70, 40, 9.9, 50.3, 30, -60}, true},  // y1 = y2
  };
  for (const auto& c : cases) {
    Map map;
    Pairs pairs(c.Pairs);
    pairs.Scale(map);
    ASSERT_FALSE(map.GetError().Failed());
    for (int i = 0; i < pairs.Count; ++i) {
      const auto [x, y] = MapPixel(map.Record(), pairs.P[i].Get());
      const double miss = std::hypot(x - pairs.Q[i]->X, y - pairs.Q[i]->Y);
      EXPECT_EQ(miss < 1e-6, i < 2 || c.ThirdExact) << pairs.Count << " pairs, pair " << i + 1;
    }
    // One pair scales from the origin: world (0, 0) is pixel (0, 0).
    EXPECT_TRUE(pairs.Count > 1 || (map.Record().UOrigin == 0 && map.Record().VOrigin == 0));
  }
}

TEST(MapView, RoundTripsUnderZoomAndRotation) {
  // A geographic map with shear whose second position is on another datum, and a UTM map with
  // a large origin whose first position has not computed its zone yet and whose third is in
  // another zone: the later positions are converted in place.
  Pairs geo({10, 50, 0, 0, 10.3, 49.9, 2000, 300, 10.05, 49.7, 500, 2400});
  Pairs utm({9.2, 60, 100, 100, 9.4, 59.9, 3000, 900, 9.25, 59.8, 400, 3300});
  utm.P[0]->SetGrid(1);
  utm.P[2]->SetGrid(1);
  utm.P[2]->SetZone(33);
  geo.P[1]->SetDatum(2);
  for (Pairs* pairs : {&geo, &utm}) {
    Map map;
    pairs->Scale(map);
    EXPECT_STREQ(map.Record().Zone, pairs == &utm ? "32V" : "");
    for (float zoom : {0.1f, 0.5f, 1.0f, 2.5f, 10.0f}) {
      for (double degrees :
           {0.0, 30.0, -45.0, 90.0, 180.0, -179.0, 112.5, 112.50001, -67.5, 292.5}) {
        const float angle = static_cast<float>(degrees * Deg);
        map.SetZoom(zoom);
        map.SetRotation(angle);
        const double cs = std::cos(angle), sn = std::sin(angle);
        for (const auto& [qx, qy] : {std::pair{0, 0}, {700, -300}, {-1500, 2200}, {3000, 3000}}) {
          SCOPED_TRACE(std::to_string(zoom) + " x, " + std::to_string(degrees) + " deg at " +
                       std::to_string(qx) + "," + std::to_string(qy));
          // 32-bit floats throughout: a few pixels over thousands of view pixels.
          const double tolerance = 1.5 + 1e-3 * (std::abs(qx) + std::abs(qy));
          int32_t x, y;  // view pixel q shows map pixel R⁻¹q / zoom ...
          map.ViewToMapPixel(qx, qy, x, y);
          EXPECT_NEAR(x, (cs * qx - sn * qy) / zoom, 1 + tolerance / zoom);
          EXPECT_NEAR(y, (sn * qx + cs * qy) / zoom, 1 + tolerance / zoom);
          Ref<Point> q = MakeRef<Point>(qx, qy);  // ... and the world point of that pixel
          Ref<Position> position = Ref<Position>::Adopt(map.Point2Position(q.Get()));
          ASSERT_TRUE(position);
          const auto [px, py] = MapPixel(map.Record(), position.Get());
          EXPECT_NEAR((cs * px + sn * py) * zoom, qx, tolerance);
          EXPECT_NEAR((cs * py - sn * px) * zoom, qy, tolerance);
          Ref<Point> back = Ref<Point>::Adopt(map.Position2Point(position.Get()));
          EXPECT_NEAR(back->X, qx, tolerance);
          EXPECT_NEAR(back->Y, qy, tolerance);
        }
      }
    }
    for (Position* p : {pairs->P[1].Get(), pairs->P[2].Get()}) {  // converted in place
      EXPECT_EQ(p->GetGrid() ? Ref<Text>::Adopt(p->GetZone())->ToInt16() : p->GetDatum(),
                pairs == &utm ? 32 : 1);
    }
  }
}

// A view pixel's world point is a 32-bit float with the origin in it before the calibration is
// inverted: at easting 500010.01 floats are 1/32 m apart, so view pixel (10, 10) of a 1 m grid
// map whose pixel (0, 0) is at 500000.01 shows U = 500010.0, that is map column 9.99 -> 9.
TEST(MapView, ViewToMapPixelRoundsTheWorldPointWithItsOrigin) {
  Ref<Position> p[2] = {MakeRef<Position>(), MakeRef<Position>()};
  Ref<Point> q[2] = {MakeRef<Point>(0, 0), MakeRef<Point>(1000, 1000)};
  for (int i = 0; i < 2; ++i) {
    p[i]->SetGrid(1);
    p[i]->SetZone(32);
    p[i]->SetEasting(500000.01 + 1000 * i);
    p[i]->SetNorthing(5000000.01 - 1000 * i);
  }
  Map map;
  map.SetScale(p[0].Get(), q[0].Get(), p[1].Get(), q[1].Get(), nullptr, nullptr);
  ASSERT_FALSE(map.GetError().Failed()) << map.GetError().Message;
  int32_t x = 0, y = 0;
  map.ViewToMapPixel(10, 10, x, y);
  EXPECT_EQ(x, 9);   // the float point 500010.0 lies 0.01 m west of column 10
  EXPECT_EQ(y, 10);  // northing 4999990.01 -> 4999990.0, 0.01 m south of row 10
}

// Colour of map pixel (x, y), constant over blocks: resampled views are exact inside them.
uint32_t Model(int32_t x, int32_t y, int32_t block) {
  const uint32_t bx = static_cast<uint32_t>(x / block), by = static_cast<uint32_t>(y / block);
  return (bx * 37 + by * 5) % 250 | (by * 11 + bx) % 250 << 8 | (bx * by + 3) % 250 << 16;
}
constexpr uint32_t White = 0xFFFFFF;

class MapFileTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& p : Made) std::filesystem::remove(p);
  }
  // A file with one 24-bit map of the model, calibrated in radians (about 6 m a pixel).
  std::string WriteMap(int32_t width, int32_t height, int32_t block, int16_t tileSide = 256) {
    Made.push_back(std::filesystem::temp_directory_path() /
                   ("velmira_map_" + std::to_string(getpid()) + std::to_string(Made.size())));
    maplib::MapFields f;
    f.Width = width, f.Height = height, f.TileWidth = f.TileHeight = tileSide;
    f.UOrigin = 0.18, f.VOrigin = 1.05, f.UPerX = 1e-6, f.VPerY = -1e-6;
    maplib::PictureFormat format;
    format.Width = width, format.Height = height;
    std::vector<uint8_t> rows;
    for (int32_t i = 0; i < 3 * width * height; ++i) {
      rows.push_back(static_cast<uint8_t>(Model(i / 3 % width, i / 3 / width, block) >> i % 3 * 8));
    }
    maplib::MapLibWriter w;
    EXPECT_TRUE(w.Create(Made.back()) && w.BeginMap(maplib::MakeMapRecord(f), format) &&
                w.AddRows(rows.data(), size_t{3} * width, height) && w.EndMap() && w.Close());
    return Made.back();
  }
  // The map of the file, loaded from its map chunk as the map library does.
  Ref<Map> LoadMap(const std::string& path) {
    Opened = MakeRef<File>();
    Text name(path.c_str());
    Opened->Open(name, File::ReadMode);
    ChunkReader().SkipChunk(*Opened);
    auto map = MakeRef<Map>();
    map->Load(Opened.Get());
    return map;
  }
  // Renders; read tells whether the file was touched (every read first moves to the picture,
  // so a position parked at 0 stays there otherwise).
  Ref<Bitmap> Render(Map& map, const Rect& view, bool& read) {
    Opened->Seek(0, File::FromStart);
    Ref<Bitmap> b = Ref<Bitmap>::Adopt(map.Render(view));
    read = Opened->Tell() != 0;
    return b;
  }
  std::vector<std::filesystem::path> Made;
  Ref<File> Opened;
};

TEST_F(MapFileTest, TileGeometryAndRenderedViewsOfAPictureNotAMultipleOf256High) {
  Ref<Map> map = LoadMap(WriteMap(600, 700, 16));  // 3 tile rows, 68 spare rows below
  const struct {
    int32_t X, Y, W, H;
    Rect Tiles, Pixels;
  } cases[] = {
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
  bool read = false;
  Ref<Bitmap> previous;
  // The picture stays inside the view, so the needed tiles stay all of them: only the first
  // render reads, the others resample.
  for (const auto& [zoom, rotation] :
       {std::pair{1.0f, 0.0f}, {0.5f, 0.0f}, {0.6f, 0.3f}, {0.7f, -0.2f}}) {
    map->SetZoom(zoom);
    map->SetRotation(rotation);
    Ref<Bitmap> b = Render(*map, view, read);
    ASSERT_TRUE(b) << map->GetError().Message;
    EXPECT_EQ(read, !previous);
    EXPECT_NE(b.Get(), previous.Get());
    EXPECT_EQ(Render(*map, view, read).Get(), b.Get());
    EXPECT_FALSE(read);
    previous = b;
    // View pixel q shows map pixel R⁻¹q / zoom: exact colours inside blocks, white off the
    // picture (its spare rows included); pixels near an edge blend and are passed over.
    for (int32_t qy = 0; qy < 768; qy += 7) {
      for (int32_t qx = 0; qx < 768; qx += 7) {
        const double mx = (std::cos(rotation) * qx - std::sin(rotation) * qy) / zoom;
        const double my = (std::sin(rotation) * qx + std::cos(rotation) * qy) / zoom;
        const bool inside = mx >= 2 && my >= 2 && mx < 598 && my < 698 &&
                            std::abs(std::remainder(mx, 16) - 8) < 6 &&
                            std::abs(std::remainder(my, 16) - 8) < 6;
        const bool outside = mx < -2 || my < -2 || mx >= 602 || my >= 702;
        if (!inside && !outside) continue;
        Ref<Point> at = Ref<Point>::Adopt(map->ViewOrigin(qx, qy));
        const uint8_t* p = b->Row(b->Height() - 1 - at->Y) + 3 * at->X;
        const uint32_t colour = p[0] | p[1] << 8 | p[2] << 16;
        ASSERT_EQ(colour, outside ? White : Model(int32_t(mx), int32_t(my), 16))
            << zoom << " " << rotation << " at " << qx << "," << qy;
      }
    }
  }
  // Nothing of the picture in view: white of the view's size, and no file access.
  Ref<Bitmap> away = Render(*map, Rect(20, 20, 2, 1), read);
  EXPECT_TRUE(away && !read && away->Width() == 512 && away->Height() == 256);
  map->Close();  // without its picture source the map is white at every view
  EXPECT_EQ(Ref<Bitmap>::Adopt(map->Render(Rect(0, 0, 1, 1)))->Row(9)[30], 0xFF);
}

TEST_F(MapFileTest, DamagedChunksAndAbsurdSizesFailWithTheirErrors) {
  // Offsets: the map chunk's size at 16, its record from 20, the picture's first tag at 154.
  const std::string good = WriteMap(300, 200, 1, 32767);
  const struct {
    size_t At;
    uint8_t Byte;
    int16_t LoadCode, RenderCode;
  } damage[] = {{20, 2, 10014, 0},     // record version 2.0
                {16, 133, 10013, 0},   // a chunk too short for a record
                {154, 'X', 0, 10013},  // a picture chunk of another kind
                {90, '3', 0, 10012}};  // zone "3"; white of 32767-pixel tiles
  for (const auto& d : damage) {
    Made.push_back(good + std::to_string(d.At));
    std::filesystem::copy_file(good, Made.back());
    std::fstream(Made.back(), std::ios::in | std::ios::out | std::ios::binary)
        .seekp(static_cast<std::streamoff>(d.At))
        .put(static_cast<char>(d.Byte));
    Ref<Map> map = LoadMap(Made.back());
    EXPECT_EQ(map->GetError().Code, d.LoadCode) << d.At;
    EXPECT_TRUE(d.LoadCode == 0 || Opened->RefCount() == 1) << "the source stays after " << d.At;
    if (d.LoadCode != 0) continue;
    EXPECT_EQ(map->ZoneNumber(), d.At == 90 ? 3 : 0);   // the stored zone text counts
    map->SetZoom(d.RenderCode == 10012 ? 2.0f : 1.0f);  // with zoom the view misses the picture
    EXPECT_FALSE(Ref<Bitmap>::Adopt(map->Render(Rect(9, 9, 2, 2)))) << d.At;
    EXPECT_EQ(map->GetError().Code, d.RenderCode) << d.At;
  }
}

}  // namespace
}  // namespace velmira
