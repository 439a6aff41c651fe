#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>

#include "ProjectionReference.h"
#include "frame/Error.h"
#include "geo/System34.h"
#include "geo/System34Tables.h"

namespace velmira {
namespace {

using namespace s34tables;

struct UtmPlace {
  double Easting, Northing;
};

// UTM zone 32 coordinates on the ED50 ellipsoid of named places, made by PROJ.
std::map<std::string, UtmPlace> ReadPlaces() {
  std::ifstream in(std::string(VELMIRA_TEST_DATA) + "/proj/utm32_ed50_places.txt");
  std::map<std::string, UtmPlace> places;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name;
    double lat = 0, lon = 0;
    UtmPlace p{};
    if (fields >> name >> lat >> lon >> p.Easting >> p.Northing) places[name] = p;
  }
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

TEST(System34Tables, HoldThePublishedLeadingFigures) {
  // Degree, first coefficients and centres as the published description quotes them.
  EXPECT_EQ(JyllandForwardPolynomial[0], 13.0);
  EXPECT_EQ(JyllandForwardPolynomial[1], 176325.2943);
  EXPECT_EQ(JyllandForwardPolynomial[2], 1.0001388938);
  EXPECT_EQ(JyllandForwardPolynomial[3], -1.1576375523e-10);
  EXPECT_EQ(JyllandForwardPolynomial[106], 6208030.167965);
  EXPECT_EQ(JyllandForwardPolynomial[107], 262190.50871);
  EXPECT_EQ(JyllandForwardPolynomial[108], -1.0001375777);
  EXPECT_EQ(JyllandForwardPolynomial[109], 2.7781407173e-10);
  EXPECT_EQ(JyllandForwardPolynomial[212], 533649.794619);
  EXPECT_EQ(JyllandInversePolynomial[1], 6208029.9895);
  EXPECT_EQ(JyllandInversePolynomial[2], 0.9994622733);
  EXPECT_EQ(JyllandInversePolynomial[3], 9.5352430588e-11);
  EXPECT_EQ(JyllandInversePolynomial[106], 176325.080506);
  EXPECT_EQ(JyllandInversePolynomial[107], 533651.56389);
  EXPECT_EQ(JyllandInversePolynomial[108], -0.99946358837);
  EXPECT_EQ(JyllandInversePolynomial[109], 2.7668598883e-10);
  EXPECT_EQ(JyllandInversePolynomial[212], 262188.742761);
  EXPECT_EQ(SjaellandForwardPolynomial[0], 9.0);
  EXPECT_EQ(SjaellandInversePolynomial[0], 9.0);
  EXPECT_EQ(JyllandForwardPolygon[0], 8.0);
  EXPECT_EQ(JyllandForwardPolygon[1], 6080000.0);
  EXPECT_EQ(JyllandInversePolygon[16], 258789.3);
  EXPECT_EQ(SjaellandInverseBox[3], 248251.0);
}

TEST(System34Polynomial, HornerOrderMatchesTheTermByTermSum) {
  const std::span<const double> tables[] = {JyllandForwardPolynomial, JyllandInversePolynomial,
                                            SjaellandForwardPolynomial, SjaellandInversePolynomial};
  for (auto table : tables) {
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

TEST(TransformS34, CentreOfTheForwardTableGivesTheConstantTerms) {
  double n = 0, e = 0;
  EXPECT_EQ(TransformS34(6208030.167965, 533649.794619, S34Jylland, S34Forward, n, e), S34Ok);
  EXPECT_EQ(n, 176325.2943);
  EXPECT_EQ(e, 262190.50871);
}

TEST(TransformS34, JyllandPlacesRoundTripWithinTheCheck) {
  const auto places = ReadPlaces();
  for (const char* name : {"Jylland_56N_9E", "Aarhus", "Aalborg", "Esbjerg", "Viborg", "Skagen"}) {
    SCOPED_TRACE(name);
    const UtmPlace p = places.at(name);
    double s1 = 0, s2 = 0, n = 0, e = 0;
    ASSERT_EQ(TransformS34(p.Northing, p.Easting, S34Jylland, S34Forward, s1, s2), S34Ok);
    ASSERT_EQ(TransformS34(s1, s2, S34Jylland, S34Inverse, n, e), S34Ok);
    EXPECT_NEAR(n, p.Northing, S34CheckLimit);
    EXPECT_NEAR(e, p.Easting, S34CheckLimit);
  }
}

TEST(TransformS34, CopenhagenIsOutsideJyllandButInsideSjaelland) {
  const auto places = ReadPlaces();
  const UtmPlace cph = places.at("Copenhagen");
  double n = -1, e = -1;
  EXPECT_EQ(TransformS34(cph.Northing, cph.Easting, S34Jylland, S34Forward, n, e), S34OutsideBox);
  EXPECT_EQ(n, -1);  // nothing written outside the box
  for (const char* name : {"Copenhagen", "Roskilde", "Naestved", "Holbaek"}) {
    SCOPED_TRACE(name);
    const UtmPlace p = places.at(name);
    double s1 = 0, s2 = 0;
    ASSERT_EQ(TransformS34(p.Northing, p.Easting, S34Sjaelland, S34Forward, s1, s2), S34Ok);
    ASSERT_EQ(TransformS34(s1, s2, S34Sjaelland, S34Inverse, n, e), S34Ok);
    EXPECT_NEAR(n, p.Northing, S34CheckLimit);
    EXPECT_NEAR(e, p.Easting, S34CheckLimit);
  }
}

TEST(TransformS34, FiftyFourNorthIsOutsideBothBoxes) {
  const auto places = ReadPlaces();
  for (const char* name : {"South_54N_9E", "South_54N_12E"}) {
    const UtmPlace p = places.at(name);
    double n = -1, e = -1;
    EXPECT_EQ(TransformS34(p.Northing, p.Easting, S34Jylland, S34Forward, n, e), S34OutsideBox)
        << name;
    EXPECT_EQ(TransformS34(p.Northing, p.Easting, S34Sjaelland, S34Forward, n, e), S34OutsideBox)
        << name;
    EXPECT_EQ(n, -1);
  }
}

TEST(TransformS34, InsideTheBoxButOutsideThePolygonStillWritesTheResult) {
  // 10 km west of the polygon's western edge (easting 435000), in the North Sea.
  double n = 0, e = 0;
  EXPECT_EQ(TransformS34(6200000, 425000, S34Jylland, S34Forward, n, e), S34OutsidePolygon);
  EXPECT_NE(n, 0);
  EXPECT_NE(e, 0);
}

TEST(TransformS34, BoxBoundsAreInclusive) {
  // The box corners lie far outside the polygon, so the status tells the box test apart.
  double n = 0, e = 0;
  EXPECT_NE(TransformS34(6000000, 300000, S34Jylland, S34Forward, n, e), S34OutsideBox);
  EXPECT_NE(TransformS34(6500000, 700000, S34Jylland, S34Forward, n, e), S34OutsideBox);
  EXPECT_EQ(TransformS34(std::nextafter(6000000.0, 0.0), 500000, S34Jylland, S34Forward, n, e),
            S34OutsideBox);
  EXPECT_EQ(TransformS34(6200000, std::nextafter(700000.0, 1e9), S34Jylland, S34Forward, n, e),
            S34OutsideBox);
  EXPECT_NE(TransformS34(-43894, 31610, S34Sjaelland, S34Inverse, n, e), S34OutsideBox);
  EXPECT_NE(TransformS34(280862, 248251, S34Sjaelland, S34Inverse, n, e), S34OutsideBox);
}

TEST(TransformS34, BadInputAndUnknownRegionsAreOutside) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  double n = 0, e = 0;
  EXPECT_EQ(TransformS34(nan, 500000, S34Jylland, S34Forward, n, e), S34OutsideBox);
  EXPECT_EQ(TransformS34(6200000, nan, S34Jylland, S34Forward, n, e), S34OutsideBox);
  EXPECT_EQ(TransformS34(inf, 500000, S34Jylland, S34Forward, n, e), S34OutsideBox);
  EXPECT_EQ(TransformS34(6200000, -inf, S34Sjaelland, S34Inverse, n, e), S34OutsideBox);
  EXPECT_EQ(TransformS34(6200000, 500000, 3, S34Forward, n, e), S34OutsideBox);
  EXPECT_EQ(TransformS34(6200000, 500000, 0, S34Forward, n, e), S34OutsideBox);
  EXPECT_EQ(TransformS34(6200000, 500000, S34Jylland, 0, n, e), S34OutsideBox);
}

using velmira::testing::Deg;
using velmira::testing::GridPoint;
using velmira::testing::GroundDistance;

bool IsOutsideGrid(const GeoPoint& p) {
  return p.GetError().Code == errors::OutsideGrid.Code &&
         p.GetError().Message != nullptr &&
         std::string(p.GetError().Message) == errors::OutsideGrid.Message;
}

TEST(System34Grid, JyllandPointRoundTripsThroughGrid48) {
  // On the grid's own datum and on WGS 84 (which goes through the datum shift).
  for (int16_t datum : {27, 1}) {
    GridPoint at(48, datum, 56, 9);
    at.Point.GeoToGrid();
    ASSERT_FALSE(at.Point.GetError().Failed()) << datum;
    // Same point in UTM 32 on datum 27 (grid 47), then the published polynomial.
    GridPoint utm(47, datum, 56, 9);
    utm.Point.PinnedZone = 32;
    utm.Point.GeoToGrid();
    double first = 0, second = 0;
    ASSERT_EQ(
        TransformS34(utm.Point.Northing, utm.Point.Easting, S34Jylland, S34Forward, first, second),
        S34Ok);
    EXPECT_EQ(at.Point.Northing, first);
    EXPECT_EQ(at.Point.Easting, second);

    at.Point.Latitude = at.Point.Longitude = 0;
    at.Point.GridToGeo();
    ASSERT_FALSE(at.Point.GetError().Failed()) << datum;
    EXPECT_LT(GroundDistance(at.Point.Latitude, at.Point.Longitude, 56 * Deg, 9 * Deg, 6378388),
              0.06)
        << datum;
  }
}

TEST(System34Grid, CopenhagenIsOutsideGrid48ButInsideGrid49) {
  GridPoint jylland(48, 27, 55.6761, 12.5683);
  jylland.Point.GeoToGrid();
  EXPECT_TRUE(IsOutsideGrid(jylland.Point));
  EXPECT_EQ(jylland.Point.Latitude, 55.6761 * Deg);  // restored after the failure

  GridPoint sjaelland(49, 27, 55.6761, 12.5683);
  sjaelland.Point.GeoToGrid();
  ASSERT_FALSE(sjaelland.Point.GetError().Failed());
  sjaelland.Point.Latitude = sjaelland.Point.Longitude = 0;
  sjaelland.Point.GridToGeo();
  ASSERT_FALSE(sjaelland.Point.GetError().Failed());
  EXPECT_LT(GroundDistance(sjaelland.Point.Latitude, sjaelland.Point.Longitude, 55.6761 * Deg,
                           12.5683 * Deg, 6378388),
            0.06);
}

TEST(System34Grid, FiftyFourNorthIsOutsideBothGrids) {
  for (int16_t grid : {48, 49}) {
    for (double lon : {9.0, 12.0}) {
      GridPoint at(grid, 27, 54, lon);
      at.Point.GeoToGrid();
      EXPECT_TRUE(IsOutsideGrid(at.Point)) << grid << " " << lon;
    }
  }
}

TEST(System34Grid, InverseOutsideTheGridKeepsLatitudeAndLongitude) {
  GridPoint at(48, 27, 56, 9);
  at.Point.Easting = 1e6;
  at.Point.Northing = 1e6;
  at.Point.GridToGeo();
  EXPECT_TRUE(IsOutsideGrid(at.Point));
  EXPECT_EQ(at.Point.Latitude, 56 * Deg);
  EXPECT_EQ(at.Point.Longitude, 9 * Deg);
  // NaN grid coordinates fail the same way.
  at.Point.Easting = std::nan("");
  at.Point.GridToGeo();
  EXPECT_TRUE(IsOutsideGrid(at.Point));
}

}  // namespace
}  // namespace velmira
