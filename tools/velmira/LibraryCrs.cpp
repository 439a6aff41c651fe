#include "LibraryCrs.h"

#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

namespace cli {
namespace {

// The library's datums by their EPSG datum codes, with the Greenwich latitude/longitude CRS
// of each. Datums 20 to 23 (four parameter sets of NAD27) and 17/27 (two of ED50) are one
// datum each to EPSG: its first set stands for it. The Paris and Rome meridian datums are
// the same datums counted from another meridian.
struct DatumCode {
  int16_t Library;
  int Datum;
  int Geographic;
};
constexpr DatumCode DatumCodes[] = {
    {1, 6326, 4326},  {2, 6258, 4258},  {3, 6277, 4277},  {4, 6149, 4149},  {5, 6124, 4124},
    {6, 6299, 4299},  {6, 6300, 4300},  {7, 6123, 4123},  {8, 6181, 4181},  {9, 6322, 4322},
    {10, 6203, 4203}, {11, 6283, 4283}, {12, 6312, 4312}, {13, 6272, 4272}, {14, 6167, 4167},
    {15, 6275, 4275}, {15, 6807, 4275}, {16, 6313, 4313}, {17, 6230, 4230}, {18, 6314, 4314},
    {19, 6269, 4269}, {22, 6267, 4267}, {24, 6289, 4289}, {25, 6265, 4265}, {25, 6806, 4265},
    {26, 6273, 4273}, {26, 6817, 4273},
};
constexpr int16_t LibraryDatums = 27;

// The library's grids by EPSG projected CRS codes: zone z of a zoned row is Code + z -
// FirstZone. Grid 29 is EPSG's Gauss-Krueger with the zone number prefixed to the easting.
struct GridCode {
  int16_t Grid, FirstZone, LastZone;
  int Code;
  double ShiftPerZone;
};
constexpr GridCode GridCodes[] = {
    {1, 1, 60, 32601, 0},  {2, 1, 60, 32701, 0},  {3, 0, 0, 27700, 0},   {4, 0, 0, 29902, 0},
    {5, 0, 0, 2157, 0},    {6, 0, 0, 3021, 0},    {7, 0, 0, 21781, 0},   {8, 0, 0, 2056, 0},
    {9, 0, 0, 2391, 0},    {10, 0, 0, 2392, 0},   {11, 0, 0, 2393, 0},   {12, 0, 0, 2394, 0},
    {13, 28, 38, 25828, 0}, {14, 0, 0, 2169, 0},  {15, 48, 58, 20348, 0}, {16, 48, 58, 28348, 0},
    {17, 0, 0, 31257, 0},  {18, 0, 0, 31258, 0},  {19, 0, 0, 31259, 0},  {20, 0, 0, 2193, 0},
    {21, 0, 0, 27200, 0},  {22, 0, 0, 31300, 0},  {23, 0, 0, 27561, 0},  {24, 0, 0, 27562, 0},
    {25, 0, 0, 27563, 0},  {26, 0, 0, 27564, 0},  {27, 0, 0, 2154, 0},   {28, 28, 38, 23028, 0},
    {29, 2, 5, 31466, 1e6}, {32, 3, 22, 26703, 0}, {33, 3, 23, 26903, 0}, {34, 0, 0, 28992, 0},
    {35, 0, 0, 3003, 0},   {36, 0, 0, 3004, 0},   {37, 0, 0, 27391, 0},  {38, 0, 0, 27392, 0},
    {39, 0, 0, 27393, 0},  {40, 0, 0, 27394, 0},  {41, 0, 0, 27395, 0},  {42, 0, 0, 27396, 0},
    {43, 0, 0, 27397, 0},  {44, 0, 0, 27398, 0},  {45, 0, 0, 27572, 0},  {47, 28, 38, 23028, 0},
};

constexpr int16_t ZonedGrids[] = {1, 2, 13, 15, 16, 28, 32, 33, 47};
constexpr int16_t UtmZones = 60;
constexpr int16_t GaussKruger3 = 29, GaussKruger3Zones = 10;
constexpr int16_t StatePlane27 = 30, StatePlane83 = 31;
constexpr int16_t FirstStatePlaneCode = 101, LastStatePlaneCode = 5202;
constexpr int16_t LibraryGrids = 49;
// A datum shift agrees when the library and PROJ put WGS 84 points this close (degrees,
// about 0.1 m).
constexpr double DatumTolerance = 1e-6;

bool Failed(VmPosition* p) { return Error_ErrNum(Position_GetErrHandle(p)) != 0; }

using PositionHandle = std::unique_ptr<VmPosition, void (*)(VmPosition*)>;

PositionHandle OnDatum(int16_t datum, const Xy& lonLat) {
  PositionHandle p(Position_New(), Position_Delete);
  Position_SetDatum(p.get(), datum);
  Position_SetLatitudeDecDeg(p.get(), &lonLat[1]);
  Position_SetLongitudeDecDeg(p.get(), &lonLat[0]);
  return p;
}

// The position in `frame`: easting/northing, or longitude/latitude in degrees.
bool InFrame(VmPosition* p, const LibraryFrame& frame, Xy& uv) {
  if (frame.Grid == 0) {
    Position_SetDatum(p, frame.Datum);
    Position_GetLongitudeDecDeg(p, &uv[0]);
    Position_GetLatitudeDecDeg(p, &uv[1]);
    return !Failed(p);
  }
  Position_SetGrid(p, frame.Grid);
  if (Failed(p)) return false;
  if (frame.Zone != 0) Position_SetZone(p, frame.Zone);
  if (Failed(p)) return false;
  Position_GetEasting(p, &uv[0]);
  if (Failed(p)) return false;
  Position_GetNorthing(p, &uv[1]);
  return !Failed(p);
}

bool Transform(const OGRSpatialReference& from, const OGRSpatialReference& to,
               const std::vector<Xy>& in, std::vector<Xy>& out) {
  std::unique_ptr<OGRCoordinateTransformation> t(OGRCreateCoordinateTransformation(&from, &to));
  if (!t) return false;
  out = in;
  for (Xy& p : out) {
    if (!t->Transform(1, &p[0], &p[1])) return false;
  }
  return true;
}

std::unique_ptr<OGRSpatialReference> FromEpsg(int code) {
  auto srs = std::make_unique<OGRSpatialReference>();
  srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  if (srs->importFromEPSG(code) != OGRERR_NONE) return nullptr;
  return srs;
}

int AuthorityCode(const OGRSpatialReference& srs, const char* key) {
  const char* name = srs.GetAuthorityName(key);
  const char* code = srs.GetAuthorityCode(key);
  if (name == nullptr || code == nullptr || std::string(name) != "EPSG") return 0;
  return std::atoi(code);
}

}  // namespace

std::string LibraryFrame::Describe() const {
  if (Grid == 0) return "latitude/longitude on datum " + std::to_string(Datum);
  return "grid " + std::to_string(Grid) + (Zone != 0 ? ", zone " + std::to_string(Zone) : "");
}

LibraryCrs::LibraryCrs() = default;

LibraryCrs::~LibraryCrs() = default;

bool LibraryCrs::GridSrs(int16_t grid, int16_t zone, OGRSpatialReference& out) {
  for (const GridCode& g : GridCodes) {
    if (g.Grid != grid || zone < g.FirstZone || zone > g.LastZone) continue;
    out.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return out.importFromEPSG(g.Code + zone - g.FirstZone) == OGRERR_NONE;
  }
  return false;
}

std::string LibraryCrs::MatchDatum(const OGRSpatialReference& srs, const std::vector<Xy>& samples) {
  const int code = AuthorityCode(srs, srs.IsProjected() ? "GEOGCS|DATUM" : "DATUM");
  for (const DatumCode& d : DatumCodes) {
    if (d.Datum != code) continue;
    auto geographic = FromEpsg(d.Geographic);
    if (!geographic) break;
    Matched.Datum = d.Library;
    Geographic = std::move(geographic);
    return {};
  }
  // No code: the datum whose shift to WGS 84 is the CRS's own.
  std::unique_ptr<OGRSpatialReference> own(srs.CloneGeogCS());
  auto wgs84 = FromEpsg(4326);
  std::vector<Xy> lonLat, shifted;
  if (!own || !wgs84 || own->GetPrimeMeridian() != 0 ||
      std::abs(own->GetAngularUnits() - M_PI / 180) > 1e-12) {
    return "its datum is none of the library's";
  }
  own->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  if (!Transform(srs, *own, samples, lonLat) || !Transform(*own, *wgs84, lonLat, shifted)) {
    return "GDAL cannot place its points on WGS 84";
  }
  for (int16_t d = 1; d <= LibraryDatums; ++d) {
    bool same = true;
    for (size_t i = 0; i < lonLat.size() && same; ++i) {
      PositionHandle p = OnDatum(d, lonLat[i]);
      Xy on84{};
      same = InFrame(p.get(), LibraryFrame{}, on84) &&
             std::abs(on84[0] - shifted[i][0]) < DatumTolerance &&
             std::abs(on84[1] - shifted[i][1]) < DatumTolerance;
    }
    if (!same) continue;
    Matched.Datum = d;
    Geographic = std::move(own);
    return {};
  }
  return "its datum is none of the library's";
}

bool LibraryCrs::TryGrid(const LibraryFrame& c, const std::vector<Xy>& samples,
                         const std::vector<Xy>& lonLat, double tolerance, double& misfit) const {
  misfit = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    PositionHandle p = OnDatum(Matched.Datum, lonLat[i]);
    Xy uv{};
    if (!InFrame(p.get(), c, uv)) return false;
    const double de = uv[0] - (samples[i][0] * c.Unit - c.EastingShift);
    const double dn = uv[1] - samples[i][1] * c.Unit;
    misfit = std::max(misfit, std::hypot(de, dn));
    if (!(misfit <= tolerance)) return false;
  }
  return true;
}

