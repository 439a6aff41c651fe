// The Position object's state machine, caches and refusals, and the coordinate record under it.
#include <gtest/gtest.h>

#include "GeoTesting.h"
#include "geo/Datum.h"
#include "geo/Grid.h"
#include "geo/Position.h"

namespace velmira {
namespace {

using namespace velmira::testing;

constexpr double Pi = 3.141592653589793;
const std::string BadZone = "Invalid Zone for this grid!";

// A position written with latitude and longitude in degrees, on a grid if one is given.
Ref<Position> At(double lat, double lon, int16_t grid = 0) {
  Ref<Position> p = MakeRef<Position>();
  if (grid != 0) p->SetGrid(grid);
  p->SetLatitudeDecDeg(lat);
  p->SetLongitudeDecDeg(lon);
  return p;
}

// True when the degree/minute/second parts are those of a fresh position whose angles are
// written directly: the cached parts must follow conversions, datum changes and copies.
bool PartsFollowTheAngles(Position& p) {
  Position q;
  q.SetLatitudeRads(p.GetLatitudeRads());
  q.SetLongitudeRads(p.GetLongitudeRads());
  auto parts = [](Position& of) {
    DmsParts a, b;
    Take(of.GetLatitudeDMS(a));
    Take(of.GetLongitudeDMS(b));
    return std::vector<double>({1.0 * a.Degrees, 1.0 * a.Minutes, a.Seconds, 1.0 * b.Degrees, 1.0 * b.Minutes, b.Seconds});
  };
  return parts(p) == parts(q);
}

TEST(PositionAngles, LatitudeRangeIsInclusiveDmsChecksDegreesAndLongitudesAreNormalised) {
  Ref<Position> p = At(-10, 20);
  for (double bad : {1.6, -1.6, double{NAN}, 1e300}) {
    p->SetLatitudeRads(bad);
    EXPECT_EQ(Message(p->GetError()), "Invalid latitude. Must be between -PI/2 and PI/2") << bad;
  }
  for (double bad : {-1.0, 90.01, double{NAN}}) {
    p->SetLatitudeDMS(bad, 0, 0, 'N');
    EXPECT_EQ(Message(p->GetError()), "Invalid value of Degrees. Must be between 0 and 90!");
  }
  EXPECT_EQ(p->GetLatitudeDecDeg(), -10) << "refusals keep the old value";
  for (double pole : {Pi / 2, -Pi / 2}) {
    p->SetLatitudeRads(pole);
    EXPECT_EQ(p->GetLatitudeRads(), pole);
  }
  // Only the degrees are checked, and exactly 'S' or 'W' turns the sign.
  for (auto [hemisphere, sign] : {std::pair{'N', 1}, {'S', -1}, {'s', 1}, {'W', -1}, {'w', 1}}) {
    const bool lat = hemisphere == 'N' || hemisphere == 'S' || hemisphere == 's';
    lat ? p->SetLatitudeDMS(90, 30, 0, hemisphere) : p->SetLongitudeDMS(90, 30, 0, hemisphere);
    EXPECT_NEAR(lat ? p->GetLatitudeDecDeg() : p->GetLongitudeDecDeg(), 90.5 * sign, 1e-12) << hemisphere;
  }
  // Longitude writes are normalised into +/-pi, whole turns first; infinity gives NaN, whose
  // parts are 0.
  for (auto [in, out] : {std::pair{4.0, 4.0 - 2 * Pi}, {-7.0, -7.0 + 2 * Pi}, {Pi, Pi},
                         {1000.0, std::remainder(1000.0, 2 * Pi)}}) {
    p->SetLongitudeRads(in);
    EXPECT_NEAR(p->GetLongitudeRads(), out, 1e-12) << in;
  }
  for (double huge : {1e300, -1e20}) {
    p->SetLongitudeRads(huge);
    EXPECT_LE(std::fabs(p->GetLongitudeRads()), Pi) << huge;
  }
  p->SetLongitudeRads(INFINITY);
  DmsParts parts{1, 1, 1};
  Take(p->GetLongitudeDMS(parts));
  EXPECT_TRUE(std::isnan(p->GetLongitudeRads()) && parts.Degrees == 0);
}

TEST(PositionDms, CacheRoundsSecondsToThousandthsAndTheTextRoundsCarriesAndIsCut) {
  // 30 degrees in radians and back is 29.999999999999996: the latitude's nudge and the
  // longitude's carry must both land on 30 0 0. Parts: degrees * 10000 + minutes * 100 + s.
  for (auto [latitude, degrees, hemisphere, parts] :
       {std::tuple{true, 59.3348, "N", 592005.28}, {true, -30.0, "S", 300000.0},
        {false, 30.0, "E", 300000.0}, {false, -0.0, "E", 0.0}}) {
    Position p;
    DmsParts d;
    latitude ? p.SetLatitudeDecDeg(degrees) : p.SetLongitudeDecDeg(degrees);
    EXPECT_EQ(Take(latitude ? p.GetLatitudeDMS(d) : p.GetLongitudeDMS(d)), hemisphere);
    EXPECT_NEAR(d.Degrees * 10000 + d.Minutes * 100 + d.Seconds, parts, 1e-9) << degrees;
  }
  const std::pair<DmsParts, std::string> texts[] = {
      {{59, 20, 59.996}, "59 20'60.00"},   // 59.9965 stays below 60: printed rounding only
      {{59, 20, 59.9996}, "59 21'0.00"},   // reaches 60 with the half thousandth
      {{59, 59, 59.9996}, "60 0'0.00"},    // and carries the minutes into the degrees
      {{1, 2, 3.004}, "1 2'3.00"},         {{1, 2, 3.005}, "1 2'3.01"},
      {{32000, 32000, 12.5}, "32000 32000'12.50"}};  // cut to 14 characters
  for (const auto& [cache, text] : texts) {
    FixCoordinates fix;
    fix.Longitude = -1, fix.LatitudeDms = fix.LongitudeDms = cache;
    Position p(fix);
    EXPECT_EQ(Take(p.GetLatitudeString(0)), (text + " N").substr(0, 14));
    EXPECT_EQ(Take(p.GetLongitudeString(0)), (text + " W").substr(0, 14));
  }
  for (int16_t format : {1, -1}) {
    Position p;
    EXPECT_EQ(Take(p.GetLatitudeString(format)) + Take(p.GetLongitudeString(format)), "(null)(null)");
    EXPECT_EQ(Message(p.GetError()), "Invalid parameter!");
  }
}

TEST(PositionAltitude, BothKindsFromAFixAndOnlyTheHeightWritten) {
  FixCoordinates fix;
  fix.Altitude = 545.4, fix.Height = 592.3;
  Position p(fix);
  p.SetAltitude(12, 0);  // refused: the altitude stays
  EXPECT_EQ(Message(p.GetError()), "Invalid parameter!");
  EXPECT_EQ(std::vector<double>({p.GetAltitude(0), p.GetAltitude(1), p.GetAltitude(2)}),
            std::vector<double>({545.4, 592.3, 0}));
  EXPECT_EQ(Message(p.GetError()), "Invalid parameter!");
  p.SetAltitude(12, 1);  // the height is set and the altitude forgotten
  EXPECT_EQ(std::vector<double>({p.GetAltitude(1), p.GetAltitude(0)}), std::vector<double>({12, 0}));
}

TEST(PositionDatum, PristineOnlyRelabelsLaterWritesConvertAndAGridWriteStays) {
  Position fresh;
  fresh.SetDatum(3);
  EXPECT_EQ(fresh.GetDatum() * 100 + fresh.GetLatitudeRads() + fresh.GetLongitudeRads(), 300);
  Ref<Position> p = At(52, -1);
  EXPECT_TRUE(PartsFollowTheAngles(*p));  // read: the parts are cached now
  p->SetDatum(3);  // not pristine any more: the point moves onto OSGB 1936
  EXPECT_GT(std::fabs(p->GetLongitudeDecDeg() + 1), 1e-4);
  EXPECT_TRUE(PartsFollowTheAngles(*p));
  for (int16_t bad : {0, 28, -1}) {
    p->SetDatum(bad);
    EXPECT_TRUE(Message(p->GetError()) == "Unknown datum!" && p->GetDatum() == 3) << bad;
  }
  Position g;  // after a grid write the grid stays and latitude follows on the new datum
  g.SetGrid(1);
  g.SetZone(31);
  g.SetEasting(500000);
  g.SetNorthing(5000000);
  const double latWgs = g.GetLatitudeRads();
  g.SetEasting(500000);  // grid authoritative again
  g.SetDatum(17);        // ED50
  EXPECT_EQ(g.GetEasting() + g.GetNorthing(), 5500000);
  EXPECT_GT(std::fabs(g.GetLatitudeRads() - latWgs), 1e-6);
}

TEST(PositionZone, ZoneRulesPerGridFamilyAndARefusedZoneReturnsToAutomatic) {
  Position p;
  p.SetZone(0);  // the current zone on a grid without zones: nothing happens
  EXPECT_FALSE(p.GetError().Failed());
  // grid, zone, the refusal ("" for none); 407 is a 1927-only code
  const std::string noZones = "Grid does not support Zones!", badGrid = "Unknown grid!";
  for (auto [grid, zone, error] :
       {std::tuple<int16_t, int16_t, std::string>{3, 5, noZones}, {1, 61, BadZone}, {1, -1, BadZone},
        {29, 11, BadZone}, {29, 10, ""}, {31, 407, BadZone}, {31, 2111, ""}, {30, 407, ""},
        {0, 0, badGrid}, {50, 0, badGrid}}) {
    p.SetGrid(grid);
    if (zone != 0) p.SetZone(zone);
    EXPECT_EQ(Message(p.GetError()), error) << "grid " << grid << " zone " << zone;
  }
  EXPECT_EQ(p.GetGrid(), 30) << "an unknown grid keeps the old one";
  // A pinned zone projects from its own meridian; a refused one returns to automatic, and the
  // zone text lags until the grid side is read again.
  Ref<Position> z = At(50, 10, 1);
  z->SetZone(33);
  EXPECT_LT(z->GetEasting(), 200000);  // far west of zone 33's meridian
  EXPECT_EQ(Take(z->GetZone()), "33U");
  z->SetZone(99);
  EXPECT_EQ(Message(z->GetError()), BadZone);
  z->SetLongitudeDecDeg(10);  // any write: the easting is recomputed with automatic zone
  EXPECT_GT(z->GetEasting(), 500000);
  EXPECT_EQ(Take(z->GetZone()), "32U");
  z->SetLongitudeDecDeg(15);
  EXPECT_EQ(Take(z->GetZone()), "32U");
  z->GetNorthing();
  EXPECT_EQ(Take(z->GetZone()), "33U");
}

TEST(PositionStaleFlags, SidesFollowTheLastWriteCopiesKeepTheirStateAndFailuresStayStale) {
  Ref<Position> p = At(50, 9, 1);  // pristine when the grid was set: the grid is only recorded
  const double n = p->GetNorthing();
  EXPECT_NEAR(p->GetEasting(), 500000, 1e-6);
  EXPECT_TRUE(PartsFollowTheAngles(*p));
  // Writing the grid makes latitude/longitude follow; the zone found before is used.
  p->SetEasting(600000);
  EXPECT_GT(p->GetLongitudeDecDeg(), 9.5);
  EXPECT_NEAR(p->GetLatitudeDecDeg(), 50, 0.1);
  EXPECT_EQ(p->GetEasting(), 600000);  // not recomputed: latitude/longitude were only read
  EXPECT_EQ(p->GetNorthing(), n);
  EXPECT_TRUE(PartsFollowTheAngles(*p));
  // Changing the grid makes latitude/longitude authoritative for the new grid.
  for (int16_t grid : {13, 33}) {
    p->SetGrid(grid);
    EXPECT_NEAR(p->GetEasting(), 600000, 0.01) << grid;  // ETRS89 vs WGS 84: same frame here
  }
  const double lon = p->GetLongitudeDecDeg(), e = p->GetEasting();
  Ref<Position> copy = Ref<Position>::Adopt(p->Copy());
  p->SetLongitudeDecDeg(20);
  EXPECT_EQ(std::vector<double>({1.0 * copy->GetGrid(), copy->GetLongitudeDecDeg(), copy->GetEasting()}),
            std::vector<double>({33, lon, e}));
  // A copy of a position whose parts were never read: the copied cache is no good either.
  EXPECT_TRUE(PartsFollowTheAngles(*Ref<Position>::Adopt(At(50.5, 9.25)->Copy())));

  const std::string noZone = "Zone must be specified for this grid";
  Ref<Position> sp = At(33, -86, 31);  // a State Plane grid without a zone code of its table
  EXPECT_EQ(sp->GetEasting(), 0);
  EXPECT_EQ(Message(sp->GetError()), noZone);
  sp->SetEasting(250000);
  for (int i = 0; i < 2; ++i) {  // still stale on the second read: the last values stay
    EXPECT_NEAR(sp->GetLatitudeDecDeg() + sp->GetLongitudeDecDeg(), 33 - 86, 1e-12);
    EXPECT_EQ(Message(sp->GetError()), noZone);
  }
}

// The 6-degree zone is the floor of longitude / 6 plus 31; the 3-degree zone has its meridian
// at or west of the point, and no zone prefix in the easting.
TEST(ZoneSelection, ZonesNearEveryKindOfStripEdge) {
  for (auto [grid, lon] : {std::pair<int16_t, double>{1, -179.9}, {1, -6.0001}, {1, -5.9999},
                           {1, -3}, {1, -0.0001}, {1, 0}, {1, 5.999}, {1, 6.0001}, {1, 179.9},
                           {29, 10.9}, {29, 12}, {29, 12.5}}) {
    Ref<GeoPoint> at = PointOn(grid, grid == 29 ? 18 : 1, grid == 29 ? 50 : 10, lon);
    at->GeoToGrid();
    EXPECT_EQ(at->Zone, grid == 1 ? std::floor(lon / 6) + 31 : std::floor(lon / 3)) << lon;
    EXPECT_LT(std::fabs(at->Easting - 500000), grid == 29 ? 200000 : 340000) << lon;
    EXPECT_TRUE(grid != 29 || at->Easting > 500000 - 1e-6) << lon;
  }
}

TEST(ZoneText, BandLettersSkipIAndOAndCoverThePolesAndTheThreeDegreeZoneIsANumber) {
  // grid, zone, latitude, text
  for (auto [grid, zone, lat, text] :
       {std::tuple<int16_t, int16_t, double, std::string>{1, 31, 50, "31U"}, {1, 31, -45, "31G"},
        {1, 31, 0, "31N"},    {1, 31, -0.5, "31M"},  {1, 31, 72, "31X"},  {1, 31, 79.9, "31X"},
        {1, 31, 80, "31Y"},   {1, 31, -80, "31C"},   {1, 31, -87.9, "31C"}, {1, 31, -88, "31B"},
        {1, 31, 8, "31P"},    {1, 31, -8, "31M"},    {1, 31, -24.5, "31J"}, {1, 31, -24, "31K"},
        {1, 31, -16, "31L"},  {2, 5, -45, "5G"},     {29, 4, 50, "4"},    {3, 0, 52, ""},
        {31, 101, 32, ""},    {1, 7, NAN, "7"}}) {
    EXPECT_EQ(Take(PointOn(grid, 1, lat, 1, zone)->ZoneText()), text) << grid << " at " << lat;
  }
}

TEST(GridFramework, GridZeroRefusesTheWayBackAndNonFiniteInputNeverFails) {
  Ref<GeoPoint> none = PointOn(0, 1, 50, 9);
  none->Easting = 123;
  none->GeoToGrid();  // nothing computed on the way out
  EXPECT_TRUE(!none->GetError().Failed() && none->Easting == 123);
  none->GridToGeo();
  EXPECT_EQ(Message(none->GetError()), errors::GridNotSet.Message);
  EXPECT_EQ(none->Latitude, 50 * Deg);
  for (double bad : {double{NAN}, double{INFINITY}, -double{INFINITY}, 1e300}) {
    for (int16_t grid : {1, 3, 29}) {
      Ref<GeoPoint> odd = PointOn(grid, 1, 10, 10);
      odd->Longitude = bad;
      odd->GeoToGrid();
      odd->Easting = odd->Northing = bad;
      odd->GridToGeo();
      EXPECT_FALSE(odd->GetError().Failed());
      Take(odd->ZoneText());
    }
  }
}

// A point on NAD27 (Alaska) in a 1927 zone of the Eastern set: same datum for the grid. From
// WGS 84 the shift does apply.
TEST(GridFramework, Nad27RegionalSetsAreNotShiftedAgainstEachOther) {
  std::vector<double> grid;
  for (int16_t datum : {20, 21, 1}) {
    Ref<GeoPoint> p = PointOn(30, datum, 31, -86, 101);
    p->GeoToGrid();
    ASSERT_FALSE(p->GetError().Failed());
    grid.insert(grid.end(), {p->Easting, p->Northing});
  }
  EXPECT_TRUE(grid[0] == grid[2] && grid[1] == grid[3]);
  EXPECT_GT(std::hypot(grid[4] - grid[2], grid[5] - grid[3]), 10.0);
}

TEST(ChangeDatum, SameDatumIsBitForBitUnknownTargetsChangeNothingAndThePolesKeepTheirHeight) {
  for (int16_t target : {1, 0, 28, -5}) {
    Ref<GeoPoint> at = PointOn(0, 1, 51.123456789, -0.987654321);
    at->Height = 12.345;
    at->ChangeDatum(target);
    EXPECT_EQ(std::vector<double>({at->Latitude, at->Longitude, at->Height, 1.0 * at->Datum}),
              std::vector<double>({51.123456789 * Deg, -0.987654321 * Deg, 12.345, 1}));
    EXPECT_EQ(Message(at->GetError()), target == 1 ? "" : errors::UnknownDatum.Message);
  }
  // WGS 84 and GRS 80 differ by 0.1 mm in the semi-minor axis. At the poles p and
  // cos(latitude) are both 0: the height must not come out as -N or NaN.
  for (double lat : {47.5, 90.0, -90.0}) {
    Ref<GeoPoint> at = PointOn(0, 1, lat, 8.5);
    at->Height = 500;
    at->ChangeDatum(2);
    EXPECT_NEAR(at->Latitude, lat * Deg, std::fabs(lat) < 90 ? 1e-10 : 1e-12) << lat;
    EXPECT_NEAR(at->Longitude, std::fabs(lat) < 90 ? 8.5 * Deg : at->Longitude, 1e-15);
    EXPECT_NEAR(at->Height, 500, 0.001) << lat;
  }
}

}  // namespace
}  // namespace velmira
