// The Danish System 34 grids: the published polynomials, their boxes and polygons (and the
// point-in-polygon rule under them), and grids 48 and 49 on top of UTM zone 32. Places are
// UTM 32 on ED50, made by PROJ.
#include <gtest/gtest.h>

#include <limits>
#include <map>

#include "GeoTesting.h"
#include "frame/Error.h"
#include "geo/PointInPolygon.h"
#include "geo/System34.h"
#include "geo/System34Tables.h"

namespace velmira {
namespace {

using namespace s34tables;
using namespace velmira::testing;

struct UtmPlace {
  double Northing, Easting;
};

std::map<std::string, UtmPlace> Places() {
  std::map<std::string, UtmPlace> places;
  for (const RefRow& r : ReadRows("proj/utm32_ed50_places.txt")) places[r.Name] = {r.V[3], r.V[2]};
  return places;
}

// Sum of c(i, j) x^i y^j term by term with pow(), the coefficients in the published order
// (by rising power of y, within one by rising power of x).
double DirectSum(const double* c, int d, double x, double y) {
  double sum = 0;
  int k = 0;
  for (int j = 0; j <= d; ++j) {
    for (int i = 0; i <= d - j; ++i) sum += c[k++] * std::pow(x, i) * std::pow(y, j);
  }
  return sum;
}

TEST(System34Polynomial, HornerOrderMatchesTheTermByTermSum) {
  for (auto table : {std::span<const double>(JyllandForwardPolynomial),
                     std::span<const double>(JyllandInversePolynomial),
                     std::span<const double>(SjaellandForwardPolynomial),
                     std::span<const double>(SjaellandInversePolynomial)}) {
    const int d = static_cast<int>(table[0]);
    const int k = (d + 1) * (d + 2) / 2;
    const double n0 = table[1 + k], e0 = table[2 + 2 * k];
    for (double dx : {-150000.0, -3000.0, 0.0, 42000.0, 160000.0}) {
      for (double dy : {-170000.0, -5000.0, 0.0, 7000.0, 150000.0}) {
        double first = 0, second = 0;
        EvaluateS34Polynomial(table, n0 + dx, e0 + dy, first, second);
        const double want1 = DirectSum(table.data() + 1, d, dx, dy);
        const double want2 = DirectSum(table.data() + 2 + k, d, dy, dx);
        EXPECT_NEAR(first, want1, 1e-9 * std::fabs(want1) + 1e-6) << d << " " << dx << " " << dy;
        EXPECT_NEAR(second, want2, 1e-9 * std::fabs(want2) + 1e-6) << d << " " << dx << " " << dy;
      }
    }
  }
}

TEST(TransformS34, PlacesOfEachRegionRoundTripWithinTheCheckAndOthersAreOutside) {
  const auto places = Places();
  const struct {
    const char* Name;
    int Region, Status;
  } cases[] = {
      {"Jylland_56N_9E", S34Jylland, S34Ok},       {"Aarhus", S34Jylland, S34Ok},
      {"Aalborg", S34Jylland, S34Ok},              {"Esbjerg", S34Jylland, S34Ok},
      {"Viborg", S34Jylland, S34Ok},               {"Skagen", S34Jylland, S34Ok},
      {"Copenhagen", S34Sjaelland, S34Ok},         {"Roskilde", S34Sjaelland, S34Ok},
      {"Naestved", S34Sjaelland, S34Ok},           {"Holbaek", S34Sjaelland, S34Ok},
      {"Copenhagen", S34Jylland, S34OutsideBox},   {"South_54N_9E", S34Jylland, S34OutsideBox},
      {"South_54N_9E", S34Sjaelland, S34OutsideBox}, {"South_54N_12E", S34Jylland, S34OutsideBox},
      {"South_54N_12E", S34Sjaelland, S34OutsideBox}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Name << " in region " << c.Region);
    const UtmPlace p = places.at(c.Name);
    double s1 = -1, s2 = -1, n = 0, e = 0;
    ASSERT_EQ(TransformS34(p.Northing, p.Easting, c.Region, S34Forward, s1, s2), c.Status);
    if (c.Status != S34Ok) {
      EXPECT_EQ(s1, -1) << "nothing is written outside the box";
      continue;
    }
    ASSERT_EQ(TransformS34(s1, s2, c.Region, S34Inverse, n, e), S34Ok);
    EXPECT_NEAR(n, p.Northing, S34CheckLimit);
    EXPECT_NEAR(e, p.Easting, S34CheckLimit);
  }
  // The centre of the forward table gives its constant terms.
  double n = 0, e = 0;
  EXPECT_EQ(TransformS34(6208030.167965, 533649.794619, S34Jylland, S34Forward, n, e), S34Ok);
  EXPECT_EQ(n, 176325.2943);
  EXPECT_EQ(e, 262190.50871);
  // 10 km west of the polygon's western edge (easting 435000), in the North Sea: outside the
  // polygon, yet the result is still written.
  EXPECT_EQ(TransformS34(6200000, 425000, S34Jylland, S34Forward, n, e), S34OutsidePolygon);
  EXPECT_NE(n, 176325.2943);
  EXPECT_NE(e, 262190.50871);
}

TEST(TransformS34, BoxBoundsAreInclusiveAndBadInputIsOutsideTheBox) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const int J = S34Jylland, F = S34Forward;
  const struct {
    double First, Second;
    int Region, Direction;
    bool OutsideBox;
  } cases[] = {
      // The box corners lie far outside the polygon, so the status tells the box test apart.
      {6000000, 300000, J, F, false}, {6500000, 700000, J, F, false},
      {std::nextafter(6000000.0, 0.0), 500000, J, F, true},
      {6200000, std::nextafter(700000.0, 1e9), J, F, true},
      {-43894, 31610, S34Sjaelland, S34Inverse, false},
      {280862, 248251, S34Sjaelland, S34Inverse, false},
      {nan, 500000, J, F, true}, {6200000, nan, J, F, true}, {inf, 500000, J, F, true},
      {6200000, -inf, S34Sjaelland, S34Inverse, true}, {6200000, 500000, 3, F, true},
      {6200000, 500000, 0, F, true}, {6200000, 500000, J, 0, true}};
  for (const auto& c : cases) {
    double n = 0, e = 0;
    EXPECT_EQ(TransformS34(c.First, c.Second, c.Region, c.Direction, n, e) == S34OutsideBox,
              c.OutsideBox)
        << c.First << " " << c.Second << " region " << c.Region << " direction " << c.Direction;
  }
}

