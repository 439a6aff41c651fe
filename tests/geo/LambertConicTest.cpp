#include "geo/LambertConic.h"

#include <gtest/gtest.h>

#include "ProjectionReference.h"

namespace velmira {
namespace {

using namespace velmira::testing;

constexpr double IntlA = 6378388.0, IntlE2 = 0.006722670022;
constexpr double IgnA = 6378249.2, IgnE2 = 0.00680348764;
constexpr double Grs80A = 6378137.0, Grs80E2 = 0.006694380023011;
constexpr double Clarke66A = 6378206.4, Clarke66E2 = 0.006768658;

const GridRow Belgian72 = RowDeg(16, KindLambertBelgian, 150000.01, 5400088.44, 4.3569397222, 90,
                                 0.9998774, 49.8333333333, 51.1666666667);
const GridRow LambertI =
    RowDeg(15, KindLambertConic, 600000, 200000, 2.3372291667, 49.5, 1, 48.5985227778, 50.3959116667);

struct Case {
  const char* File;
  GridRow Row;
  double A, E2;
};

TEST(LambertConic, GridsAgreeWithProjOverTheirAreas) {
  const Case cases[] = {
      {"grid23_lambert_1.txt", LambertI, IgnA, IgnE2},
      {"grid24_lambert_2.txt",
       RowDeg(15, 5, 600000, 200000, 2.3372291667, 46.8, 1, 45.8989188889, 47.6960144444), IgnA, IgnE2},
      {"grid25_lambert_3.txt",
       RowDeg(15, 5, 600000, 200000, 2.3372291667, 44.1, 1, 43.1992913889, 44.9960938889), IgnA, IgnE2},
      {"grid26_lambert_4.txt",
       RowDeg(15, 5, 234.358, 185861.369, 2.3372291667, 42.165, 1, 41.5603877778, 42.7676633333), IgnA,
       IgnE2},
      {"grid27_lambert_93.txt", RowDeg(2, 5, 700000, 6600000, 3, 46.5, 1, 44, 49), Grs80A, Grs80E2},
      {"grid45_lambert_2_extended.txt",
       RowDeg(15, 5, 600000, 2200000, 2.3372291667, 46.8, 1, 45.8989188889, 47.6960144444), IgnA, IgnE2},
      {"grid46_conic_45_49_ntf.txt", RowDeg(15, 5, 600000, 600000, 2.3372291667, 47, 1, 45, 49), IgnA,
       IgnE2},
      {"spcs27_0407.txt",
       RowDeg(23, 5, 1276106.4505969, 1268253.00685801, -118.3333333333, 34.1333333333, 0,
              33.8666666667, 34.4166666667),
       Clarke66A, Clarke66E2},
      // Alaska zone 10 reaches across the antimeridian into the western Aleutians.
      {"spcs27_5010.txt",
       RowDeg(20, 5, 914401.82880366, 0, -176, 51, 0, 51.8333333333, 53.8333333333), Clarke66A,
       Clarke66E2},
      {"spcs83_0401.txt", RowDeg(19, 5, 2000000, 500000, -122, 39.3333333333, 0, 40, 41.6666666667),
       Grs80A, Grs80E2},
      {"spcs83_2111.txt",
       RowDeg(19, 5, 8000000, 0, -87, 44.7833333333, 0, 45.4833333333, 47.0833333333), Grs80A,
       Grs80E2},
  };
  for (const Case& c : cases) {
    CheckAgainstReference(LambertConic(c.Row, c.A, c.E2, false), c.File, c.A);
  }
}

TEST(LambertConic, OriginOnTheParisMeridianMapsToTheFalseOrigin) {
  LambertConic p(LambertI, IgnA, IgnE2, false);
  double e = 0, n = 0;
  ASSERT_TRUE(p.Forward(LambertI.Phi0, LambertI.Lambda0, e, n));
  EXPECT_NEAR(e, 600000, 1e-6);
  EXPECT_NEAR(n, 200000, 1e-6);
}

TEST(LambertBelgian, AgreesWithProjAndThePublishedExample) {
  LambertConic p(Belgian72, IntlA, IntlE2, true);
  CheckAgainstReference(p, "grid22_belgian_lambert72.txt", IntlA);
  // EPSG guidance note 7-2, Belgian Lambert 72 worked example (published to the centimetre).
  double e = 0, n = 0;
  ASSERT_TRUE(p.Forward((50 + 40 / 60.0 + 46.461 / 3600) * Deg, (5 + 48 / 60.0 + 26.533 / 3600) * Deg, e, n));
  EXPECT_NEAR(e, 251763.20, 0.005);
  EXPECT_NEAR(n, 153034.13, 0.005);
}

TEST(LambertBelgian, CentralMeridianIsOffsetByTheCorrection) {
  // The correction turns the cone, so the central meridian does not map to the false easting:
  // it lies rho sin(-correction) west of it.
  LambertConic belgian(Belgian72, IntlA, IntlE2, true);
  double e = 0, n = 0;
  ASSERT_TRUE(belgian.Forward(50.5 * Deg, Belgian72.Lambda0, e, n));
  const double rho = Belgian72.FN - n;  // cos(correction) is 1 to 1e-8
  EXPECT_NEAR(e - Belgian72.FE, -rho * std::sin(BelgianCorrection), 1e-4);
  EXPECT_LT(e, Belgian72.FE - 700);
  // With t0 = 0 the apex is the origin: the pole maps to (FE, FN).
  ASSERT_TRUE(belgian.Forward(90 * Deg, 0, e, n));
  EXPECT_NEAR(e, Belgian72.FE, 1e-6);
  EXPECT_NEAR(n, Belgian72.FN, 1e-6);
}

TEST(LambertConic, ConeOpeningSouthRoundTrips) {
  // No grid row has one, but a southern cone (n < 0) must invert to the same side.
  const GridRow south = RowDeg(0, 5, 500000, 1000000, 135, -32, 0, -28, -36);
  LambertConic p(south, Grs80A, Grs80E2, false);
  for (double lat : {-25.0, -32.0, -40.0}) {
    for (double lon : {125.0, 135.0, 145.0}) {
      double e = 0, n = 0, phi = 0, lam = 0;
      ASSERT_TRUE(p.Forward(lat * Deg, lon * Deg, e, n));
      ASSERT_TRUE(p.Inverse(e, n, phi, lam));
      EXPECT_LT(GroundDistance(phi, lam, lat * Deg, lon * Deg, Grs80A), 0.001) << lat << " " << lon;
    }
  }
}

TEST(LambertConic, PolesAndGarbageAreBounded) {
  CheckBadInputIsBounded(LambertConic(LambertI, IgnA, IgnE2, false));
  CheckBadInputIsBounded(LambertConic(Belgian72, IntlA, IntlE2, true));
}

}  // namespace
}  // namespace velmira