std::string LibraryCrs::Match(const OGRSpatialReference& srs, const std::vector<Xy>& samples,
                              double tolerance) {
  Geographic.reset();
  Matched = LibraryFrame{};
  Source.reset(srs.Clone());
  Source->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  if (!srs.IsGeographic() && !srs.IsProjected()) return "it is neither geographic nor projected";
  if (std::string why = MatchDatum(*Source, samples); !why.empty()) return why;
  if (srs.IsGeographic()) {
    Matched.Unit = srs.GetAngularUnits() * 180 / M_PI;
    Matched.PrimeMeridian = srs.GetPrimeMeridian();
    return {};
  }
  std::vector<Xy> lonLat;
  if (!Transform(*Source, *Geographic, samples, lonLat)) {
    return "GDAL cannot give the latitudes and longitudes of its points";
  }
  LibraryFrame c = Matched;
  c.Unit = srs.GetLinearUnits();
  double misfit = 0;
  // A known EPSG code names its grid at once; everything else is tried.
  const int code = AuthorityCode(srs, "PROJCS");
  for (const GridCode& g : GridCodes) {
    const int zone = code - g.Code + g.FirstZone;
    if (code == 0 || zone < g.FirstZone || zone > g.LastZone) continue;
    c.Grid = g.Grid;
    c.Zone = static_cast<int16_t>(g.FirstZone != 0 ? zone : 0);
    c.EastingShift = g.ShiftPerZone * zone;
    if (TryGrid(c, samples, lonLat, tolerance, misfit)) return Matched = c, std::string();
  }
  LibraryFrame best;
  double bestMisfit = std::numeric_limits<double>::infinity();
  const auto consider = [&](int16_t grid, int16_t zone, double shift) {
    c.Grid = grid, c.Zone = zone, c.EastingShift = shift;
    // The first point alone rules out nearly every candidate.
    if (!TryGrid(c, {samples[0]}, {lonLat[0]}, tolerance, misfit)) return;
    if (TryGrid(c, samples, lonLat, tolerance, misfit) && misfit < bestMisfit) {
      best = c, bestMisfit = misfit;
    }
  };
  for (int16_t grid = 1; grid <= LibraryGrids; ++grid) {
    const bool zoned = std::find(std::begin(ZonedGrids), std::end(ZonedGrids), grid) != std::end(ZonedGrids);
    if (zoned) {
      for (int16_t z = 1; z <= UtmZones; ++z) consider(grid, z, 0);
    } else if (grid == GaussKruger3) {
      for (int16_t z = 1; z <= GaussKruger3Zones; ++z) consider(grid, z, 0), consider(grid, z, z * 1e6);
    } else if (grid == StatePlane27 || grid == StatePlane83) {
      for (int16_t z = FirstStatePlaneCode; z <= LastStatePlaneCode; ++z) consider(grid, z, 0);
    } else {
      consider(grid, 0, 0);
    }
  }
  if (!std::isfinite(bestMisfit)) return "no grid of the library computes as it does";
  Matched = best;
  return {};
}

