// The Danish System 34 grids: each direction's published polynomial must undo the other's (no
// wrong term order or lost term survives that). Places are UTM 32 on ED50, made by PROJ.
#include <gtest/gtest.h>

#include <limits>

#include "GeoTesting.h"
#include "frame/Error.h"
#include "geo/PointInPolygon.h"
#include "geo/System34.h"
#include "geo/System34Tables.h"

namespace velmira {
namespace {

using namespace s34tables;
using namespace velmira::testing;

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

TEST(TransformS34, PlacesRoundTripWithinTheCheckInTheirOwnRegionOnly) {
  for (const RefRow& place : ReadRows("proj/utm32_ed50_places.txt")) {
    const double northing = place.V[3], easting = place.V[2];
    // The places east of 11 E are on Sjaelland, those at 54 N in neither region.
    const int home = place.V[0] < 55 ? 0 : place.V[1] > 11 ? S34Sjaelland : S34Jylland;
    for (int region : {S34Jylland, S34Sjaelland}) {
      SCOPED_TRACE(place.Name + " in region " + std::to_string(region));
      double s1 = -1, s2 = -1, n = 0, e = 0;
      const int status = TransformS34(northing, easting, region, S34Forward, s1, s2);
      if (home != region) {
        EXPECT_NE(status, S34Ok);
        EXPECT_TRUE(status != S34OutsideBox || s1 == -1) << "nothing is written outside the box";
        continue;
      }
      ASSERT_EQ(status, S34Ok);
      ASSERT_EQ(TransformS34(s1, s2, region, S34Inverse, n, e), S34Ok);
      EXPECT_NEAR(n, northing, S34CheckLimit);
      EXPECT_NEAR(e, easting, S34CheckLimit);
    }
  }
  // The centre of the forward table gives its constant terms.
  double n = 0, e = 0;
  EXPECT_EQ(TransformS34(6208030.167965, 533649.794619, S34Jylland, S34Forward, n, e), S34Ok);
  EXPECT_EQ(std::make_pair(n, e), std::make_pair(176325.2943, 262190.50871));
  // 10 km west of the polygon's western edge (easting 435000), in the North Sea: outside the
  // polygon, yet the result is still written.
  EXPECT_EQ(TransformS34(6200000, 425000, S34Jylland, S34Forward, n, e), S34OutsidePolygon);
  EXPECT_TRUE(n != 176325.2943 && e != 262190.50871) << n << " " << e;
}

// The box corners lie far outside the polygon, so the status tells the box test apart.
TEST(TransformS34, BoxBoundsAreInclusiveAndBadInputIsOutsideTheBox) {
  const int J = S34Jylland, S = S34Sjaelland, F = S34Forward, I = S34Inverse;
  using Row = std::tuple<double, double, int, int, bool>;  // ..., outside the box
  for (auto [first, second, region, direction, outside] :
       {Row{6000000, 300000, J, F, false}, {6500000, 700000, J, F, false},
        {std::nextafter(6000000.0, 0.0), 500000, J, F, true},
        {6200000, std::nextafter(700000.0, 1e9), J, F, true}, {-43894, 31610, S, I, false},
        {280862, 248251, S, I, false}, {Nan, 500000, J, F, true}, {6200000, Nan, J, F, true},
        {Inf, 500000, J, F, true}, {6200000, -Inf, S, I, true}, {6200000, 500000, 3, F, true},
        {6200000, 500000, 0, F, true}, {6200000, 500000, J, 0, true}}) {
    double n = 0, e = 0;
    EXPECT_EQ(TransformS34(first, second, region, direction, n, e) == S34OutsideBox, outside)
        << first << " " << second << " region " << region << " direction " << direction;
  }
}

constexpr int In = InsidePolygon, On = OnPolygonBoundary, Out = OutsidePolygon;

// Polygons are the vertex count, then (first, second) vertices.
std::vector<double> Polygon(std::initializer_list<std::pair<double, double>> vertices) {
  std::vector<double> p{static_cast<double>(vertices.size())};
  for (auto [f, s] : vertices) p.insert(p.end(), {f, s});
  return p;
}

// Reference: on an edge (exactly, for the small whole numbers below), else the parity of the
// edges that cross the ray toward smaller second coordinates, each edge half-open in first.
int PointInPolygonModel(const std::vector<double>& p, double f, double s) {
  const int count = static_cast<int>(p[0]);
  bool inside = false;
  for (int k = 0; k < count; ++k) {
    const double f1 = p[1 + 2 * k], s1 = p[2 + 2 * k];
    const double f2 = p[1 + 2 * ((k + 1) % count)], s2 = p[2 + 2 * ((k + 1) % count)];
    if ((f2 - f1) * (s - s1) == (s2 - s1) * (f - f1) && std::min(f1, f2) <= f &&
        f <= std::max(f1, f2) && std::min(s1, s2) <= s && s <= std::max(s1, s2)) {
      return On;
    }
    if ((f1 > f) != (f2 > f) && s1 + (f - f1) * (s2 - s1) / (f2 - f1) < s) inside = !inside;
  }
  return inside ? In : Out;
}

const auto Square = Polygon({{0, 0}, {0, 2}, {2, 2}, {2, 0}});

// Every half-unit point around shapes whose vertices and edges lie on the ray's line: a
// vertex only touching it, runs of vertices along it, both orientations, a closing vertex.
TEST(PointInPolygon, AgreesWithTheReferenceAroundEveryVertexAndEdge) {
  const std::pair<const char*, std::vector<double>> shapes[] = {
      {"triangle", Polygon({{0, 0}, {2, 1}, {2, -1}})},
      {"reversed triangle", Polygon({{0, 0}, {2, -1}, {2, 1}})},
      {"square", Square},
      {"closed square", Polygon({{0, 0}, {0, 2}, {2, 2}, {2, 0}, {0, 0}})},
      {"diamond", Polygon({{0, 0}, {1, 1}, {0, 2}, {-1, 1}})},
      {"step", Polygon({{-1, 0}, {0, 1}, {0, 2}, {1, 3}, {1, 6}, {-1, 6}})}};
  for (const auto& [name, shape] : shapes) {
    for (double f = -1.5; f <= 3; f += 0.5) {
      for (double s = -1.5; s <= 7; s += 0.5) {
        EXPECT_EQ(PointInPolygon(shape, f, s), PointInPolygonModel(shape, f, s))
            << name << " at " << f << ", " << s;
      }
    }
  }
}

// Non-finite points never get this far: the box refuses them first.
TEST(PointInPolygon, BadCountsStayInBounds) {
  // A count larger than the stored vertices is cut to what is there; odd counts are bad data.
  for (auto [count, want] : {std::pair{1e9, In}, {-4.0, Out}, {0.0, Out}, {Nan, Out}}) {
    auto wrong = Square;
    wrong[0] = count;
    EXPECT_EQ(PointInPolygon(wrong, 1, 1), want) << count;
  }
  EXPECT_EQ(PointInPolygon(std::span<const double>(), 1, 1), OutsidePolygon);
}

// Grids 48 and 49 are UTM zone 32 on datum 27 through the polynomials, from the grid's own
// datum and from WGS 84 (through the datum shift); outside their polygons they refuse. Either
// way the geographic side is restored after the step.
TEST(System34Grid, PointsAreTheUtmPointThroughThePolynomialAndOutsidePointsAreRefused) {
  const std::string outside = errors::OutsideGrid.Message;
  const struct { int16_t Grid, Datum; double Lat, Lon; bool Inside; } cases[] = {
      {48, 27, 56, 9, true},  {48, 1, 56, 9, true},  {48, 27, 55.6761, 12.5683, false},
      {49, 27, 55.6761, 12.5683, true}, {48, 27, 54, 9, false}, {48, 27, 54, 12, false},
      {49, 27, 54, 9, false}, {49, 27, 54, 12, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "grid " << c.Grid << " datum " << c.Datum << " at "
                                      << c.Lat << ", " << c.Lon);
    Ref<GeoPoint> at = PointOn(c.Grid, c.Datum, c.Lat, c.Lon), utm = PointOn(47, c.Datum, c.Lat, c.Lon);
    at->GeoToGrid();
    EXPECT_EQ(Message(at->GetError()), c.Inside ? "" : outside);
    EXPECT_EQ(std::vector<double>({at->Latitude, at->Longitude, at->Height, 1.0 * at->Datum}),
              std::vector<double>({c.Lat * Deg, c.Lon * Deg, 0, 1.0 * c.Datum}));
    if (!c.Inside) continue;
    utm->PinnedZone = 32;
    utm->GeoToGrid();
    double first = 0, second = 0;
    const int region = c.Grid == 48 ? S34Jylland : S34Sjaelland;
    ASSERT_EQ(TransformS34(utm->Northing, utm->Easting, region, S34Forward, first, second), S34Ok);
    EXPECT_EQ(std::make_pair(at->Northing, at->Easting), std::make_pair(first, second));
    at->Latitude = at->Longitude = 0;
    at->GridToGeo();
    ASSERT_FALSE(at->GetError().Failed());
    EXPECT_LT(GroundDistance(at->Latitude, at->Longitude, c.Lat * Deg, c.Lon * Deg, 6378388), 0.06);
  }
  Ref<GeoPoint> at = PointOn(48, 27, 56, 9);
  for (double bad : {1e6, Nan}) {
    at->Easting = bad, at->Northing = 1e6;
    at->GridToGeo();
    EXPECT_EQ(Message(at->GetError()), outside) << bad;
    EXPECT_TRUE(at->Latitude == 56 * Deg && at->Longitude == 9 * Deg) << bad;
  }
}

}  // namespace
}  // namespace velmira
