#include <gtest/gtest.h>

#include "ProjectionReference.h"
#include "geo/SwissOblique.h"

namespace velmira {
namespace {

using namespace velmira::testing;

TEST(SwissOblique, OriginMapsToTheFalseOrigin) {
  // 46.9524055556 N, 7.4395833333 E on CH1903: grid 7 gives 600000, 200000, grid 8 2600000,
  // 1200000.
  const double want[][2] = {{600000, 200000}, {2600000, 1200000}};
  for (int grid : {7, 8}) {
    const double* w = want[grid - 7];
    GridPoint at(grid, 4, 46.9524055556, 7.4395833333);
    at.Point.GeoToGrid();
    ASSERT_FALSE(at.Point.GetError().Failed()) << grid;
    EXPECT_NEAR(at.Point.Easting, w[0], 1e-6) << grid;
    EXPECT_NEAR(at.Point.Northing, w[1], 1e-6) << grid;
    at.Point.GridToGeo();
    EXPECT_NEAR(at.Point.Latitude, 46.9524055556 * Deg, 1e-12) << grid;
    EXPECT_NEAR(at.Point.Longitude, 7.4395833333 * Deg, 1e-12) << grid;
  }
}

TEST(SwissOblique, AgreesWithProjOverSwitzerland) {
  CheckAgainstReference(ProjectionOfGrid(7), "grid07_swiss_lv03.txt", SemiMajorOfGrid(7));
  CheckAgainstReference(ProjectionOfGrid(8), "grid08_swiss_lv95.txt", SemiMajorOfGrid(8));
}

TEST(SwissOblique, PolesAndGarbageAreBounded) {
  const Projection& p = ProjectionOfGrid(7);
  CheckBadInputIsBounded(p);
  double e = 0, n = 0;
  EXPECT_FALSE(p.Forward(std::nan(""), 0.13, e, n));
}

}  // namespace
}  // namespace velmira
