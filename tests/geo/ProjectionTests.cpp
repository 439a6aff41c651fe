// The conic, oblique and New Zealand projections beyond the PROJ comparison: false origins,
// the Belgian correction, published examples, the far side of cones and meridians, bad input.
#include <gtest/gtest.h>

#include <limits>

#include "GeoTesting.h"
#include "geo/Datum.h"
#include "geo/Grid.h"
#include "geo/LambertConic.h"
#include "geo/NewZealandMapGrid.h"

namespace velmira {
namespace {

using namespace velmira::testing;

const Projection& ProjectionOfGrid(int grid) {
  const GridRow& row = GridTableRow(grid);
  const Ellipsoid& e = EllipsoidOfDatum(row.Datum);
  return *ProjectionFor(row, e.A, e.E2);
}

TEST(ProjectionOrigins, OriginOfEachKindMapsToTheFalseOriginAndBack) {
  const struct {
    int16_t Grid, Datum;
    double Lat, Lon, Easting, Northing;
  } cases[] = {
      {7, 4, 46.9524055556, 7.4395833333, 600000, 200000},     // Swiss oblique, CH1903
      {8, 4, 46.9524055556, 7.4395833333, 2600000, 1200000},
      {21, 13, -41, 173, 2510000, 6023150},                     // New Zealand, NZGD49
      {23, 15, 49.5, 2.3372291667, 600000, 200000},             // Lambert I on the Paris meridian
      {34, 24, 52.1561605556, 5.3876388889, 155000, 463000},    // oblique stereographic
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "grid " << c.Grid);
    PointOn at(c.Grid, c.Datum, c.Lat, c.Lon);
    at.P.GeoToGrid();
    ASSERT_FALSE(at.P.GetError().Failed());
    EXPECT_NEAR(at.P.Easting, c.Easting, 1e-6);
    EXPECT_NEAR(at.P.Northing, c.Northing, 1e-6);
    at.P.GridToGeo();
    EXPECT_NEAR(at.P.Latitude, c.Lat * Deg, 1e-12);
    EXPECT_NEAR(at.P.Longitude, c.Lon * Deg, 1e-12);
  }
}

TEST(LambertBelgian, PublishedExampleAndTheCorrectionOffsetOfTheCentralMeridian) {
  const Projection& p = ProjectionOfGrid(22);
  const GridRow& row = GridTableRow(22);
  // EPSG guidance note 7-2, Belgian Lambert 72 worked example (published to the centimetre).
  double e = 0, n = 0;
  ASSERT_TRUE(p.Forward((50 + 40 / 60.0 + 46.461 / 3600) * Deg,
                        (5 + 48 / 60.0 + 26.533 / 3600) * Deg, e, n));
  EXPECT_NEAR(e, 251763.20, 0.005);
  EXPECT_NEAR(n, 153034.13, 0.005);
  // The correction turns the cone: the central meridian lies rho sin(correction) west of the
  // false easting.
  PointOn at(22, 16, 50.5, 4.3569397222);
  at.P.GeoToGrid();
  ASSERT_FALSE(at.P.GetError().Failed());
  const double rho = row.FN - at.P.Northing;  // cos(correction) is 1 to 1e-8
  EXPECT_NEAR(at.P.Easting - row.FE, -rho * std::sin(BelgianCorrection), 1e-4);
  EXPECT_LT(at.P.Easting, row.FE - 700);
  // With t0 = 0 the apex is the origin: the pole maps to (FE, FN).
  ASSERT_TRUE(p.Forward(90 * Deg, 0, e, n));
  EXPECT_NEAR(e, row.FE, 1e-6);
  EXPECT_NEAR(n, row.FN, 1e-6);
}

TEST(LambertConic, ConeOpeningSouthRoundTrips) {
  // No grid row has one, but a southern cone (n < 0) must invert to the same side.
  const GridRow south{0, KindLambertConic, 500000, 1000000, 135 * Deg, -32 * Deg, 0,
                      -28 * Deg, -36 * Deg, 0};
  const Ellipsoid& grs80 = EllipsoidOfDatum(2);
  LambertConic p(south, grs80.A, grs80.E2, false);
  for (double lat : {-25.0, -32.0, -40.0}) {
    for (double lon : {125.0, 135.0, 145.0}) {
      double e = 0, n = 0, phi = 0, lam = 0;
      ASSERT_TRUE(p.Forward(lat * Deg, lon * Deg, e, n));
      ASSERT_TRUE(p.Inverse(e, n, phi, lam));
      EXPECT_LT(GroundDistance(phi, lam, lat * Deg, lon * Deg, grs80.A), 0.001)
          << lat << " " << lon;
    }
  }
}

TEST(NewZealandMapGrid, LongitudeAcrossTheAntimeridianIsTheSameMeridian) {
  // The Chatham Islands lie east of 180 degrees; +183.5 and -176.5 are one meridian.
  NewZealandMapGrid p;
  double e1 = 0, n1 = 0, e2 = 0, n2 = 0, phi = 0, lam = 0;
  ASSERT_TRUE(p.Forward(-44 * Deg, -176.5 * Deg, e1, n1));
  ASSERT_TRUE(p.Forward(-44 * Deg, 183.5 * Deg, e2, n2));
  EXPECT_NEAR(e1, e2, 1e-6);
  EXPECT_NEAR(n1, n2, 1e-6);
  EXPECT_GT(e1, 2510000);  // east of the central meridian, not a whole turn west
  ASSERT_TRUE(p.Inverse(e1, n1, phi, lam));
  EXPECT_NEAR(lam, -176.5 * Deg, 1e-6);
}

// Nasty inputs never crash or hang, and a step that reports success hands back numbers.
TEST(ProjectionBadInput, PolesHugeValuesAndNonFiniteInputAreBoundedForEveryKind) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double pi = 3.141592653589793;
  const double angles[] = {0, pi / 2, -pi / 2, pi, -pi, 2 * pi, 1e300, -1e300, nan, inf, -inf};
  const double metres[] = {0, 1e7, -1e7, 1e300, -1e300, nan, inf, -inf};
  for (int grid : {7, 21, 22, 23, 34}) {
    SCOPED_TRACE(::testing::Message() << "grid " << grid);
    const Projection& p = ProjectionOfGrid(grid);
    for (double a : angles) {
      for (double b : angles) {
        double e = 0, n = 0;
        EXPECT_TRUE(!p.Forward(a, b, e, n) || (std::isfinite(e) && std::isfinite(n))) << a << " " << b;
      }
    }
    for (double a : metres) {
      for (double b : metres) {
        double phi = 0, lam = 0;
        if (!p.Inverse(a, b, phi, lam)) continue;
        EXPECT_TRUE(std::isfinite(phi) && std::isfinite(lam)) << a << " " << b;
        EXPECT_LE(std::fabs(lam), pi) << a << " " << b;
      }
    }
  }
  double e = 0, n = 0;
  EXPECT_FALSE(ProjectionOfGrid(7).Forward(nan, 0.13, e, n));
  // Just short of the pole the stereographic plane is still finite and north of the origin.
  ASSERT_TRUE(ProjectionOfGrid(34).Forward(89.999 * Deg, 5.3876388889 * Deg, e, n));
  EXPECT_NEAR(e, 155000, 1e-3);
  EXPECT_GT(n, 463000 + 4e6);
}

}  // namespace
}  // namespace velmira
