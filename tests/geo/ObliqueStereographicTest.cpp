#include <gtest/gtest.h>

#include "ProjectionReference.h"
#include "geo/ObliqueStereographic.h"

namespace velmira {
namespace {

using namespace velmira::testing;

TEST(ObliqueStereographic, OriginMapsToTheFalseOrigin) {
  GridPoint at(34, 24, 52.1561605556, 5.3876388889);
  at.Point.GeoToGrid();
  ASSERT_FALSE(at.Point.GetError().Failed());
  EXPECT_NEAR(at.Point.Easting, 155000, 1e-6);
  EXPECT_NEAR(at.Point.Northing, 463000, 1e-6);
  at.Point.GridToGeo();
  EXPECT_NEAR(at.Point.Latitude, 52.1561605556 * Deg, 1e-12);
  EXPECT_NEAR(at.Point.Longitude, 5.3876388889 * Deg, 1e-12);
}

TEST(ObliqueStereographic, AgreesWithProjOverTheNetherlands) {
  CheckAgainstReference(ProjectionOfGrid(34), "grid34_dutch_rd.txt", SemiMajorOfGrid(34));
}

TEST(ObliqueStereographic, PolesAndGarbageAreBounded) {
  const Projection& p = ProjectionOfGrid(34);
  CheckBadInputIsBounded(p);
  // Just short of the pole the plane is still finite and north of the origin.
  double e = 0, n = 0;
  ASSERT_TRUE(p.Forward(89.999 * Deg, 5.3876388889 * Deg, e, n));
  EXPECT_NEAR(e, 155000, 1e-3);
  EXPECT_GT(n, 463000 + 4e6);
}

}  // namespace
}  // namespace velmira