Xy LibraryCrs::ToFrame(const Xy& crs) const {
  if (Matched.Grid == 0) return {crs[0] * Matched.Unit + Matched.PrimeMeridian, crs[1] * Matched.Unit};
  return {crs[0] * Matched.Unit - Matched.EastingShift, crs[1] * Matched.Unit};
}

bool LibraryCrs::ToLatLon(const std::vector<Xy>& crs, std::vector<Xy>& lonLat) const {
  if (Source == nullptr || Geographic == nullptr) return false;
  if (Matched.Grid == 0) {
    lonLat.clear();
    for (const Xy& p : crs) lonLat.push_back(ToFrame(p));
    return true;
  }
  return Transform(*Source, *Geographic, crs, lonLat);
}

bool LibraryCrs::Reexpress(const LibraryFrame& to, const std::vector<Xy>& crs, std::vector<Xy>& uv) const {
  std::vector<Xy> lonLat;
  if (!ToLatLon(crs, lonLat)) return false;
  uv.assign(lonLat.size(), Xy{});
  for (size_t i = 0; i < lonLat.size(); ++i) {
    PositionHandle p = OnDatum(Matched.Datum, lonLat[i]);
    if (!InFrame(p.get(), to, uv[i])) return false;
  }
  return true;
}

VmPosition* LibraryCrs::NewPosition(const LibraryFrame& frame, const Xy& uv) {
  VmPosition* p = Position_New();
  if (frame.Grid == 0) {
    Position_SetDatum(p, frame.Datum);
    Position_SetLatitudeDecDeg(p, &uv[1]);
    Position_SetLongitudeDecDeg(p, &uv[0]);
    return p;
  }
  Position_SetGrid(p, frame.Grid);
  if (frame.Zone != 0) Position_SetZone(p, frame.Zone);
  Position_SetEasting(p, &uv[0]);
  Position_SetNorthing(p, &uv[1]);
  double latitude = 0;
  Position_GetLatitudeRads(p, &latitude);  // so that the zone text has its latitude band
  return p;
}

}  // namespace cli
