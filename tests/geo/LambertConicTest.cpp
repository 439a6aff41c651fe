#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "ProjectionReference.h"
#include "geo/LambertConic.h"

namespace velmira {
namespace {

using namespace velmira::testing;

TEST(LambertConic, GridsAgreeWithProjOverTheirAreas) {
  const struct {
    int Grid;
    const char* File;
  } cases[] = {{23, "grid23_lambert_1.txt"},      {24, "grid24_lambert_2.txt"},
               {25, "grid25_lambert_3.txt"},      {26, "grid26_lambert_4.txt"},
               {27, "grid27_lambert_93.txt"},     {45, "grid45_lambert_2_extended.txt"},
               {46, "grid46_conic_45_49_ntf.txt"}};
  for (const auto& c : cases) {
    CheckAgainstReference(ProjectionOfGrid(c.Grid), c.File, SemiMajorOfGrid(c.Grid));
  }
}

TEST(LambertConic, StatePlaneZonesShownInTheTablesAgreeWithProj) {
  const struct {
    int Grid, Zone;
    const char* File;
  } cases[] = {{30, 407, "spcs27_0407.txt"},
               // Alaska zone 10 reaches across the antimeridian into the western Aleutians.
               {30, 5010, "spcs27_5010.txt"},
               {31, 401, "spcs83_0401.txt"},
               {31, 2111, "spcs83_2111.txt"}};
  for (const auto& c : cases) {
    const GridRow* row = FindStatePlaneZone(c.Grid, c.Zone);
    ASSERT_NE(row, nullptr) << c.Zone;
    CheckAgainstReference(ProjectionOfRow(*row), c.File, EllipsoidOfDatum(row->Datum).A);
  }
}

TEST(LambertConic, EveryStatePlaneLambertZoneAgreesWithItsEpsgConversion) {
  std::ifstream in(std::string(VELMIRA_TEST_DATA) + "/proj/spcs_lambert_all.txt");
  std::string line;
  std::set<std::pair<int, int>> zones;
  int points = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int grid = 0, zone = 0;
    double lat = 0, lon = 0, easting = 0, northing = 0;
    ASSERT_TRUE(fields >> grid >> zone >> lat >> lon >> easting >> northing) << line;
    SCOPED_TRACE(line);
    const GridRow* row = FindStatePlaneZone(grid, zone);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Kind, KindLambertConic);
    const Projection& p = ProjectionOfRow(*row);
    double e = 0, n = 0, phi = 0, lam = 0;
    ASSERT_TRUE(p.Forward(lat * Deg, lon * Deg, e, n));
    EXPECT_NEAR(e, easting, 0.002);
    EXPECT_NEAR(n, northing, 0.002);
    ASSERT_TRUE(p.Inverse(easting, northing, phi, lam));
    EXPECT_LT(GroundDistance(phi, lam, lat * Deg, lon * Deg, EllipsoidOfDatum(row->Datum).A),
              0.002);
    zones.insert({grid, zone});
    ++points;
  }
  // Every Lambert zone of both tables is in the file.
  size_t lambertRows = 0;
  for (auto table : {ZoneTable27(), ZoneTable83()}) {
    for (const GridRow& row : table) lambertRows += row.Kind == KindLambertConic;
  }
  EXPECT_EQ(zones.size(), lambertRows);
  EXPECT_GE(points, 6 * static_cast<int>(lambertRows));
}

TEST(LambertConic, OriginOnTheParisMeridianMapsToTheFalseOrigin) {
  // Grid 23 at its latitude of origin on the Paris meridian, on NTF.
  GridPoint at(23, 15, 49.5, 2.3372291667);
  at.Point.GeoToGrid();
  ASSERT_FALSE(at.Point.GetError().Failed());
  EXPECT_NEAR(at.Point.Easting, 600000, 1e-6);
  EXPECT_NEAR(at.Point.Northing, 200000, 1e-6);
}

TEST(LambertBelgian, AgreesWithProjAndThePublishedExample) {
  const Projection& p = ProjectionOfGrid(22);
  CheckAgainstReference(p, "grid22_belgian_lambert72.txt", SemiMajorOfGrid(22));
  // EPSG guidance note 7-2, Belgian Lambert 72 worked example (published to the centimetre).
  double e = 0, n = 0;
  ASSERT_TRUE(p.Forward((50 + 40 / 60.0 + 46.461 / 3600) * Deg,
                        (5 + 48 / 60.0 + 26.533 / 3600) * Deg, e, n));
  EXPECT_NEAR(e, 251763.20, 0.005);
  EXPECT_NEAR(n, 153034.13, 0.005);
}

TEST(LambertBelgian, CentralMeridianIsOffsetByTheCorrection) {
  // The correction turns the cone, so the central meridian does not map to the false easting:
  // it lies rho sin(correction) west of it.
  const GridRow& row = GridTableRow(22);
  GridPoint at(22, 16, 50.5, 4.3569397222);
  at.Point.GeoToGrid();
  ASSERT_FALSE(at.Point.GetError().Failed());
  const double rho = row.FN - at.Point.Northing;  // cos(correction) is 1 to 1e-8
  EXPECT_NEAR(at.Point.Easting - row.FE, -rho * std::sin(BelgianCorrection), 1e-4);
  EXPECT_LT(at.Point.Easting, row.FE - 700);
  // With t0 = 0 the apex is the origin: the pole maps to (FE, FN).
  double e = 0, n = 0;
  ASSERT_TRUE(ProjectionOfGrid(22).Forward(90 * Deg, 0, e, n));
  EXPECT_NEAR(e, row.FE, 1e-6);
  EXPECT_NEAR(n, row.FN, 1e-6);
}

TEST(LambertConic, ConeOpeningSouthRoundTrips) {
  // No grid row has one, but a southern cone (n < 0) must invert to the same side.
  const GridRow south = RowDeg(0, KindLambertConic, 500000, 1000000, 135, -32, 0, -28, -36);
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

TEST(LambertConic, PolesAndGarbageAreBounded) {
  CheckBadInputIsBounded(ProjectionOfGrid(23));
  CheckBadInputIsBounded(ProjectionOfGrid(22));
}

}  // namespace
}  // namespace velmira