// Polygons are (first, second) vertices after the count; the ray runs toward smaller second
// coordinates along the line first = point's first.
std::vector<double> Polygon(std::initializer_list<std::pair<double, double>> vertices) {
  std::vector<double> p{static_cast<double>(vertices.size())};
  for (auto [f, s] : vertices) p.insert(p.end(), {f, s});
  return p;
}

constexpr int In = InsidePolygon, On = OnPolygonBoundary, Out = OutsidePolygon;
const auto Triangle = Polygon({{0, On}, {2, In}, {2, Out}});
const auto TriangleReversed = Polygon({{0, On}, {2, Out}, {2, In}});
const auto Square = Polygon({{0, On}, {0, 2}, {2, 2}, {2, On}});
const auto SquareClosed = Polygon({{0, On}, {0, 2}, {2, 2}, {2, On}, {0, On}});
// The ray from (0, 3) passes through both vertices on the line, where the boundary crosses.
const auto Diamond = Polygon({{0, On}, {1, In}, {0, 2}, {-1, In}});
// Two successive vertices on the line first = 0; the boundary goes through it there.
const auto Step = Polygon({{-1, On}, {0, In}, {0, 2}, {1, 3}, {1, 6}, {-1, 6}});

TEST(PointInPolygon, NamedScenes) {
  const struct {
    const char* Scene;
    const std::vector<double>& Shape;
    double F, S;
    int Want;
  } cases[] = {
      {"inside", Triangle, 1, 0.2, In}, {"inside low", Triangle, 1, -0.4, In},
      {"above", Triangle, 1, 0.7, Out}, {"below", Triangle, 1, -0.7, Out},
      {"beyond", Triangle, 3, 0, Out},  {"before", Triangle, -1, 0, Out},
      {"apex only touches the line", Triangle, 0, 5, Out},
      {"rising edge", Triangle, 1, 0.5, On}, {"falling edge", Triangle, 1, -0.5, On},
      {"edge along the line", Triangle, 2, 0, On}, {"vertex", Triangle, 0, 0, On},
      {"far vertex", Triangle, 2, 1, On},
      {"reversed rising edge", TriangleReversed, 1, 0.5, On},
      {"reversed falling edge", TriangleReversed, 1, -0.5, On},
      {"reversed edge along the line", TriangleReversed, 2, 0, On},
      {"reversed vertex", TriangleReversed, 0, 0, On},
      {"reversed far vertex", TriangleReversed, 2, 1, On},
      {"top edge across the ray", Square, 1, 2, On},
      {"bottom edge across the ray", Square, 1, 0, On},
      {"side on the line only touches", Square, 0, 3, Out},
      {"in square", Square, 1, 1, In}, {"above square", Square, 1, 3, Out},
      {"vertices on the ray, inside", Diamond, 0, 1.5, In},
      {"vertices on the ray, outside", Diamond, 0, 3, Out}, {"below diamond", Diamond, 0, -1, Out},
      {"run of vertices counts once", Step, 0, 4, In}, {"on the run", Step, 0, 1.5, On},
      {"above the run", Step, 0, 7, Out},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PointInPolygon(c.Shape, c.F, c.S), c.Want) << c.Scene;
  }
  // A repeated closing vertex changes nothing.
  for (double f : {-0.5, 0.0, 1.0, 2.0, 2.5}) {
    for (double s : {-1.0, 0.0, 1.0, 2.0, 3.0}) {
      EXPECT_EQ(PointInPolygon(Square, f, s), PointInPolygon(SquareClosed, f, s)) << f << " " << s;
    }
  }
}

