// Agreement with PROJ on points spread over every transverse Mercator grid, a sample of
// State Plane zones and every datum. The expected values are in tests/data/geo, made by
// make_reference.py with cs2cs on the library's own ellipsoid, shift and grid figures.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "frame/Text.h"
#include "geo/Datum.h"
#include "geo/GeoPoint.h"
#include "geo/Grid.h"
#include "geo/Position.h"

namespace velmira {
namespace {

constexpr double Rad = 0.017453292519943295;
constexpr double EarthRadius = 6371000;
constexpr double GridTolerance = 0.002;   // metres on the ground, both directions
// From 5 degrees off the central meridian the library's series, which stops at A^6, parts
// from PROJ's, which carries the A^7 and A^8 terms: about 1 cm at 7 degrees.
constexpr double FarDegrees = 5;
constexpr double FarGridTolerance = 0.02;
constexpr double RoundTripTolerance = 0.005;
constexpr double DatumTolerance = 0.001;

std::vector<std::vector<double>> ReadRows(const std::string& name) {
  std::ifstream in(std::string(VELMIRA_TEST_DATA) + "/geo/" + name);
  std::vector<std::vector<double>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::vector<double> row;
    for (double v; fields >> v;) row.push_back(v);
    rows.push_back(row);
  }
  return rows;
}

// Distance on the ground between two latitude/longitude pairs in degrees, metres.
double GroundDistance(double lat1, double lon1, double lat2, double lon2) {
  const double dLon = std::remainder(lon1 - lon2, 360.0);
  return EarthRadius * Rad * std::hypot(lat1 - lat2, dLon * std::cos(lat1 * Rad));
}

bool TranslationOnly(int datum) {
  const DatumShift& s = DatumRow(datum).Shift;
  return s.Rx == 0 && s.Ry == 0 && s.Rz == 0 && s.Ds == 0;
}

struct TmCase {
  int Grid, Zone;
  double Lat, Lon, H, Easting, Northing;
  bool InBand;
  double InvLat, InvLon;

  explicit TmCase(const std::vector<double>& r)
      : Grid(static_cast<int>(r[0])), Zone(static_cast<int>(r[1])), Lat(r[2]), Lon(r[3]), H(r[4]),
        Easting(r[5]), Northing(r[6]), InBand(r[7] != 0), InvLat(r[8]), InvLon(r[9]) {}

  std::string Where() const {
    std::ostringstream s;
    s.precision(10);
    s << "grid " << Grid << " zone " << Zone << " at " << Lat << ", " << Lon;
    return s.str();
  }
  // Zones are given by the caller only where the grid needs one.
  bool CallerGivesZone() const { return IsStatePlane(Grid); }
};

class TransverseMercatorReference : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const auto& row : ReadRows("tm_reference.txt")) Cases.emplace_back(row);
  }
  static std::vector<TmCase> Cases;
};
std::vector<TmCase> TransverseMercatorReference::Cases;

TEST_F(TransverseMercatorReference, ForwardFromWgs84MatchesProjOnEveryGrid) {
  ASSERT_GT(Cases.size(), 1000u);
  for (const TmCase& c : Cases) {
    Position p;
    p.SetDatum(1);
    p.SetGrid(static_cast<int16_t>(c.Grid));
    if (c.CallerGivesZone()) p.SetZone(static_cast<int16_t>(c.Zone));
    p.SetLatitudeDecDeg(c.Lat);
    p.SetLongitudeDecDeg(c.Lon);
    p.SetAltitude(c.H, 1);
    const double e = p.GetEasting();
    const double n = p.GetNorthing();
    ASSERT_FALSE(p.GetError().Failed()) << c.Where() << ": " << p.GetError().Message;
    const double offMeridian = std::fabs(c.Lon - p.Point().ConversionRow()->Lambda0 / Rad);
    const bool far = !c.InBand && !IsZonedTransverseMercator(c.Grid) && offMeridian > FarDegrees;
    EXPECT_LT(std::hypot(e - c.Easting, n - c.Northing), far ? FarGridTolerance : GridTolerance)
        << c.Where() << ": " << e << " " << n << " vs " << c.Easting << " " << c.Northing;
    if (IsZonedTransverseMercator(c.Grid) || c.Grid == GridGaussKruger3) {
      EXPECT_EQ(p.Point().Zone, c.Zone) << c.Where();
    }
  }
}

