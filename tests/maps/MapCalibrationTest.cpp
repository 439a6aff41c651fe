// Map calibration and view transform: every refusal, fits through one, two and three pairs
// (with the integer step of the three-pair fit), in-place conversion of the later positions,
// and round trips under zoom and rotation against a double-precision model M·R⁻¹/zoom.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "maps/Map.h"
#include "velmira/velmira.h"

namespace velmira {
namespace {

constexpr double Pi = 3.141592653589793;
constexpr double Deg = Pi / 180;

Ref<Position> LonLat(double lonDeg, double latDeg, int16_t datum = 1) {
  Ref<Position> p = MakeRef<Position>();
  p->SetDatum(datum);
  p->SetLongitudeRads(lonDeg * Deg);
  p->SetLatitudeRads(latDeg * Deg);
  return p;
}

// World coordinates read back the way the map reads them.
void World(Position* p, double& u, double& v) {
  if (p->GetGrid() != 0) {
    u = p->GetEasting();
    v = p->GetNorthing();
  } else {
    u = p->GetLongitudeRads();
    v = p->GetLatitudeRads();
  }
}

// U, V of map pixel (x, y) under the map's calibration.
void Calibrated(const MapRecord& r, double x, double y, double& u, double& v) {
  u = r.UPerX * x + r.UPerY * y + r.UOrigin;
  v = r.VPerX * x + r.VPerY * y + r.VOrigin;
}

struct Pairs {
  Ref<Position> P[3];
  Ref<Point> Q[3];
  void Scale(Map& map, int count) {
    map.SetScale(P[0].Get(), Q[0].Get(), count > 1 ? P[1].Get() : nullptr,
                 count > 1 ? Q[1].Get() : nullptr, count > 2 ? P[2].Get() : nullptr,
                 count > 2 ? Q[2].Get() : nullptr);
  }
};

// Pairs in longitude/latitude degrees and pixels.
Pairs MakePairs(std::initializer_list<double> lonLatXY) {
  Pairs pairs;
  const double* v = lonLatXY.begin();
  for (size_t i = 0; i < lonLatXY.size() / 4; ++i, v += 4) {
    pairs.P[i] = LonLat(v[0], v[1]);
    pairs.Q[i] = MakeRef<Point>(static_cast<int32_t>(v[2]), static_cast<int32_t>(v[3]));
  }
  return pairs;
}

TEST(MapCalibration, EveryRefusalKeepsTheCalibration) {
  const struct {
    const char* Why;
    int Count;
    std::initializer_list<double> Pairs;
    const char* Message;
  } cases[] = {
      {"one pair, x 0", 1, {10, 50, 0, 20}, "Point may not have zero X or Y value!"},
      {"one pair, y 0", 1, {10, 50, 20, 0}, "Point may not have zero X or Y value!"},
      {"two, equal x", 2, {10, 50, 5, 5, 11, 49, 5, 9}, "Points may not have equal X or Y values!"},
      {"two, equal y", 2, {10, 50, 5, 5, 11, 49, 9, 5}, "Points may not have equal X or Y values!"},
      {"two, equal U", 2, {10, 50, 5, 5, 10, 49, 9, 9}, "Points may not have equal X or Y values!"},
      {"two, equal V", 2, {10, 50, 5, 5, 11, 50, 9, 9}, "Points may not have equal X or Y values!"},
      {"three, x equal", 3, {10, 50, 4, 0, 11, 49, 4, 9, 12, 48, 4, 7},
       "All Points may not have equal X or Y values!"},
      {"three, y equal", 3, {10, 50, 0, 4, 11, 49, 9, 4, 12, 48, 7, 4},
       "All Points may not have equal X or Y values!"},
      {"three on a line", 3, {10, 50, 0, 0, 11, 49, 10, 20, 12, 48, 5, 10},
       "Points may not be linear dependent!"},
      // (0,0), (1,2), (0,1) are not on a line, but the whole-number step 1·1/2 is 0.
      {"k truncated to 0", 3, {10, 50, 0, 0, 11, 49, 1, 2, 12, 48, 0, 1},
       "Points may not be linear dependent!"},
  };
  Map map;
  MakePairs({10, 50, 0, 0, 11, 49, 100, 80, 12, 49.5, 30, 200}).Scale(map, 3);
  ASSERT_FALSE(map.GetError().Failed());
  const MapRecord before = map.Record();
  for (const auto& c : cases) {
    MakePairs(c.Pairs).Scale(map, c.Count);
    EXPECT_STREQ(map.GetError().Message, c.Message) << c.Why;
    EXPECT_EQ(map.GetError().Code, 10003) << c.Why;
    EXPECT_EQ(std::memcmp(&map.Record(), &before, sizeof before), 0) << c.Why;
  }
  Ref<Position> p = LonLat(10, 50);
  Ref<Point> q = MakeRef<Point>(1, 1);
  for (auto [position, point] : {std::pair{p.Get(), (Point*)nullptr}, {nullptr, q.Get()}}) {
    map.SetScale(position, point, p.Get(), q.Get(), nullptr, nullptr);
    EXPECT_STREQ(map.GetError().Message, "First Position or Point may not be NULL");
  }
  // A later success clears the record.
  MakePairs({10, 50, 5, 5}).Scale(map, 1);
  EXPECT_FALSE(map.GetError().Failed());
}

TEST(MapCalibration, FitsPassThroughTheirPairs) {
  // Each fit must reproduce the pairs it was given; the three-pair fit only where its
  // whole-number step divides evenly.
  const struct {
    int Count;
    std::initializer_list<double> Pairs;
    bool ThirdExact;
  } cases[] = {
      {1, {10, 50, 400, -300}, true},
      {2, {10, 50, 5, 7, 11, 49, 905, 1007}, true},
      {3, {10, 50, 0, 0, 11, 49, 100, 50, 12, 49.5, 30, 200}, true},      // 150·100 / 50 even
      {3, {10, 50, 0, 0, 11, 49, 10, 3, 10.5, 49.2, 4, 7}, false},        // 7·10 / 3 truncated
      {3, {10, 50, -20, 40, 10.2, 50.1, 70, 40, 9.9, 50.3, 30, -60}, true},  // y1 = y2: swapped
  };
  for (const auto& c : cases) {
    Map map;
    Pairs pairs = MakePairs(c.Pairs);
    pairs.Scale(map, c.Count);
    ASSERT_FALSE(map.GetError().Failed());
    EXPECT_TRUE(map.TransformChanged);
    for (int i = 0; i < c.Count; ++i) {
      double u, v, fu, fv;
      World(pairs.P[i].Get(), u, v);
      Calibrated(map.Record(), pairs.Q[i]->X, pairs.Q[i]->Y, fu, fv);
      const bool exact = i < 2 || c.ThirdExact;
      EXPECT_EQ(std::fabs(fu - u) < 1e-12 && std::fabs(fv - v) < 1e-12, exact)
          << c.Count << " pairs, pair " << i + 1 << ": " << fu - u << ", " << fv - v;
    }
    if (c.Count == 1) {
      double u0, v0;
      Calibrated(map.Record(), 0, 0, u0, v0);
      EXPECT_EQ(u0, 0.0);
      EXPECT_EQ(v0, 0.0);
    }
  }
  // The fit does not depend on which of the pairs with equal y comes first.
  Map a, b;
  MakePairs({10, 50, -20, 40, 10.2, 50.1, 70, 40, 9.9, 50.3, 30, -60}).Scale(a, 3);
  MakePairs({9.9, 50.3, 30, -60, 10.2, 50.1, 70, 40, 10, 50, -20, 40}).Scale(b, 3);
  EXPECT_EQ(std::memcmp(&a.Record(), &b.Record(), sizeof(MapRecord)), 0);
}

TEST(MapCalibration, LaterPositionsTakeTheFirstOnesGridZoneOrDatum) {
  // Position 1 on UTM (grid 1) with its zone not yet computed: the map must store the zone
  // of the point, not whatever the position held before its grid coordinates were read.
  Ref<Position> p1 = LonLat(9.5, 60);
  p1->SetGrid(1);
  Ref<Position> p2 = LonLat(10.5, 59.5, 2);  // another datum, no grid
  Ref<Position> p3 = LonLat(12.5, 60.2);
  p3->SetGrid(1);
  p3->SetZone(33);
  Ref<Point> q1 = MakeRef<Point>(0, 0), q2 = MakeRef<Point>(4000, 3000),
             q3 = MakeRef<Point>(9000, -500);
  Map map;
  map.SetScale(p1.Get(), q1.Get(), p2.Get(), q2.Get(), p3.Get(), q3.Get());
  ASSERT_FALSE(map.GetError().Failed());
  EXPECT_EQ(map.Record().Grid, 1);
  EXPECT_EQ(map.Record().Datum, 0);
  EXPECT_STREQ(map.Record().Zone, "32V");
  EXPECT_EQ(map.ZoneNumber(), 32);
  for (Position* p : {p2.Get(), p3.Get()}) {
    EXPECT_EQ(p->GetGrid(), 1);
    EXPECT_EQ(Ref<Text>::Adopt(p->GetZone())->ToInt16(), 32);
  }
  // A position elsewhere is moved into zone 32 and lands on its pixel.
  Ref<Position> again = LonLat(12.5, 60.2);
  Ref<Point> at = Ref<Point>::Adopt(map.Position2Point(again.Get()));
  EXPECT_NEAR(at->X, 9000, 1);
  EXPECT_NEAR(at->Y, -500, 1);

  Ref<Position> g1 = LonLat(10, 50, 1), g2 = LonLat(11, 49, 2);
  map.SetScale(g1.Get(), q2.Get(), g2.Get(), q3.Get(), nullptr, nullptr);
  EXPECT_EQ(map.Record().Grid, 0);
  EXPECT_EQ(map.Record().Datum, 1);
  EXPECT_EQ(g2->GetDatum(), 1);
}

// The view transform the map must realise: U = M·R⁻¹·q / zoom + origin, in doubles.
struct ViewModel {
  double A, B, C, D, U0, V0;
  ViewModel(const MapRecord& r, double rotation, double zoom) {
    const double cs = std::cos(rotation), sn = std::sin(rotation);
    A = (r.UPerX * cs + r.UPerY * sn) / zoom;
    B = (r.UPerY * cs - r.UPerX * sn) / zoom;
    C = (r.VPerX * cs + r.VPerY * sn) / zoom;
    D = (r.VPerY * cs - r.VPerX * sn) / zoom;
    U0 = r.UOrigin;
    V0 = r.VOrigin;
  }
  // The view pixel that shows world (u, v).
  void Pixel(double u, double v, double& x, double& y) const {
    const double det = A * D - B * C;
    x = (D * (u - U0) - B * (v - V0)) / det;
    y = (A * (v - V0) - C * (u - U0)) / det;
  }
};

TEST(MapView, RoundTripsUnderZoomAndRotation) {
  // A geographic map with shear and a UTM map with a large origin; angles include those
  // where the three-reference solve divides by (nearly) zero.
  Pairs geo = MakePairs({10, 50, 0, 0, 10.3, 49.9, 2000, 300, 10.05, 49.7, 500, 2400});
  Ref<Position> u1 = LonLat(9.2, 60), u2 = LonLat(9.4, 59.9), u3 = LonLat(9.25, 59.8);
  u1->SetGrid(1);
  Pairs utm;
  utm.P[0] = u1, utm.P[1] = u2, utm.P[2] = u3;
  utm.Q[0] = MakeRef<Point>(100, 100), utm.Q[1] = MakeRef<Point>(3000, 900),
  utm.Q[2] = MakeRef<Point>(400, 3300);
  const float singular = static_cast<float>(5 * Pi / 8);
  const float angles[] = {0, 30 * Deg, -45 * Deg, 90 * Deg, 180 * Deg, -179 * Deg, singular,
                          std::nextafter(singular, 4.f), static_cast<float>(-3 * Pi / 8),
                          static_cast<float>(13 * Pi / 8)};
  const int32_t probes[][2] = {{0, 0}, {700, -300}, {-1500, 2200}, {3000, 3000}};
  for (Pairs* pairs : {&geo, &utm}) {
    Map map;
    pairs->Scale(map, 3);
    ASSERT_FALSE(map.GetError().Failed());
    for (float zoom : {0.1f, 0.5f, 1.0f, 2.5f, 10.0f}) {
      for (float angle : angles) {
        map.SetZoom(zoom);
        map.SetRotation(angle);
        const ViewModel model(map.Record(), angle, zoom);
        for (const auto& q : probes) {
          const std::string where = "zoom " + std::to_string(zoom) + " angle " +
                                    std::to_string(angle / Deg) + " at " +
                                    std::to_string(q[0]) + "," + std::to_string(q[1]);
          Ref<Point> point = MakeRef<Point>(q[0], q[1]);
          Ref<Position> position = Ref<Position>::Adopt(map.Point2Position(point.Get()));
          ASSERT_TRUE(position) << where;
          double u, v, x, y;
          World(position.Get(), u, v);
          model.Pixel(u, v, x, y);
          // 32-bit floats throughout: a few pixels over thousands of view pixels.
          const double tolerance = 1.5 + 1e-3 * (std::abs(q[0]) + std::abs(q[1]));
          EXPECT_NEAR(x, q[0], tolerance) << where;
          EXPECT_NEAR(y, q[1], tolerance) << where;
          Ref<Point> back = Ref<Point>::Adopt(map.Position2Point(position.Get()));
          EXPECT_NEAR(back->X, q[0], tolerance) << where;
          EXPECT_NEAR(back->Y, q[1], tolerance) << where;
          // The map pixel under the view pixel: R⁻¹·q / zoom.
          int32_t mx, my;
          map.ViewToMapPixel(q[0], q[1], mx, my);
          const double cs = std::cos(angle), sn = std::sin(angle);
          EXPECT_NEAR(mx, (cs * q[0] - sn * q[1]) / zoom, 1 + tolerance / zoom) << where;
          EXPECT_NEAR(my, (sn * q[0] + cs * q[1]) / zoom, 1 + tolerance / zoom) << where;
        }
      }
    }
  }
}

TEST(MapExports, NameSizeScaleAndTheFileRecord) {
  Ref<Text> name = MakeRef<Text>("Nordmarka 1:50000");
  Map* map = new Map(name.Get());
  VmMap* h = reinterpret_cast<VmMap*>(map);
  BSTR wide = nullptr;
  BSTR returned = Map_GetName(h, &wide);
  ASSERT_EQ(returned, wide);
  EXPECT_EQ(std::u16string(wide, SysStringLen(wide)), u"Nordmarka 1:50000");
  SysFreeString(wide);

  Ref<Position> p = LonLat(10.5, 60);
  Ref<Point> q = MakeRef<Point>(512, 640);
  Map_SetScale(h, reinterpret_cast<VmPosition*>(p.Get()), reinterpret_cast<VmPoint*>(q.Get()),
               nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(Error_ErrNum(Map_GetErrHandle(h)), 0);
  Ref<Point> size = Ref<Point>::Adopt(reinterpret_cast<Point*>(Map_GetSize(h)));
  EXPECT_EQ(size->X, 0);

  uint8_t bytes[134];
  std::memset(bytes, 0xAA, sizeof bytes);
  ASSERT_EQ(VmMap_GetRecord(h, bytes), 1);
  EXPECT_EQ(VmMap_GetRecord(nullptr, bytes), 0);
  EXPECT_EQ(VmMap_GetRecord(h, nullptr), 0);
  auto u16 = [&](int at) { return bytes[at] | bytes[at + 1] << 8; };
  auto f64 = [&](int at) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | bytes[at + i];
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  };
  EXPECT_EQ(u16(0), 1);
  EXPECT_EQ(u16(2), 0);
  EXPECT_EQ(u16(8), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes + 10)), "Nordmarka 1:500");  // 15 kept
  EXPECT_EQ(u16(66), 1);  // datum
  EXPECT_EQ(u16(68), 0);  // grid
  EXPECT_DOUBLE_EQ(f64(98), 10.5 * Deg / 512);
  EXPECT_DOUBLE_EQ(f64(122), 60 * Deg / 640);
  EXPECT_EQ(f64(82), 0.0);
  EXPECT_EQ(u16(130), 256);
  EXPECT_EQ(u16(132), 256);
  for (int at : {4, 5, 6, 7, 26, 41, 42, 57}) EXPECT_EQ(bytes[at], 0) << at;
  Map_Delete(h);
}

}  // namespace
}  // namespace velmira