TEST(PointInPolygon, BadInputIsOutsideAndStaysInBounds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& b : {std::pair{nan, 1.0}, {1.0, nan}, {inf, 1.0}, {1.0, -inf}, {1.0, inf}}) {
    EXPECT_EQ(PointInPolygon(Square, b.first, b.second), OutsidePolygon) << b.first << b.second;
  }
  // A count larger than the stored vertices is cut to what is there; odd counts are bad data.
  auto overstated = Square;
  overstated[0] = 1e9;
  EXPECT_EQ(PointInPolygon(overstated, 1, 1), InsidePolygon);
  for (double count : {-4.0, 0.0, nan}) {
    auto wrong = Square;
    wrong[0] = count;
    EXPECT_EQ(PointInPolygon(wrong, 1, 1), OutsidePolygon) << count;
  }
  EXPECT_EQ(PointInPolygon(std::span<const double>(), 1, 1), OutsidePolygon);
}

bool IsOutsideGrid(const GeoPoint& p) {
  return p.GetError().Code == errors::OutsideGrid.Code && p.GetError().Message != nullptr &&
         std::string(p.GetError().Message) == errors::OutsideGrid.Message;
}

// Grids 48 and 49 are UTM zone 32 on datum 27 through the polynomials, from the grid's own
// datum and from WGS 84 (through the datum shift); outside their polygons they refuse and
// keep the other side of the point.
TEST(System34Grid, PointsAreTheUtmPointThroughThePolynomialAndOutsidePointsAreRefused) {
  const struct {
    int16_t Grid, Datum;
    double Lat, Lon;
    bool Inside;
  } cases[] = {{48, 27, 56, 9, true},           {48, 1, 56, 9, true},
               {48, 27, 55.6761, 12.5683, false}, {49, 27, 55.6761, 12.5683, true},
               {48, 27, 54, 9, false},          {48, 27, 54, 12, false},
               {49, 27, 54, 9, false},          {49, 27, 54, 12, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "grid " << c.Grid << " datum " << c.Datum << " at "
                                      << c.Lat << ", " << c.Lon);
    PointOn at(c.Grid, c.Datum, c.Lat, c.Lon), utm(47, c.Datum, c.Lat, c.Lon);
    at.P.GeoToGrid();
    EXPECT_EQ(IsOutsideGrid(at.P), !c.Inside);
    EXPECT_EQ(at.P.Latitude, c.Lat * Deg) << "restored after the step";
    if (!c.Inside) continue;
    utm.P.PinnedZone = 32;
    utm.P.GeoToGrid();
    double first = 0, second = 0;
    const int region = c.Grid == 48 ? S34Jylland : S34Sjaelland;
    ASSERT_EQ(TransformS34(utm.P.Northing, utm.P.Easting, region, S34Forward, first, second),
              S34Ok);
    EXPECT_EQ(at.P.Northing, first);
    EXPECT_EQ(at.P.Easting, second);
    at.P.Latitude = at.P.Longitude = 0;
    at.P.GridToGeo();
    ASSERT_FALSE(at.P.GetError().Failed());
    EXPECT_LT(GroundDistance(at.P.Latitude, at.P.Longitude, c.Lat * Deg, c.Lon * Deg, 6378388),
              0.06);
  }
  PointOn at(48, 27, 56, 9);
  for (double bad : {1e6, std::nan("")}) {
    at.P.Easting = bad;
    at.P.Northing = 1e6;
    at.P.GridToGeo();
    EXPECT_TRUE(IsOutsideGrid(at.P)) << bad;
    EXPECT_EQ(at.P.Latitude, 56 * Deg);
    EXPECT_EQ(at.P.Longitude, 9 * Deg);
  }
}

}  // namespace
}  // namespace velmira
