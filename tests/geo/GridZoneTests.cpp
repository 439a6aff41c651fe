// Zone selection, pinned zones, zone text, datum changes and the grid framework's error
// paths, driven through the coordinate record.
#include <gtest/gtest.h>

#include "GeoTesting.h"
#include "geo/Datum.h"
#include "geo/Grid.h"
#include "geo/TransverseMercator.h"

namespace velmira {
namespace {

using namespace velmira::testing;

std::string ZoneOf(const GeoPoint& p) { return Take(p.ZoneText()); }

TEST(UtmZoneStep, CentralMeridianOfZone32GivesFalseEastingAndScaledArc) {
  PointOn at(1, 1, 50, 9);
  at.P.GeoToGrid();
  ASSERT_FALSE(at.P.GetError().Failed());
  EXPECT_EQ(at.P.Zone, 32);
  EXPECT_NEAR(at.P.Easting, 500000.0, 1e-6);
  const Ellipsoid& wgs = EllipsoidOfDatum(1);
  EXPECT_NEAR(at.P.Northing, 0.9996 * MeridianArc(50 * Deg, wgs.E2, wgs.A), 1e-6);
  EXPECT_EQ(ZoneOf(at.P), "32U");
}

TEST(UtmZoneStep, ZoneEdgesFollowTruncateThenStepWest) {
  const double cases[][2] = {{-3, 30},     {0, 31},       {179.9, 60},   {-179.9, 1},
                             {5.999, 31},  {6.0001, 32},  {-0.0001, 30}, {-5.9999, 30},
                             {-6.0001, 29}, {4, 31}};
  for (const auto& c : cases) {
    PointOn at(1, 1, 10, c[0]);
    at.P.GeoToGrid();
    EXPECT_EQ(at.P.Zone, c[1]) << "longitude " << c[0];
    // Whatever zone was chosen, the point lies within its 6-degree strip.
    EXPECT_GT(at.P.Easting, 160000) << "longitude " << c[0];
    EXPECT_LT(at.P.Easting, 840000) << "longitude " << c[0];
  }
}

TEST(UtmZoneStep, PinnedZoneProjectsFromItsOwnMeridianAndKeepsZone) {
  // 10 E is 5 degrees west of zone 33's 15 E, as 4 E is of zone 32's 9 E.
  PointOn west33(1, 1, 50, 10), west32(1, 1, 50, 4);
  west33.P.PinnedZone = west33.P.Zone = 33;
  west32.P.PinnedZone = west32.P.Zone = 32;
  west33.P.GeoToGrid();
  west32.P.GeoToGrid();
  EXPECT_EQ(west33.P.Zone, 33);
  EXPECT_EQ(west32.P.Zone, 32);
  EXPECT_NEAR(west33.P.Easting, west32.P.Easting, 1e-6);
  EXPECT_NEAR(west33.P.Northing, west32.P.Northing, 1e-6);
  EXPECT_LT(west33.P.Easting, 500000 - 300000);
}

TEST(UtmZoneStep, BandLettersSkipIAndOAndCoverThePoles) {
  const struct {
    double Lat;
    const char* Text;
  } cases[] = {{50, "31U"},   {-45, "31G"},  {0, "31N"},    {-0.5, "31M"},  {72, "31X"},
               {79.9, "31X"}, {80, "31Y"},   {-80, "31C"},  {-87.9, "31C"}, {-88, "31B"},
               {8, "31P"},    {-8, "31M"},   {-24.5, "31J"}, {-24, "31K"},  {-16, "31L"}};
  for (const auto& c : cases) {
    PointOn at(1, 1, c.Lat, 1);
    at.P.Zone = 31;
    EXPECT_EQ(ZoneOf(at.P), c.Text) << "latitude " << c.Lat;
  }
  PointOn south(2, 1, -45, 1);
  south.P.Zone = 5;
  EXPECT_EQ(ZoneOf(south.P), "5G");
}

TEST(GaussKrueger3, ZoneIsTheMeridianAtOrWestAndEastingHasNoPrefix) {
  const struct {
    double Lon;
    int Zone;
    double MinEasting, MaxEasting;
  } cases[] = {{10.9, 3, 500001, 700000}, {12.5, 4, 500001, 700000}, {12, 4, 499999.999999, 500000.000001}};
  for (const auto& c : cases) {
    PointOn at(29, 18, 50, c.Lon);
    at.P.GeoToGrid();
    EXPECT_EQ(at.P.Zone, c.Zone) << c.Lon;
    EXPECT_GT(at.P.Easting, c.MinEasting) << c.Lon;
    EXPECT_LT(at.P.Easting, c.MaxEasting) << c.Lon;
    EXPECT_EQ(ZoneOf(at.P), std::to_string(c.Zone));
  }
}

TEST(GridFramework, GridZeroAndStatePlaneWithoutZoneCodeRefuseAndKeepTheGeographicSide) {
  PointOn none(0, 1, 50, 9);
  none.P.Easting = 123;
  none.P.GeoToGrid();  // nothing computed on the way out
  EXPECT_FALSE(none.P.GetError().Failed());
  EXPECT_EQ(none.P.Easting, 123);
  none.P.GridToGeo();
  EXPECT_STREQ(none.P.GetError().Message, errors::GridNotSet.Message);
  EXPECT_EQ(none.P.Latitude, 50 * Deg);
  for (int16_t grid : {30, 31}) {
    for (int16_t zone : {0, 100, 9999}) {
      PointOn at(grid, 19, 33, -86);
      at.P.Zone = zone;
      at.P.GeoToGrid();
      EXPECT_STREQ(at.P.GetError().Message, errors::ZoneRequired.Message) << grid << " " << zone;
      at.P.GridToGeo();
      EXPECT_STREQ(at.P.GetError().Message, errors::ZoneRequired.Message) << grid << " " << zone;
      EXPECT_EQ(at.P.Latitude, 33 * Deg);
    }
  }
}

TEST(GridFramework, GeoToGridRestoresTheGeographicSideEvenAcrossADatumShift) {
  PointOn at(3, 1, 52, -1.5);
  at.P.Height = 100;
  at.P.GeoToGrid();
  ASSERT_FALSE(at.P.GetError().Failed());
  EXPECT_EQ(at.P.Latitude, 52 * Deg);
  EXPECT_EQ(at.P.Longitude, -1.5 * Deg);
  EXPECT_EQ(at.P.Height, 100);
  EXPECT_EQ(at.P.Datum, 1);
}

TEST(GridFramework, Nad27RegionalSetsAreNotShiftedAgainstEachOther) {
  // A point on NAD27 (Alaska) in a 1927 zone of the Eastern set: same datum for the grid.
  // From WGS 84 the shift does apply.
  PointOn alaska(30, 20, 31, -86), eastern(30, 21, 31, -86), wgs(30, 1, 31, -86);
  for (PointOn* p : {&alaska, &eastern, &wgs}) {
    p->P.Zone = 101;
    p->P.GeoToGrid();
    ASSERT_FALSE(p->P.GetError().Failed());
  }
  EXPECT_EQ(alaska.P.Easting, eastern.P.Easting);
  EXPECT_EQ(alaska.P.Northing, eastern.P.Northing);
  EXPECT_GT(std::hypot(wgs.P.Easting - eastern.P.Easting, wgs.P.Northing - eastern.P.Northing),
            10.0);
}

TEST(GridFramework, NonFiniteCoordinatesGiveNaNNotACrash) {
  for (double bad : {double{NAN}, double{INFINITY}, -double{INFINITY}, 1e300}) {
    for (int16_t grid : {1, 3, 29}) {
      PointOn at(grid, 1, 10, 10);
      at.P.Longitude = bad;
      at.P.GeoToGrid();
      at.P.Easting = at.P.Northing = bad;
      at.P.GridToGeo();
      EXPECT_FALSE(at.P.GetError().Failed());
      ZoneOf(at.P);
    }
  }
}

TEST(ChangeDatum, SameDatumIsBitForBitAndUnknownTargetsChangeNothing) {
  for (int16_t target : {1, 0, 28, -5}) {
    PointOn at(0, 1, 51.123456789, -0.987654321);
    at.P.Height = 12.345;
    at.P.ChangeDatum(target);
    EXPECT_EQ(at.P.Latitude, 51.123456789 * Deg);
    EXPECT_EQ(at.P.Longitude, -0.987654321 * Deg);
    EXPECT_EQ(at.P.Height, 12.345);
    EXPECT_EQ(at.P.Datum, 1);
    EXPECT_STREQ(at.P.GetError().Message, target == 1 ? nullptr : errors::UnknownDatum.Message);
  }
}

TEST(ChangeDatum, ZeroParameterDatumsOnlyChangeTheEllipsoidAlsoAtThePoles) {
  // WGS 84 and GRS 80 differ by 0.1 mm in the semi-minor axis. At the poles p and
  // cos(latitude) are both 0: the height must not come out as -N or NaN.
  for (double lat : {47.5, 90.0, -90.0}) {
    PointOn at(0, 1, lat, 8.5);
    at.P.Height = 500;
    at.P.ChangeDatum(2);
    EXPECT_NEAR(at.P.Latitude, lat * Deg, std::fabs(lat) < 90 ? 1e-10 : 1e-12) << lat;
    EXPECT_NEAR(at.P.Longitude, std::fabs(lat) < 90 ? 8.5 * Deg : at.P.Longitude, 1e-15);
    EXPECT_NEAR(at.P.Height, 500, 0.001) << lat;
  }
}

}  // namespace
}  // namespace velmira
