// The Position object: unit conversions, the degree/minute/second cache and its rounding,
// the stale/pristine state machine and every refusal.
#include <gtest/gtest.h>

#include "GeoTesting.h"
#include "geo/Position.h"

namespace velmira {
namespace {

using velmira::testing::Take;

constexpr double Pi = 3.141592653589793;

const char* MessageOf(const Position& p) { return p.GetError().Message; }

TEST(PositionLatitude, RangeIsInclusiveAndDmsChecksDegreesWithCaseSensitiveHemispheres) {
  Position p;
  p.SetLatitudeRads(0.5);
  for (double bad : {1.6, -1.6, double{NAN}, double{INFINITY}, -double{INFINITY}, 1e300}) {
    p.SetLatitudeRads(bad);
    EXPECT_STREQ(MessageOf(p), "Invalid latitude. Must be between -PI/2 and PI/2") << bad;
    EXPECT_EQ(p.GetLatitudeRads(), 0.5);
  }
  p.SetLatitudeDecDeg(91);
  EXPECT_STREQ(MessageOf(p), "Invalid latitude. Must be between -PI/2 and PI/2");
  for (double edge : {Pi / 2, -Pi / 2}) {
    p.SetLatitudeRads(edge);
    EXPECT_FALSE(p.GetError().Failed()) << edge;
  }
  p.SetLatitudeDMS(90, 30, 0, 'N');  // only the degrees are checked
  EXPECT_FALSE(p.GetError().Failed());
  EXPECT_NEAR(p.GetLatitudeDecDeg(), 90.5, 1e-12);
  p.SetLatitudeDMS(10, 0, 0, 's');
  EXPECT_GT(p.GetLatitudeRads(), 0);
  p.SetLatitudeDMS(10, 0, 0, 'S');
  EXPECT_LT(p.GetLatitudeRads(), 0);
  for (double bad : {-1.0, 90.01, double{NAN}}) {
    p.SetLatitudeDMS(bad, 0, 0, 'N');
    EXPECT_STREQ(MessageOf(p), "Invalid value of Degrees. Must be between 0 and 90!");
    EXPECT_NEAR(p.GetLatitudeDecDeg(), -10, 1e-12);
  }
  p.SetLongitudeDMS(11, 31, 0, 'W');
  EXPECT_NEAR(p.GetLongitudeDecDeg(), -(11 + 31 / 60.0), 1e-12);
  p.SetLongitudeDMS(11, 31, 0, 'w');
  EXPECT_GT(p.GetLongitudeRads(), 0);
}

TEST(PositionLongitude, WritesAreNormalisedIntoPlusMinusPi) {
  Position p;
  const double cases[][2] = {{4.0, 4.0 - 2 * Pi}, {-7.0, -7.0 + 2 * Pi}, {Pi, Pi}};
  for (const auto& c : cases) {
    p.SetLongitudeRads(c[0]);
    EXPECT_DOUBLE_EQ(p.GetLongitudeRads(), c[1]) << c[0];
  }
  for (double huge : {1e300, -1e20, 1000.0}) {
    p.SetLongitudeRads(huge);
    EXPECT_LE(std::fabs(p.GetLongitudeRads()), Pi) << huge;
  }
  EXPECT_NEAR(std::remainder(p.GetLongitudeRads() - 1000.0, 2 * Pi), 0, 1e-9);
  p.SetLongitudeRads(INFINITY);
  EXPECT_TRUE(std::isnan(p.GetLongitudeRads()));
  DmsParts parts;
  Take(p.GetLongitudeDMS(parts));
  EXPECT_EQ(parts.Degrees, 0);
}

TEST(PositionDms, CacheRoundsSecondsToThousandthsAndCarries) {
  // 30 degrees in radians and back is 29.999999999999996: the latitude's nudge and the
  // longitude's carry must both land on 30 0 0.
  const struct {
    bool Latitude;
    double DecDeg;
    const char* Hemisphere;
    double Dms;  // degrees * 10000 + minutes * 100 + seconds
  } cases[] = {{true, 59.3348, "N", 592005.28}, {true, -30, "S", 300000},
               {false, 30, "E", 300000},        {false, -0.0, "E", 0}};
  for (const auto& c : cases) {
    Position p;
    DmsParts d;
    c.Latitude ? p.SetLatitudeDecDeg(c.DecDeg) : p.SetLongitudeDecDeg(c.DecDeg);
    EXPECT_EQ(Take(c.Latitude ? p.GetLatitudeDMS(d) : p.GetLongitudeDMS(d)), c.Hemisphere);
    EXPECT_NEAR(d.Degrees * 10000 + d.Minutes * 100 + d.Seconds, c.Dms, 1e-9) << c.DecDeg;
  }
  Position p;
  p.SetLatitudeDecDeg(59.3348);
  EXPECT_EQ(Take(p.GetLatitudeString(0)), "59 20'5.28 N");
}

TEST(PositionDms, PartsFollowTheAngleThroughConversionsDatumChangesAndCopies) {
  // Reference: the parts of a fresh position whose angles are written directly.
  auto sameAsWritten = [](Position& p) {
    Position q;
    q.SetLatitudeRads(p.GetLatitudeRads());
    q.SetLongitudeRads(p.GetLongitudeRads());
    DmsParts a, b;
    for (bool latitude : {true, false}) {
      Take(latitude ? p.GetLatitudeDMS(a) : p.GetLongitudeDMS(a));
      Take(latitude ? q.GetLatitudeDMS(b) : q.GetLongitudeDMS(b));
      if (a.Degrees != b.Degrees || a.Minutes != b.Minutes || a.Seconds != b.Seconds) return false;
    }
    return true;
  };
  Position p;
  p.SetGrid(1);
  p.SetLatitudeDecDeg(50.5);
  p.SetLongitudeDecDeg(9.25);
  Ref<Position> copy = Ref<Position>::Adopt(p.Copy());  // copied before its parts were read
  EXPECT_TRUE(sameAsWritten(*copy));
  p.SetNorthing(5600000.5);  // the angles now come from the inverse
  EXPECT_TRUE(sameAsWritten(p));
  p.SetDatum(3);
  EXPECT_TRUE(sameAsWritten(p));
}

TEST(PositionDms, TextRoundsCarriesIsCutToFourteenCharactersAndRefusesOtherFormats) {
  const struct {
    DmsParts Cache;
    const char* Text;
  } cases[] = {
      {{59, 20, 59.996}, "59 20'60.00 N"},  // 59.9965 stays below 60: printed rounding only
      {{59, 20, 59.9996}, "59 21'0.00 N"},  // reaches 60 with the half thousandth
      {{59, 59, 59.9996}, "60 0'0.00 N"},   // and carries the minutes into the degrees
      {{1, 2, 3.004}, "1 2'3.00 N"},
      {{1, 2, 3.005}, "1 2'3.01 N"},
  };
  for (const auto& c : cases) {
    FixCoordinates fix;
    fix.Latitude = 0.5;
    fix.LatitudeDms = c.Cache;
    EXPECT_EQ(Take(Position(fix).GetLatitudeString(0)), c.Text);
  }
  FixCoordinates fix;
  fix.Longitude = -1;
  fix.LongitudeDms = {32000, 32000, 12.5};
  Position p(fix);
  EXPECT_EQ(Take(p.GetLongitudeString(0)), "32000 32000'12");
  for (int16_t format : {1, -1}) {
    EXPECT_EQ(Take(p.GetLatitudeString(format)), "(null)");
    EXPECT_STREQ(MessageOf(p), "Invalid parameter!");
  }
}

TEST(PositionAltitude, KindsAndTheFixRule) {
  FixCoordinates fix;
  fix.Altitude = 545.4;  // a fix without a geoid separation has height 0
  Position p(fix);
  EXPECT_EQ(p.GetAltitude(0), 545.4);
  EXPECT_EQ(p.GetAltitude(1), 0);
  EXPECT_EQ(p.GetAltitude(2), 0);
  EXPECT_STREQ(MessageOf(p), "Invalid parameter!");
  p.SetAltitude(12, 0);
  EXPECT_STREQ(MessageOf(p), "Invalid parameter!");
  EXPECT_EQ(p.GetAltitude(0), 545.4);
  p.SetAltitude(12, 1);
  EXPECT_FALSE(p.GetError().Failed());
  EXPECT_EQ(p.GetAltitude(1), 12);
  EXPECT_EQ(p.GetAltitude(0), 0);
}

TEST(PositionDatum, PristineOnlyRelabelsLaterWritesConvertAndAGridWriteStays) {
  Position fresh;
  fresh.SetDatum(3);
  EXPECT_EQ(fresh.GetDatum(), 3);
  EXPECT_EQ(fresh.GetLatitudeRads(), 0);
  EXPECT_EQ(fresh.GetLongitudeRads(), 0);

  Position p;
  p.SetLatitudeDecDeg(52);
  p.SetLongitudeDecDeg(-1);
  p.SetDatum(3);  // not pristine any more: the point moves onto OSGB 1936
  EXPECT_GT(std::fabs(p.GetLongitudeDecDeg() + 1), 1e-4);
  p.SetDatum(1);
  EXPECT_NEAR(p.GetLatitudeDecDeg(), 52, 1e-8);
  EXPECT_NEAR(p.GetLongitudeDecDeg(), -1, 1e-8);
  for (int16_t bad : {0, 28, -1}) {
    p.SetDatum(bad);
    EXPECT_STREQ(MessageOf(p), "Unknown datum!");
    EXPECT_EQ(p.GetDatum(), 1);
  }

  Position g;  // after a grid write the grid stays and latitude follows on the new datum
  g.SetGrid(1);
  g.SetZone(31);
  g.SetEasting(500000);
  g.SetNorthing(5000000);
  const double latWgs = g.GetLatitudeRads();
  g.SetEasting(500000);  // grid authoritative again
  g.SetDatum(17);        // ED50
  EXPECT_FALSE(g.GetError().Failed());
  EXPECT_EQ(g.GetEasting(), 500000);
  EXPECT_EQ(g.GetNorthing(), 5000000);
  EXPECT_GT(std::fabs(g.GetLatitudeRads() - latWgs), 1e-6);
}

TEST(PositionZone, ZoneRulesPerGridFamily) {
  Position p;  // datum 1 without grid or zone: nothing computed, nothing reported
  EXPECT_EQ(p.GetDatum() * 100 + p.GetGrid(), 100);
  EXPECT_EQ(p.GetEasting(), 0);
  EXPECT_EQ(Take(p.GetZone()), "");
  p.SetZone(0);  // the current zone on a grid without zones: nothing happens
  EXPECT_FALSE(p.GetError().Failed());
  const struct {
    int16_t Grid, Zone;
    const char* Message;  // null: accepted
  } cases[] = {
      {3, 5, "Grid does not support Zones!"}, {1, 61, "Invalid Zone for this grid!"},
      {1, -1, "Invalid Zone for this grid!"}, {29, 11, "Invalid Zone for this grid!"},
      {29, 10, nullptr},
      {31, 407, "Invalid Zone for this grid!"},  // a 1927-only code
      {31, 2111, nullptr},                       {30, 407, nullptr},
  };
  for (const auto& c : cases) {
    p.SetGrid(c.Grid);
    p.SetZone(c.Zone);
    EXPECT_STREQ(MessageOf(p), c.Message) << "grid " << c.Grid << " zone " << c.Zone;
  }
  for (int16_t bad : {0, 50}) {
    p.SetGrid(bad);
    EXPECT_STREQ(MessageOf(p), "Unknown grid!");
    EXPECT_EQ(p.GetGrid(), 30);
  }
}

TEST(PositionZone, RefusedZoneReturnsToAutomaticAndZoneTextLagsUntilTheGridIsRead) {
  Position p;
  p.SetGrid(1);
  p.SetLatitudeDecDeg(50);
  p.SetLongitudeDecDeg(10);
  p.SetZone(33);
  EXPECT_LT(p.GetEasting(), 200000);  // far west of zone 33's meridian
  EXPECT_EQ(Take(p.GetZone()), "33U");
  p.SetZone(99);
  EXPECT_STREQ(MessageOf(p), "Invalid Zone for this grid!");
  p.SetLongitudeDecDeg(10);  // any write: the easting is recomputed with automatic zone
  EXPECT_GT(p.GetEasting(), 500000);
  EXPECT_EQ(Take(p.GetZone()), "32U");
  p.SetLongitudeDecDeg(15);
  EXPECT_EQ(Take(p.GetZone()), "32U");
  p.GetNorthing();
  EXPECT_EQ(Take(p.GetZone()), "33U");
}

TEST(PositionStaleFlags, GridAndGeographicSidesFollowTheLastWrite) {
  Position p;
  p.SetGrid(1);  // pristine: the grid is only recorded
  p.SetLatitudeDecDeg(50);
  p.SetLongitudeDecDeg(9);
  const double n = p.GetNorthing();
  EXPECT_NEAR(p.GetEasting(), 500000, 1e-6);
  // Writing the grid makes latitude/longitude follow; the zone found before is used.
  p.SetEasting(600000);
  EXPECT_GT(p.GetLongitudeDecDeg(), 9.5);
  EXPECT_NEAR(p.GetLatitudeDecDeg(), 50, 0.1);
  EXPECT_EQ(p.GetEasting(), 600000);  // not recomputed: latitude/longitude were only read
  EXPECT_EQ(p.GetNorthing(), n);
  // Changing the grid makes latitude/longitude authoritative for the new grid.
  for (int16_t grid : {13, 33}) {
    p.SetGrid(grid);
    EXPECT_NEAR(p.GetEasting(), 600000, 0.01) << grid;  // ETRS89 vs WGS 84: same frame here
  }
  const double lon = p.GetLongitudeDecDeg(), e = p.GetEasting();
  Ref<Position> copy = Ref<Position>::Adopt(p.Copy());  // independent, with its state
  p.SetLongitudeDecDeg(20);
  EXPECT_EQ(copy->GetGrid(), 33);
  EXPECT_EQ(copy->GetLongitudeDecDeg(), lon);
  EXPECT_EQ(copy->GetEasting(), e);
}

TEST(PositionStaleFlags, FailedRefreshStaysStaleAndKeepsLastValues) {
  Position p;
  p.SetGrid(31);
  p.SetLatitudeDecDeg(33);
  p.SetLongitudeDecDeg(-86);
  EXPECT_EQ(p.GetEasting(), 0);
  EXPECT_STREQ(MessageOf(p), "Zone must be specified for this grid");
  p.SetEasting(250000);
  EXPECT_NEAR(p.GetLatitudeDecDeg(), 33, 1e-12);
  EXPECT_STREQ(MessageOf(p), "Zone must be specified for this grid");
  EXPECT_NEAR(p.GetLongitudeDecDeg(), -86, 1e-12);
  EXPECT_STREQ(MessageOf(p), "Zone must be specified for this grid");  // still stale
}

TEST(PositionStaleFlags, StatePlaneRoundTripThroughZone101OnBothTables) {
  for (int16_t grid : {30, 31}) {
    Position p, q;
    p.SetGrid(grid);
    p.SetZone(101);
    p.SetLatitudeDecDeg(32.5);
    p.SetLongitudeDecDeg(-86);
    const double e = p.GetEasting(), n = p.GetNorthing();
    ASSERT_FALSE(p.GetError().Failed());
    q.SetGrid(grid);
    q.SetZone(101);
    q.SetEasting(e);
    q.SetNorthing(n);
    EXPECT_NEAR(q.GetLatitudeDecDeg(), 32.5, 1e-9) << grid;
    EXPECT_NEAR(q.GetLongitudeDecDeg(), -86, 1e-9) << grid;
    EXPECT_EQ(Take(q.GetZone()), "") << grid;
  }
}

}  // namespace
}  // namespace velmira