TEST_F(TransverseMercatorReference, InverseToWgs84MatchesProjWithinTheBand) {
  int compared = 0;
  for (const TmCase& c : Cases) {
    if (!c.InBand) continue;  // farther out the inverse series drifts by centimetres
    Position p;
    p.SetDatum(1);
    p.SetGrid(static_cast<int16_t>(c.Grid));
    p.SetZone(static_cast<int16_t>(c.Zone));
    p.SetEasting(c.Easting);
    p.SetNorthing(c.Northing);
    const double lat = p.GetLatitudeDecDeg();
    const double lon = p.GetLongitudeDecDeg();
    ASSERT_FALSE(p.GetError().Failed()) << c.Where() << ": " << p.GetError().Message;
    EXPECT_LT(GroundDistance(lat, lon, c.InvLat, c.InvLon), GridTolerance)
        << c.Where() << ": " << lat << " " << lon << " vs " << c.InvLat << " " << c.InvLon;
    ++compared;
  }
  EXPECT_GT(compared, 1000);
}

TEST_F(TransverseMercatorReference, RoundTripOnTheGridDatumStaysWithin5mm) {
  // On the grid's own datum, so no datum shift takes part: only the two series.
  for (const TmCase& c : Cases) {
    if (!c.InBand) continue;
    const GridRow* row = nullptr;
    GeoPoint point;
    point.Grid = static_cast<int16_t>(c.Grid);
    point.Zone = static_cast<int16_t>(c.Zone);
    row = point.ConversionRow();
    ASSERT_NE(row, nullptr) << c.Where();
    point.Datum = row->Datum;
    point.Latitude = c.Lat * Rad;
    point.Longitude = c.Lon * Rad;
    point.GeoToGrid();
    point.GridToGeo();
    EXPECT_LT(GroundDistance(point.Latitude / Rad, point.Longitude / Rad, c.Lat, c.Lon),
              RoundTripTolerance)
        << c.Where();
  }
}

struct DatumCase {
  int Datum, Direction;
  double Lat, Lon, H, RefLat, RefLon, RefH;
  explicit DatumCase(const std::vector<double>& r)
      : Datum(static_cast<int>(r[0])), Direction(static_cast<int>(r[1])), Lat(r[2]), Lon(r[3]),
        H(r[4]), RefLat(r[5]), RefLon(r[6]), RefH(r[7]) {}
};

TEST(DatumShiftReference, EachDirectionOfEveryDatumMatchesProjWithin1mm) {
  const auto rows = ReadRows("datum_reference.txt");
  ASSERT_EQ(rows.size(), 26u * 20u);
  for (const auto& row : rows) {
    const DatumCase c(row);
    GeoPoint p;
    p.Datum = static_cast<int16_t>(c.Direction > 0 ? c.Datum : 1);
    p.Latitude = c.Lat * Rad;
    p.Longitude = c.Lon * Rad;
    p.Height = c.H;
    p.ChangeDatum(static_cast<int16_t>(c.Direction > 0 ? 1 : c.Datum));
    ASSERT_FALSE(p.GetError().Failed());
    const double ground = GroundDistance(p.Latitude / Rad, p.Longitude / Rad, c.RefLat, c.RefLon);
    EXPECT_LT(std::hypot(ground, p.Height - c.RefH), DatumTolerance)
        << "datum " << c.Datum << " direction " << c.Direction << " at " << c.Lat << ", "
        << c.Lon;
  }
}

TEST(DatumShiftReference, TranslationOnlyDatumsRoundTripWithin1mm) {
  for (int datum = 2; datum <= LastDatum; ++datum) {
    if (!TranslationOnly(datum)) continue;
    GeoPoint p;
    p.Latitude = 51.5 * Rad;
    p.Longitude = -0.1 * Rad;
    p.Height = 45;
    p.ChangeDatum(static_cast<int16_t>(datum));
    p.ChangeDatum(1);
    EXPECT_LT(std::hypot(GroundDistance(p.Latitude / Rad, p.Longitude / Rad, 51.5, -0.1),
                         p.Height - 45),
              DatumTolerance)
        << "datum " << datum;
  }
}

}  // namespace
}  // namespace velmira
