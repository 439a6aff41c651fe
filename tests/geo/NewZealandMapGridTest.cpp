#include <gtest/gtest.h>

#include "ProjectionReference.h"
#include "geo/NewZealandMapGrid.h"

namespace velmira {
namespace {

using namespace velmira::testing;

TEST(NewZealandMapGrid, OriginMapsToTheFalseOrigin) {
  // 41 S 173 E on NZGD49 gives 2510000, 6023150.
  GridPoint at(21, 13, -41, 173);
  at.Point.GeoToGrid();
  ASSERT_FALSE(at.Point.GetError().Failed());
  EXPECT_NEAR(at.Point.Easting, 2510000, 1e-6);
  EXPECT_NEAR(at.Point.Northing, 6023150, 1e-6);
  at.Point.GridToGeo();
  EXPECT_NEAR(at.Point.Latitude, -41 * Deg, 1e-12);
  EXPECT_NEAR(at.Point.Longitude, 173 * Deg, 1e-12);
}

TEST(NewZealandMapGrid, AgreesWithProjOverNewZealand) {
  CheckAgainstReference(ProjectionOfGrid(21), "grid21_nzmg.txt", SemiMajorOfGrid(21));
}

TEST(NewZealandMapGrid, LongitudeAcrossTheAntimeridianIsTheSameMeridian) {
  // The Chatham Islands lie east of 180 degrees; +183.5 and -176.5 are one meridian.
  NewZealandMapGrid p;
  double e1 = 0, n1 = 0, e2 = 0, n2 = 0;
  ASSERT_TRUE(p.Forward(-44 * Deg, -176.5 * Deg, e1, n1));
  ASSERT_TRUE(p.Forward(-44 * Deg, 183.5 * Deg, e2, n2));
  EXPECT_NEAR(e1, e2, 1e-6);
  EXPECT_NEAR(n1, n2, 1e-6);
  EXPECT_GT(e1, 2510000);  // east of the central meridian, not a whole turn west
  double phi = 0, lam = 0;
  ASSERT_TRUE(p.Inverse(e1, n1, phi, lam));
  EXPECT_NEAR(lam, -176.5 * Deg, 1e-6);
}

TEST(NewZealandMapGrid, PolesAndGarbageAreBounded) { CheckBadInputIsBounded(NewZealandMapGrid()); }

}  // namespace
}  // namespace velmira
