// Map calibration: refusals and fits, and round trips under zoom and rotation against the
// double model M·R⁻¹/zoom.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "maps/Map.h"

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
  void Scale(Map& map) { map.SetScale(P[0].Get(), Q[0].Get(), P[1].Get(), Q[1].Get(), P[2].Get(), Q[2].Get()); }
};

TEST(MapCalibration, EveryRefusalKeepsTheCalibration) {
  const struct { std::initializer_list<double> Pairs; const ErrorKind& Refusal; } cases[] = {
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
  Pairs good({10, 50, 0, 0, 11, 49, 100, 80, 12, 49.5, 30, 200});
  good.Scale(map);
  const MapRecord before = map.Record();
  for (const auto& c : cases) {
    Pairs(c.Pairs).Scale(map);
    EXPECT_STREQ(map.GetError().Message, c.Refusal.Message);
    EXPECT_EQ(std::memcmp(&map.Record(), &before, sizeof before), 0) << c.Refusal.Message;
  }
  map.SetScale(good.P[0].Get(), nullptr, good.P[0].Get(), good.Q[0].Get(), nullptr, nullptr);
  EXPECT_STREQ(map.GetError().Message, errors::FirstPairNull.Message);
}

// Every fit passes through its pairs, but the three-pair fit misses pair 3 where its whole-number
// step does not divide evenly; one pair scales from the origin. On the last two, view pixels
// round-trip at every zoom and rotation against the double model: a geographic map with shear
// whose second position is on another datum, and a UTM map with a large origin whose first
// position has not computed its zone yet and whose third is in another zone (the later
// positions are converted in place).
TEST(MapCalibration, FitsPassThroughTheirPairsAndViewsRoundTripUnderZoomAndRotation) {
  struct Case { Pairs P; bool ThirdExact, RoundTrip; } cases[] = {
      {{10, 50, 400, -300}, true, false}, {{10, 50, 5, 7, 11, 49, 905, 1007}, true, false},
      {{10, 50, 0, 0, 11, 49, 100, 50, 12, 49.5, 30, 200}, true, false},         // 150·100 / 50
      {{10, 50, 0, 0, 11, 49, 10, 3, 10.5, 49.2, 4, 7}, false, false},           // 7·10 / 3
      {{10, 50, -20, 40, 10.2, 50.1, 70, 40, 9.9, 50.3, 30, -60}, true, false},  // y1 = y2
      {{10, 50, 0, 0, 10.3, 49.9, 2000, 300, 10.05, 49.7, 500, 2400}, true, true},
      {{9.2, 60, 100, 100, 9.4, 59.9, 3000, 900, 9.25, 59.8, 400, 3300}, true, true},
  };
  Pairs &geo = cases[5].P, &utm = cases[6].P;
  geo.P[1]->SetDatum(2);
  utm.P[0]->SetGrid(1), utm.P[2]->SetGrid(1), utm.P[2]->SetZone(33);
  for (Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    Map map;
    c.P.Scale(map);
    ASSERT_FALSE(map.GetError().Failed());
    for (int i = 0; i < c.P.Count; ++i) {
      const auto [x, y] = MapPixel(map.Record(), c.P.P[i].Get());
      EXPECT_EQ(std::hypot(x - c.P.Q[i]->X, y - c.P.Q[i]->Y) < 1e-6, i < 2 || c.ThirdExact) << "pair " << i + 1;
    }
    EXPECT_TRUE(c.P.Count > 1 || (map.Record().UOrigin == 0 && map.Record().VOrigin == 0));
    if (!c.RoundTrip) continue;
    EXPECT_STREQ(map.Record().Zone, &c.P == &utm ? "32V" : "");
    for (float zoom : {0.1f, 0.5f, 1.0f, 2.5f, 10.0f}) {
      for (double degrees : {0.0, 30.0, -45.0, 90.0, 180.0, -179.0, 112.5, 112.50001, -67.5, 292.5}) {
        const float angle = static_cast<float>(degrees * Deg);
        map.SetZoom(zoom);
        map.SetRotation(angle);
        const double cs = std::cos(angle), sn = std::sin(angle);
        for (const auto& [qx, qy] : {std::pair{0, 0}, {700, -300}, {-1500, 2200}, {3000, 3000}}) {
          SCOPED_TRACE(testing::Message() << zoom << " x, " << degrees << " deg at " << qx << "," << qy);
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
    for (Position* p : {c.P.P[1].Get(), c.P.P[2].Get()}) {  // converted in place
      EXPECT_EQ(p->GetGrid() ? Ref<Text>::Adopt(p->GetZone())->ToInt16() : p->GetDatum(), &c.P == &utm ? 32 : 1);
    }
  }
}

// A view pixel's world point is a 32-bit float with the origin in it before the calibration is
// inverted: at easting 500010.01 floats are 1/32 m apart, so view pixel (10, 10) of a 1 m grid
// map whose pixel (0, 0) is at 500000.01 shows U = 500010.0, that is map column 9.99 -> 9.
TEST(MapView, ViewToMapPixelRoundsTheWorldPointWithItsOrigin) {
  Pairs pairs({0, 0, 0, 0, 0, 0, 1000, 1000});
  for (int i = 0; i < 2; ++i) {
    pairs.P[i]->SetGrid(1);
    pairs.P[i]->SetZone(32);
    pairs.P[i]->SetEasting(500000.01 + 1000 * i);
    pairs.P[i]->SetNorthing(5000000.01 - 1000 * i);
  }
  Map map;
  pairs.Scale(map);
  ASSERT_FALSE(map.GetError().Failed()) << map.GetError().Message;
  int32_t x = 0, y = 0;
  map.ViewToMapPixel(10, 10, x, y);
  EXPECT_EQ(x, 9);   // the float point 500010.0 lies 0.01 m west of column 10
  EXPECT_EQ(y, 10);  // northing 4999990.01 -> 4999990.0, 0.01 m south of row 10
}

}  // namespace
}  // namespace velmira
