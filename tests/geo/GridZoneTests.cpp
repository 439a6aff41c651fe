// Zone selection, pinned zones, zone text and the grid framework's error paths, driven
// through the coordinate record.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "frame/Text.h"
#include "geo/Datum.h"
#include "geo/GeoPoint.h"
#include "geo/Grid.h"
#include "geo/TransverseMercator.h"

namespace velmira {
namespace {

constexpr double Rad = 0.017453292519943295;

struct PointOn {
  GeoPoint Point;
  PointOn(int16_t grid, double latDeg, double lonDeg, int16_t datum = 1) {
    Point.Grid = grid;
    Point.Latitude = latDeg * Rad;
    Point.Longitude = lonDeg * Rad;
    Point.Datum = datum;
  }
};

std::string ZoneOf(const GeoPoint& p) {
  Ref<Text> text = Ref<Text>::Adopt(p.ZoneText());
  return text->Chars();
}

TEST(UtmZoneStep, CentralMeridianOfZone32GivesFalseEastingAndScaledArc) {
  PointOn at(1, 50, 9);
  at.Point.GeoToGrid();
  ASSERT_FALSE(at.Point.GetError().Failed());
  EXPECT_EQ(at.Point.Zone, 32);
  EXPECT_NEAR(at.Point.Easting, 500000.0, 1e-6);
  const Ellipsoid& wgs = EllipsoidOfDatum(1);
  EXPECT_NEAR(at.Point.Northing, 0.9996 * MeridianArc(50 * Rad, wgs.E2, wgs.A), 1e-6);
  EXPECT_EQ(ZoneOf(at.Point), "32U");
}

TEST(UtmZoneStep, ZoneEdgesFollowTruncateThenStepWest) {
  struct Case {
    double Lon;
    int Zone;
  } cases[] = {{-3, 30}, {0, 31}, {179.9, 60}, {-179.9, 1}, {5.999, 31}, {6.0001, 32},
               {-0.0001, 30}, {-5.9999, 30}, {-6.0001, 29}};
  for (const Case& c : cases) {
    PointOn at(1, 10, c.Lon);
    at.Point.GeoToGrid();
    EXPECT_EQ(at.Point.Zone, c.Zone) << "longitude " << c.Lon;
    // Whatever zone was chosen, the point lies within its 6-degree strip.
    EXPECT_GT(at.Point.Easting, 160000) << "longitude " << c.Lon;
    EXPECT_LT(at.Point.Easting, 840000) << "longitude " << c.Lon;
  }
}

TEST(UtmZoneStep, PinnedZoneProjectsFromItsOwnMeridianAndKeepsZone) {
  PointOn pinned(1, 50, 10);
  pinned.Point.PinnedZone = 33;
  pinned.Point.Zone = 33;
  pinned.Point.GeoToGrid();
  EXPECT_EQ(pinned.Point.Zone, 33);
  // 5 degrees west of 15 E is the mirror image of 5 degrees east of it.
  PointOn east(1, 50, 20);
  east.Point.GeoToGrid();
  EXPECT_EQ(east.Point.Zone, 34);
  PointOn mirror(1, 50, 10);  // 10 E is 5 degrees west of zone 33's 15 E
  mirror.Point.PinnedZone = 33;
  mirror.Point.GeoToGrid();
  PointOn west5(1, 50, 4);     // 5 degrees west of zone 32's 9 E
  west5.Point.GeoToGrid();
  EXPECT_EQ(west5.Point.Zone, 31);  // automatic zone of 4 E
  PointOn west5pinned(1, 50, 4);
  west5pinned.Point.PinnedZone = 32;
  west5pinned.Point.GeoToGrid();
  EXPECT_NEAR(west5pinned.Point.Easting, mirror.Point.Easting, 1e-6);
  EXPECT_NEAR(west5pinned.Point.Northing, mirror.Point.Northing, 1e-6);
  EXPECT_LT(mirror.Point.Easting, 500000 - 300000);
}

TEST(UtmZoneStep, BandLettersSkipIAndOAndCoverThePoles) {
  struct Case {
    double Lat;
    const char* Text;
  } cases[] = {{50, "31U"},  {-45, "31G"}, {0, "31N"},  {-0.5, "31M"}, {72, "31X"},
               {79.9, "31X"}, {80, "31Y"}, {-80, "31C"}, {-87.9, "31C"}, {-88, "31B"},
               {8, "31P"},   {-8, "31M"}, {-24.5, "31J"}, {-24, "31K"}, {-16, "31L"}};
  for (const Case& c : cases) {
    PointOn at(1, c.Lat, 1);
    at.Point.Zone = 31;
    EXPECT_EQ(ZoneOf(at.Point), c.Text) << "latitude " << c.Lat;
  }
  PointOn south(2, -45, 1);
  south.Point.Zone = 5;
  EXPECT_EQ(ZoneOf(south.Point), "5G");
}

TEST(GaussKrueger3, ZoneIsTheMeridianAtOrWestAndEastingHasNoPrefix) {
  PointOn a(29, 50, 10.9, 18);
  a.Point.GeoToGrid();
  EXPECT_EQ(a.Point.Zone, 3);
  EXPECT_GT(a.Point.Easting, 500000);  // east of 9 E
  EXPECT_LT(a.Point.Easting, 700000);
  EXPECT_EQ(ZoneOf(a.Point), "3");
  PointOn b(29, 50, 12.5, 18);
  b.Point.GeoToGrid();
  EXPECT_EQ(b.Point.Zone, 4);
  PointOn on(29, 50, 12, 18);  // on zone 4's meridian
  on.Point.GeoToGrid();
  EXPECT_NEAR(on.Point.Easting, 500000, 1e-6);
}

TEST(GridFramework, GridZeroComputesNothingOnTheWayOutAndRefusesTheWayBack) {
  PointOn none(0, 50, 9);
  none.Point.Easting = 123;
  none.Point.GeoToGrid();
  EXPECT_FALSE(none.Point.GetError().Failed());
  EXPECT_EQ(none.Point.Easting, 123);
  none.Point.GridToGeo();
  EXPECT_STREQ(none.Point.GetError().Message, errors::GridNotSet.Message);
  EXPECT_EQ(none.Point.Latitude, 50 * Rad);
}

TEST(GridFramework, StatePlaneWithoutZoneCodeFailsBothWays) {
  for (int16_t grid : {int16_t{30}, int16_t{31}}) {
    for (int16_t zone : {int16_t{0}, int16_t{100}, int16_t{9999}}) {
      PointOn at(grid, 33, -86, 19);
      at.Point.Zone = zone;
      at.Point.GeoToGrid();
      EXPECT_STREQ(at.Point.GetError().Message, errors::ZoneRequired.Message);
      at.Point.GridToGeo();
      EXPECT_STREQ(at.Point.GetError().Message, errors::ZoneRequired.Message);
      EXPECT_EQ(at.Point.Latitude, 33 * Rad);
    }
  }
}

TEST(GridFramework, GeoToGridRestoresTheGeographicSideEvenAcrossADatumShift) {
  PointOn at(3, 52, -1.5);
  at.Point.Height = 100;
  Ref<GeoPoint> before = Ref<GeoPoint>::Adopt(at.Point.Copy());
  at.Point.GeoToGrid();
  ASSERT_FALSE(at.Point.GetError().Failed());
  EXPECT_EQ(at.Point.Latitude, before->Latitude);
  EXPECT_EQ(at.Point.Longitude, before->Longitude);
  EXPECT_EQ(at.Point.Height, before->Height);
  EXPECT_EQ(at.Point.Datum, before->Datum);
}

TEST(GridFramework, Nad27RegionalSetsAreNotShiftedAgainstEachOther) {
  // A point on NAD27 (Alaska) in a 1927 zone of the Eastern set: same datum for the grid.
  PointOn alaska(30, 31, -86, 20);
  alaska.Point.Zone = 101;
  alaska.Point.GeoToGrid();
  ASSERT_FALSE(alaska.Point.GetError().Failed());
  PointOn eastern(30, 31, -86, 21);
  eastern.Point.Zone = 101;
  eastern.Point.GeoToGrid();
  EXPECT_EQ(alaska.Point.Easting, eastern.Point.Easting);
  EXPECT_EQ(alaska.Point.Northing, eastern.Point.Northing);
  // From WGS 84 the shift does apply.
  PointOn wgs(30, 31, -86, 1);
  wgs.Point.Zone = 101;
  wgs.Point.GeoToGrid();
  EXPECT_GT(std::hypot(wgs.Point.Easting - eastern.Point.Easting,
                       wgs.Point.Northing - eastern.Point.Northing),
            10.0);
}

TEST(GridFramework, NonFiniteCoordinatesGiveNaNNotACrash) {
  for (double bad : {double{NAN}, double{INFINITY}, -double{INFINITY}, 1e300}) {
    for (int16_t grid : {int16_t{1}, int16_t{3}, int16_t{29}}) {
      PointOn at(grid, 10, 10);
      at.Point.Longitude = bad;
      at.Point.GeoToGrid();
      at.Point.Easting = bad;
      at.Point.Northing = bad;
      at.Point.GridToGeo();
      EXPECT_FALSE(at.Point.GetError().Failed());
      Ref<Text>::Adopt(at.Point.ZoneText());
    }
  }
}

TEST(ChangeDatum, SameDatumIsBitForBitAndUnknownTargetsChangeNothing) {
  for (int16_t target : {int16_t{1}, int16_t{0}, int16_t{28}, int16_t{-5}}) {
    PointOn at(0, 51.123456789, -0.987654321);
    at.Point.Height = 12.345;
    at.Point.ChangeDatum(target);
    EXPECT_EQ(at.Point.Latitude, 51.123456789 * Rad);
    EXPECT_EQ(at.Point.Longitude, -0.987654321 * Rad);
    EXPECT_EQ(at.Point.Height, 12.345);
    EXPECT_EQ(at.Point.Datum, 1);
    EXPECT_STREQ(at.Point.GetError().Message, target == 1 ? nullptr : errors::UnknownDatum.Message);
  }
}

TEST(ChangeDatum, ZeroParameterDatumsOnlyChangeTheEllipsoid) {
  // WGS 84 and GRS 80 differ by 0.1 mm in the semi-minor axis.
  PointOn at(0, 47.5, 8.5);
  at.Point.Height = 500;
  at.Point.ChangeDatum(2);
  EXPECT_NEAR(at.Point.Latitude, 47.5 * Rad, 1e-10);
  EXPECT_NEAR(at.Point.Longitude, 8.5 * Rad, 1e-15);
  EXPECT_NEAR(at.Point.Height, 500, 0.001);
}

TEST(ChangeDatum, HeightAtThePolesIsTheDistanceAlongTheAxis) {
  // p and cos(latitude) are both 0 there: the height must not come out as -N or NaN.
  for (double lat : {90.0, -90.0}) {
    PointOn at(0, lat, 0);
    at.Point.Height = 100;
    at.Point.ChangeDatum(2);
    EXPECT_NEAR(at.Point.Height, 100, 0.001) << lat;
    EXPECT_NEAR(at.Point.Latitude, lat * Rad, 1e-12) << lat;
  }
}

}  // namespace
}  // namespace velmira
