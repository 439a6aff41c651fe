// The Position object (unit conversions, the degree/minute/second cache and its rounding,
// the stale/pristine state machine and every refusal) and the coordinate record under it
// (zone selection, zone text, datum changes and the grid framework's error paths).
#include <gtest/gtest.h>

#include "GeoTesting.h"
#include "geo/Datum.h"
#include "geo/Grid.h"
#include "geo/Position.h"

namespace velmira {
namespace {

using namespace velmira::testing;

constexpr double Pi = 3.141592653589793;
constexpr const char* BadLatitude = "Invalid latitude. Must be between -PI/2 and PI/2";

const char* MessageOf(const Position& p) { return p.GetError().Message; }

TEST(PositionAngles, LatitudeRangeIsInclusiveDmsChecksDegreesAndHemispheresAreCaseSensitive) {
  Position p;
  p.SetLatitudeRads(0.5);
  for (double bad : {1.6, -1.6, double{NAN}, double{INFINITY}, -double{INFINITY}, 1e300}) {
    p.SetLatitudeRads(bad);
    EXPECT_STREQ(MessageOf(p), BadLatitude) << bad;
    EXPECT_EQ(p.GetLatitudeRads(), 0.5);
  }
  p.SetLatitudeDecDeg(91);
  EXPECT_STREQ(MessageOf(p), BadLatitude);
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
  // Longitude writes are normalised into +/-pi; infinity gives NaN, whose parts are 0.
  for (auto [in, out] : {std::pair{4.0, 4.0 - 2 * Pi}, {-7.0, -7.0 + 2 * Pi}, {Pi, Pi}}) {
    p.SetLongitudeRads(in);
    EXPECT_DOUBLE_EQ(p.GetLongitudeRads(), out) << in;
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

TEST(PositionDms, CacheRoundsSecondsToThousandthsAndTheTextRoundsCarriesAndIsCut) {
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
  const std::pair<DmsParts, const char*> texts[] = {
      {{59, 20, 59.996}, "59 20'60.00 N"},  // 59.9965 stays below 60: printed rounding only
      {{59, 20, 59.9996}, "59 21'0.00 N"},  // reaches 60 with the half thousandth
      {{59, 59, 59.9996}, "60 0'0.00 N"},   // and carries the minutes into the degrees
      {{1, 2, 3.004}, "1 2'3.00 N"},        {{1, 2, 3.005}, "1 2'3.01 N"}};
  for (const auto& [cache, text] : texts) {
    FixCoordinates fix;
    fix.Latitude = 0.5;
    fix.LatitudeDms = cache;
    EXPECT_EQ(Take(Position(fix).GetLatitudeString(0)), text);
  }
  FixCoordinates fix;
  fix.Longitude = -1;
  fix.LongitudeDms = {32000, 32000, 12.5};
  Position big(fix);
  EXPECT_EQ(Take(big.GetLongitudeString(0)), "32000 32000'12") << "cut to 14 characters";
  for (int16_t format : {1, -1}) {
    EXPECT_EQ(Take(big.GetLatitudeString(format)), "(null)");
    EXPECT_STREQ(MessageOf(big), "Invalid parameter!");
  }
}

TEST(PositionAltitude, KindsAndTheFixRule) {
  FixCoordinates fix;
  fix.Altitude = 545.4;  // a fix without a geoid separation has height 0
  Position p(fix);
  EXPECT_EQ(std::vector<double>({p.GetAltitude(0), p.GetAltitude(1), p.GetAltitude(2)}),
            std::vector<double>({545.4, 0, 0}));
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
  EXPECT_EQ(fresh.GetLatitudeRads() + fresh.GetLongitudeRads(), 0);
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
  EXPECT_EQ(g.GetEasting() + g.GetNorthing(), 5500000);
  EXPECT_GT(std::fabs(g.GetLatitudeRads() - latWgs), 1e-6);
}

TEST(PositionZone, ZoneRulesPerGridFamilyAndARefusedZoneReturnsToAutomatic) {
  Position p;  // datum 1 without grid or zone: nothing computed, nothing reported
  EXPECT_EQ(p.GetDatum() * 100 + p.GetGrid() + p.GetEasting(), 100);
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
  // A pinned zone projects from its own meridian; a refused one returns to automatic, and the
  // zone text lags until the grid side is read again.
  Position z;
  z.SetGrid(1);
  z.SetLatitudeDecDeg(50);
  z.SetLongitudeDecDeg(10);
  z.SetZone(33);
  EXPECT_LT(z.GetEasting(), 200000);  // far west of zone 33's meridian
  EXPECT_EQ(Take(z.GetZone()), "33U");
  z.SetZone(99);
  EXPECT_STREQ(MessageOf(z), "Invalid Zone for this grid!");
  z.SetLongitudeDecDeg(10);  // any write: the easting is recomputed with automatic zone
  EXPECT_GT(z.GetEasting(), 500000);
  EXPECT_EQ(Take(z.GetZone()), "32U");
  z.SetLongitudeDecDeg(15);
  EXPECT_EQ(Take(z.GetZone()), "32U");
  z.GetNorthing();
  EXPECT_EQ(Take(z.GetZone()), "33U");
}

TEST(PositionStaleFlags, GridAndGeographicSidesFollowTheLastWriteAndCopiesKeepTheirState) {
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
  Ref<Position> copy = Ref<Position>::Adopt(p.Copy());
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

std::string ZoneOf(const GeoPoint& p) { return Take(p.ZoneText()); }

TEST(ZoneSelection, UtmStripsTruncateThenStepWestAndThreeDegreeZonesTakeTheMeridianAtOrWest) {
  const struct {
    int16_t Grid;
    double Lon;
    int Zone;
  } cases[] = {{1, -3, 30},      {1, 0, 31},       {1, 179.9, 60},   {1, -179.9, 1},
               {1, 5.999, 31},   {1, 6.0001, 32},  {1, -0.0001, 30}, {1, -5.9999, 30},
               {1, -6.0001, 29}, {1, 4, 31},       {29, 10.9, 3},    {29, 12.5, 4},
               {29, 12, 4}};
  for (const auto& c : cases) {
    PointOn at(c.Grid, c.Grid == 29 ? 18 : 1, c.Grid == 29 ? 50 : 10, c.Lon);
    at.P.GeoToGrid();
    EXPECT_EQ(at.P.Zone, c.Zone) << "longitude " << c.Lon;
    // Whatever zone was chosen, the point lies within its strip; on the 3-degree grid, at or
    // east of its meridian, with no zone prefix in the easting.
    EXPECT_LT(std::fabs(at.P.Easting - 500000), c.Grid == 29 ? 200000 : 340000) << c.Lon;
    EXPECT_TRUE(c.Grid != 29 || at.P.Easting > 500000 - 1e-6) << c.Lon;
  }
}

TEST(ZoneText, BandLettersSkipIAndOAndCoverThePolesAndTheThreeDegreeZoneIsANumber) {
  const struct {
    int16_t Grid, Zone;
    double Lat;
    const char* Text;
  } cases[] = {{1, 31, 50, "31U"},   {1, 31, -45, "31G"},   {1, 31, 0, "31N"},
               {1, 31, -0.5, "31M"}, {1, 31, 72, "31X"},    {1, 31, 79.9, "31X"},
               {1, 31, 80, "31Y"},   {1, 31, -80, "31C"},   {1, 31, -87.9, "31C"},
               {1, 31, -88, "31B"},  {1, 31, 8, "31P"},     {1, 31, -8, "31M"},
               {1, 31, -24.5, "31J"}, {1, 31, -24, "31K"},  {1, 31, -16, "31L"},
               {2, 5, -45, "5G"},    {29, 4, 50, "4"},      {3, 0, 52, ""},
               {31, 101, 32, ""}};
  for (const auto& c : cases) {
    PointOn at(c.Grid, 1, c.Lat, 1);
    at.P.Zone = c.Zone;
    EXPECT_EQ(ZoneOf(at.P), c.Text) << "grid " << c.Grid << " at latitude " << c.Lat;
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

TEST(GridFramework, GeoToGridRestoresTheGeographicSideAcrossADatumShiftAndNaNNeverCrashes) {
  PointOn at(3, 1, 52, -1.5);
  at.P.Height = 100;
  at.P.GeoToGrid();
  ASSERT_FALSE(at.P.GetError().Failed());
  EXPECT_EQ(std::vector<double>({at.P.Latitude, at.P.Longitude, at.P.Height}),
            std::vector<double>({52 * Deg, -1.5 * Deg, 100}));
  EXPECT_EQ(at.P.Datum, 1);
  for (double bad : {double{NAN}, double{INFINITY}, -double{INFINITY}, 1e300}) {
    for (int16_t grid : {1, 3, 29}) {
      PointOn odd(grid, 1, 10, 10);
      odd.P.Longitude = bad;
      odd.P.GeoToGrid();
      odd.P.Easting = odd.P.Northing = bad;
      odd.P.GridToGeo();
      EXPECT_FALSE(odd.P.GetError().Failed());
      ZoneOf(odd.P);
    }
  }
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

TEST(ChangeDatum, SameDatumIsBitForBitUnknownTargetsChangeNothingAndThePolesKeepTheirHeight) {
  for (int16_t target : {1, 0, 28, -5}) {
    PointOn at(0, 1, 51.123456789, -0.987654321);
    at.P.Height = 12.345;
    at.P.ChangeDatum(target);
    EXPECT_EQ(std::vector<double>({at.P.Latitude, at.P.Longitude, at.P.Height}),
              std::vector<double>({51.123456789 * Deg, -0.987654321 * Deg, 12.345}));
    EXPECT_EQ(at.P.Datum, 1);
    EXPECT_STREQ(at.P.GetError().Message, target == 1 ? nullptr : errors::UnknownDatum.Message);
  }
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

}  // namespace
}  // namespace velmira
