// Agreement with PROJ, and the projections' own edge cases. The expected values are the
// files under tests/data/geo and tests/data/proj, made by tests/data/make_reference.py with
// cs2cs, cct and proj on the library's own ellipsoid, shift and grid figures.
#include <gtest/gtest.h>

#include <iomanip>
#include <set>

#include "GeoTesting.h"
#include "geo/Datum.h"
#include "geo/Grid.h"
#include "geo/NewZealandMapGrid.h"
#include "geo/Position.h"

namespace velmira {
namespace {

using namespace velmira::testing;

constexpr double GridTolerance = 0.002;  // metres on the ground, both directions
constexpr double DatumTolerance = 0.001;
// From 5 degrees off the central meridian the library's series, which stops at A^6, parts
// from PROJ's, which carries the A^7 and A^8 terms: about 1 cm at 7 degrees.
constexpr double FarDegrees = 5;
constexpr double FarGridTolerance = 0.02;

// tm_reference.txt: grid zone lat lon h easting northing band inverse-lat inverse-lon, where
// band 1 marks points within 3.5 degrees of the central meridian.
TEST(TransverseMercatorReference, EveryGridAgreesWithProjBothWays) {
  const auto rows = ReadRows("geo/tm_reference.txt");
  ASSERT_GT(rows.size(), 1000u);
  int inBand = 0;
  for (const RefRow& row : rows) {
    const auto& r = row.V;
    const int16_t grid = static_cast<int16_t>(r[0]), zone = static_cast<int16_t>(r[1]);
    SCOPED_TRACE(::testing::Message() << std::setprecision(10) << "grid " << grid << " zone "
                                      << zone << " at " << r[2] << ", " << r[3]);
    Position p;
    p.SetGrid(grid);
    if (IsStatePlane(grid)) p.SetZone(zone);  // elsewhere the zone is found from the point
    p.SetLatitudeDecDeg(r[2]);
    p.SetLongitudeDecDeg(r[3]);
    p.SetAltitude(r[4], 1);
    const double e = p.GetEasting(), n = p.GetNorthing();
    ASSERT_FALSE(p.GetError().Failed()) << p.GetError().Message;
    const bool band = r[7] != 0;
    const double offMeridian = std::fabs(r[3] - p.Point().ConversionRow()->Lambda0 / Deg);
    const bool far = !band && !IsZonedTransverseMercator(grid) && offMeridian > FarDegrees;
    EXPECT_LT(std::hypot(e - r[5], n - r[6]), far ? FarGridTolerance : GridTolerance)
        << "forward " << e << " " << n;
    if (IsZonedTransverseMercator(grid) || grid == GridGaussKruger3) {
      EXPECT_EQ(p.Point().Zone, zone);
    }
    if (!band) continue;  // farther out the inverse series drifts by centimetres
    ++inBand;
    p.SetEasting(r[5]);  // the zone stays the one found or set above
    p.SetNorthing(r[6]);
    p.SetAltitude(0, 1);                       // as the reference's inverse
    const double lat = p.GetLatitudeDecDeg(), lon = p.GetLongitudeDecDeg();
    ASSERT_FALSE(p.GetError().Failed()) << p.GetError().Message;
    EXPECT_LT(GroundDistance(lat * Deg, lon * Deg, r[8] * Deg, r[9] * Deg), GridTolerance)
        << "inverse " << lat << " " << lon;
  }
  EXPECT_GT(inBand, 1000);
}

// datum_reference.txt: datum direction lat lon h and PROJ's lat lon h; direction 1 is from
// the datum to WGS 84, -1 the way back.
TEST(DatumShiftReference, EachDirectionOfEveryDatumMatchesProjWithin1mm) {
  const auto rows = ReadRows("geo/datum_reference.txt");
  ASSERT_EQ(rows.size(), 26u * 20u);
  for (const RefRow& row : rows) {
    const auto& r = row.V;
    const int16_t datum = static_cast<int16_t>(r[0]);
    const bool toWgs = r[1] > 0;
    Ref<GeoPoint> at = PointOn(0, toWgs ? datum : 1, r[2], r[3]);
    at->Height = r[4];
    at->ChangeDatum(toWgs ? 1 : datum);
    ASSERT_FALSE(at->GetError().Failed());
    const double ground = GroundDistance(at->Latitude, at->Longitude, r[5] * Deg, r[6] * Deg);
    EXPECT_LT(std::hypot(ground, at->Height - r[7]), DatumTolerance)
        << "datum " << datum << (toWgs ? " to" : " from") << " WGS 84 at " << r[2] << " " << r[3];
  }
}

// Nasty inputs never crash or hang, and a step that reports success hands back numbers.
void CheckBadInputIsBounded(const Projection& p) {
  const double pi = 3.141592653589793, values[] = {0, pi / 2, -pi / 2, pi, -pi, 2 * pi, 1e7, -1e7,
                                                   1e300, -1e300, NAN, INFINITY, -INFINITY};
  for (double a : values) {
    for (double b : values) {
      double e = 0, n = 0, phi = 0, lam = 0;
      SCOPED_TRACE(::testing::Message() << a << " " << b);
      EXPECT_TRUE(!p.Forward(a, b, e, n) || (std::isfinite(e) && std::isfinite(n)));
      EXPECT_TRUE(!p.Inverse(a, b, phi, lam) || (std::isfinite(phi) && std::fabs(lam) <= pi));
    }
  }
}

// tests/data/proj: latitude longitude easting northing for one grid or State Plane zone,
// or, with Grid 0, grid and zone leading each line. Where the grid's false origin is
// published, its point on the grid's datum must map to it exactly and back.
struct ProjFile {
  const char* File;
  int16_t Grid, Zone;
  struct { int16_t Datum; double Lat, Lon, Easting, Northing; } Origin{};
};

const ProjFile ProjFiles[] = {
    {"grid07_swiss_lv03", 7, 0, {4, 46.9524055556, 7.4395833333, 600000, 200000}},
    {"grid08_swiss_lv95", 8, 0, {4, 46.9524055556, 7.4395833333, 2600000, 1200000}},
    {"grid21_nzmg", 21, 0, {13, -41, 173, 2510000, 6023150}},
    {"grid23_lambert_1", 23, 0, {15, 49.5, 2.3372291667, 600000, 200000}},  // Paris meridian
    {"grid34_dutch_rd", 34, 0, {24, 52.1561605556, 5.3876388889, 155000, 463000}},
    {"grid22_belgian_lambert72", 22, 0}, {"grid24_lambert_2", 24, 0}, {"grid25_lambert_3", 25, 0},
    {"grid26_lambert_4", 26, 0}, {"grid27_lambert_93", 27, 0}, {"grid45_lambert_2_extended", 45, 0},
    {"grid46_conic_45_49_ntf", 46, 0}, {"spcs27_0407", 30, 407}, {"spcs83_0401", 31, 401},
    {"spcs27_5010", 30, 5010},  // reaches across the antimeridian into the western Aleutians
    {"spcs83_2111", 31, 2111},
    {"spcs_lambert_all", 0, 0},  // every Lambert zone of both tables, as its EPSG conversion
};

const Projection& ProjectionOf(const GridRow& row) {
  const Ellipsoid& ell = EllipsoidOfDatum(row.Datum);
  return *ProjectionFor(row, ell.A, ell.E2);
}

class ProjReference : public ::testing::TestWithParam<ProjFile> {};

TEST_P(ProjReference, ForwardInverseOriginAndBadInput) {
  const ProjFile& f = GetParam();
  const auto rows = ReadRows(std::string("proj/") + f.File + ".txt");
  ASSERT_GE(rows.size(), 20u);
  std::set<std::pair<int, int>> zones;
  for (const RefRow& row : rows) {
    std::vector<double> r = row.V;
    int grid = f.Grid, zone = f.Zone;
    if (grid == 0) {
      ASSERT_EQ(r.size(), 6u);
      grid = static_cast<int>(r[0]), zone = static_cast<int>(r[1]);
      r.erase(r.begin(), r.begin() + 2);
      zones.insert({grid, zone});
    }
    SCOPED_TRACE(::testing::Message() << "grid " << grid << " zone " << zone << " at " << r[0]
                                      << ", " << r[1]);
    const GridRow* gridRow = zone != 0 ? FindStatePlaneZone(grid, zone) : &GridTableRow(grid);
    ASSERT_NE(gridRow, nullptr);
    EXPECT_TRUE(f.Grid != 0 || gridRow->Kind == KindLambertConic) << "not a Lambert row";
    const Projection& p = ProjectionOf(*gridRow);
    const double phi = r[0] * Deg, lam = r[1] * Deg, a = EllipsoidOfDatum(gridRow->Datum).A;
    double e = 0, n = 0, phiBack = 0, lamBack = 0;
    ASSERT_TRUE(p.Forward(phi, lam, e, n));
    EXPECT_LT(std::hypot(e - r[2], n - r[3]), GridTolerance) << "forward";
    ASSERT_TRUE(p.Inverse(r[2], r[3], phiBack, lamBack));
    EXPECT_LT(GroundDistance(phiBack, lamBack, phi, lam, a), GridTolerance) << "inverse";
  }
  if (f.Grid == 0) {
    size_t lambertRows = 0;
    for (auto table : {ZoneTable27(), ZoneTable83()}) {
      for (const GridRow& row : table) lambertRows += row.Kind == KindLambertConic;
    }
    EXPECT_EQ(zones.size(), lambertRows) << "a Lambert zone of the tables has no reference";
    return;
  }
  if (f.Origin.Datum != 0) {
    Ref<GeoPoint> at = PointOn(f.Grid, f.Origin.Datum, f.Origin.Lat, f.Origin.Lon);
    at->GeoToGrid();
    ASSERT_FALSE(at->GetError().Failed());
    EXPECT_LT(std::hypot(at->Easting - f.Origin.Easting, at->Northing - f.Origin.Northing), 1e-6);
    at->GridToGeo();
    EXPECT_LT(GroundDistance(at->Latitude, at->Longitude, f.Origin.Lat * Deg, f.Origin.Lon * Deg), 1e-5);
  }
  CheckBadInputIsBounded(ProjectionOf(f.Zone != 0 ? *FindStatePlaneZone(f.Grid, f.Zone) : GridTableRow(f.Grid)));
}

INSTANTIATE_TEST_SUITE_P(Files, ProjReference, ::testing::ValuesIn(ProjFiles),
                         [](const auto& info) { return std::string(info.param.File); });

TEST(ProjectionEdges, BelgianExampleAntimeridianAndPoles) {
  const GridRow& belgian = GridTableRow(22);
  const Projection& p = ProjectionOf(belgian);
  // EPSG guidance note 7-2, Belgian Lambert 72 worked example (published to the centimetre).
  double e = 0, n = 0, phi = 0, lam = 0, e2 = 0, n2 = 0;
  ASSERT_TRUE(p.Forward((50 + 40 / 60.0 + 46.461 / 3600) * Deg,
                        (5 + 48 / 60.0 + 26.533 / 3600) * Deg, e, n));
  EXPECT_LT(std::hypot(e - 251763.20, n - 153034.13), 0.0071);  // half a centimetre each
  ASSERT_TRUE(p.Forward(90 * Deg, 0, e, n));  // with t0 = 0 the pole is the apex
  EXPECT_LT(std::hypot(e - belgian.FE, n - belgian.FN), 1e-6);

  // The Chatham Islands lie east of 180 degrees; +183.5 and -176.5 are one meridian, east of
  // the central one, not a whole turn west.
  NewZealandMapGrid nz;
  ASSERT_TRUE(nz.Forward(-44 * Deg, -176.5 * Deg, e, n));
  ASSERT_TRUE(nz.Forward(-44 * Deg, 183.5 * Deg, e2, n2));
  EXPECT_LT(std::hypot(e - e2, n - n2), 1e-6);
  EXPECT_GT(e, 2510000);
  ASSERT_TRUE(nz.Inverse(e, n, phi, lam));
  EXPECT_NEAR(lam, -176.5 * Deg, 1e-6);

  EXPECT_FALSE(ProjectionOf(GridTableRow(7)).Forward(std::nan(""), 0.13, e, n));
  // Just short of the pole the stereographic plane is still finite and north of the origin.
  ASSERT_TRUE(ProjectionOf(GridTableRow(34)).Forward(89.999 * Deg, 5.3876388889 * Deg, e, n));
  EXPECT_NEAR(e, 155000, 1e-3);
  EXPECT_GT(n, 463000 + 4e6);
}

}  // namespace
}  // namespace velmira
