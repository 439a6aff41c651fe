// Geodesic distances by Vincenty's inverse method (T. Vincenty, "Direct and inverse solutions
// of geodesics on the ellipsoid with application of nested equations", Survey Review 23, 1975),
// on the WGS 84 ellipsoid.
#include "MapChoice.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "velmira/platform.h"

namespace cli {
namespace {

constexpr int16_t Wgs84 = 1;
constexpr double SemiMajor = 6378137.0, Flattening = 1 / 298.257223563;
constexpr double Radians = std::numbers::pi / 180;
// The longitude difference on the auxiliary sphere settles to this (about 0.006 mm) within a
// few rounds for any two points of one map; only nearly antipodal points need more.
constexpr double Settled = 1e-12;
constexpr int MaxRounds = 200;
// The prefilter box grows by this share of its span on every side, so that curved edges of a
// grid map seen in latitude and longitude stay inside it.
constexpr double BoxMargin = 0.05;

// The WGS 84 degrees of map pixel (x, y) of the probe's current map; false when the library
// cannot place it.
bool PositionAt(VmViewer* probe, int32_t x, int32_t y, double& lat, double& lon) {
  Handle<VmPoint> point = NewPoint(x, y);
  Handle<VmPosition> p(Viewer_Point2Position(probe, point.get()), Position_Delete);
  if (!p) return false;
  Position_SetDatum(p.get(), Wgs84);
  bool ok = Error_ErrNum(Position_GetErrHandle(p.get())) == 0;
  Position_GetLatitudeDecDeg(p.get(), &lat);
  ok = ok && Error_ErrNum(Position_GetErrHandle(p.get())) == 0;
  Position_GetLongitudeDecDeg(p.get(), &lon);
  return ok && Error_ErrNum(Position_GetErrHandle(p.get())) == 0;
}

}  // namespace

double GeodesicMetres(double lat1, double lon1, double lat2, double lon2) {
  constexpr double b = SemiMajor * (1 - Flattening);
  const double l = (lon2 - lon1) * Radians;
  const double u1 = std::atan((1 - Flattening) * std::tan(lat1 * Radians));
  const double u2 = std::atan((1 - Flattening) * std::tan(lat2 * Radians));
  const double sinU1 = std::sin(u1), cosU1 = std::cos(u1);
  const double sinU2 = std::sin(u2), cosU2 = std::cos(u2);
  double lambda = l, sinSigma = 0, cosSigma = 1, sigma = 0, cosSqAlpha = 1, cos2SigmaM = 0;
  for (int round = 0; round < MaxRounds; ++round) {
    const double sinLambda = std::sin(lambda), cosLambda = std::cos(lambda);
    sinSigma = std::hypot(cosU2 * sinLambda, cosU1 * sinU2 - sinU1 * cosU2 * cosLambda);
    if (sinSigma == 0) return 0;  // the same point
    cosSigma = sinU1 * sinU2 + cosU1 * cosU2 * cosLambda;
    sigma = std::atan2(sinSigma, cosSigma);
    const double sinAlpha = cosU1 * cosU2 * sinLambda / sinSigma;
    cosSqAlpha = 1 - sinAlpha * sinAlpha;
    // On the equator cos^2 alpha is 0 and the term drops out.
    cos2SigmaM = cosSqAlpha != 0 ? cosSigma - 2 * sinU1 * sinU2 / cosSqAlpha : 0;
    const double c = Flattening / 16 * cosSqAlpha * (4 + Flattening * (4 - 3 * cosSqAlpha));
    const double previous = lambda;
    lambda = l + (1 - c) * Flattening * sinAlpha *
                     (sigma + c * sinSigma *
                                  (cos2SigmaM + c * cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM)));
    if (std::abs(lambda - previous) < Settled) break;
  }
  const double uSq = cosSqAlpha * (SemiMajor * SemiMajor - b * b) / (b * b);
  const double a = 1 + uSq / 16384 * (4096 + uSq * (-768 + uSq * (320 - 175 * uSq)));
  const double bb = uSq / 1024 * (256 + uSq * (-128 + uSq * (74 - 47 * uSq)));
  const double deltaSigma =
      bb * sinSigma *
      (cos2SigmaM + bb / 4 *
                        (cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM) -
                         bb / 6 * cos2SigmaM * (-3 + 4 * sinSigma * sinSigma) *
                             (-3 + 4 * cos2SigmaM * cos2SigmaM)));
  return b * a * (sigma - deltaSigma);
}

bool Wgs84Degrees(VmPosition* position, double& lat, double& lon) {
  double latRads = 0, lonRads = 0;
  Position_GetLatitudeRads(position, &latRads);
  Position_GetLongitudeRads(position, &lonRads);
  Handle<VmPosition> copy(Position_New(), Position_Delete);
  Position_SetDatum(copy.get(), Position_GetDatum(position));
  Position_SetLatitudeRads(copy.get(), &latRads);
  Position_SetLongitudeRads(copy.get(), &lonRads);
  Position_SetDatum(copy.get(), Wgs84);
  bool ok = Error_ErrNum(Position_GetErrHandle(copy.get())) == 0;
  Position_GetLatitudeDecDeg(copy.get(), &lat);
  ok = ok && Error_ErrNum(Position_GetErrHandle(copy.get())) == 0;
  Position_GetLongitudeDecDeg(copy.get(), &lon);
  return ok && Error_ErrNum(Position_GetErrHandle(copy.get())) == 0;
}

double MapArea::MetresPerPixel() const {
  return Placed ? (Across + Down) / 2 : std::numeric_limits<double>::infinity();
}

MapChoice::MapChoice() : Probe(nullptr, Viewer_Delete) {}

std::string MapChoice::Open(const std::string& library) {
  Areas.clear();
  Probe.reset(Viewer_New());
  Viewer_Open(Probe.get(), Widen(library).c_str());
  if (std::string why = LibraryError(Viewer_GetErrHandle(Probe.get())); !why.empty()) {
    return library + ": " + why;
  }
  Handle<VmMapLib> lib(Viewer_GetMapLib(Probe.get()), MapLib_Delete);
  for (int32_t i = 1; i <= MapLib_GetMapCount(lib.get()); ++i) {
    Handle<VmMap> map(MapLib_GetMapByIndex(lib.get(), i), Map_Delete);
    MapArea area;
    area.Name = TakeText(Map_GetName(map.get(), nullptr));
    Handle<VmPoint> size(Map_GetSize(map.get()), Point_Delete);
    area.Width = Point_GetX(size.get());
    area.Height = Point_GetY(size.get());
    // Maps are selected by name, which finds the first map of that name.
    const std::u16string wide = Widen(area.Name);
    Handle<VmMap> named(area.Name.empty() ? nullptr : MapLib_GetMapByName(lib.get(), wide.c_str()),
                        Map_Delete);
    if (named.get() != map.get()) area.Name.clear();
    if (!area.Name.empty()) Measure(area);
    Areas.push_back(area);
  }
  return {};
}

void MapChoice::Measure(MapArea& map) {
  Handle<VmMap> selected(Viewer_ActiveMapData(Probe.get(), Widen(map.Name).c_str()), Map_Delete);
  const int32_t w = map.Width, h = map.Height;
  // The four corners, then the middles of the left, right, top and bottom edges.
  const int32_t xs[8] = {0, w, w, 0, 0, w, w / 2, w / 2};
  const int32_t ys[8] = {0, 0, h, h, h / 2, h / 2, 0, h};
  double lat[8], lon[8];
  map.Placed = w > 0 && h > 0;
  for (int i = 0; i < 8 && map.Placed; ++i) {
    map.Placed = PositionAt(Probe.get(), xs[i], ys[i], lat[i], lon[i]);
  }
  if (!map.Placed) return;
  std::copy(lat, lat + 4, map.Lat);
  std::copy(lon, lon + 4, map.Lon);
  map.Across = GeodesicMetres(lat[4], lon[4], lat[5], lon[5]) / w;
  map.Down = GeodesicMetres(lat[6], lon[6], lat[7], lon[7]) / h;
  const auto [south, north] = std::minmax_element(lat, lat + 8);
  const auto [west, east] = std::minmax_element(lon, lon + 8);
  const double latMargin = (*north - *south) * BoxMargin, lonMargin = (*east - *west) * BoxMargin;
  map.South = *south - latMargin, map.North = *north + latMargin;
  map.West = *west - lonMargin, map.East = *east + lonMargin;
  map.Boxed = *east - *west < 180;  // a wider box is a map across the antimeridian
}

bool MapChoice::Covers(const MapArea& map, double lat, double lon) {
  if (map.Name.empty()) return false;
  if (map.Boxed && (lat < map.South || lat > map.North || lon < map.West || lon > map.East)) {
    return false;
  }
  Handle<VmMap> selected(Viewer_ActiveMapData(Probe.get(), Widen(map.Name).c_str()), Map_Delete);
  Handle<VmPosition> p(Position_New(), Position_Delete);
  Position_SetDatum(p.get(), Wgs84);
  Position_SetLatitudeDecDeg(p.get(), &lat);
  Position_SetLongitudeDecDeg(p.get(), &lon);
  Handle<VmPoint> at(Viewer_Position2Point(Probe.get(), p.get()), Point_Delete);
  if (!at || Error_ErrNum(Viewer_GetErrHandle(Probe.get())) != 0) return false;
  const int32_t x = Point_GetX(at.get()), y = Point_GetY(at.get());
  return x >= 0 && y >= 0 && x < map.Width && y < map.Height;
}

bool MapChoice::Covers(const std::string& name, double lat, double lon) {
  for (const MapArea& map : Areas) {
    if (map.Name == name) return Covers(map, lat, lon);
  }
  return false;
}

std::string MapChoice::Finest(double lat, double lon, const std::string& current) {
  const MapArea* best = nullptr;
  for (const MapArea& map : Areas) {
    if (!Covers(map, lat, lon)) continue;
    const double mine = map.MetresPerPixel();
    const double theirs = best != nullptr ? best->MetresPerPixel() : 0;
    const bool finer = best == nullptr || mine * TieRatio < theirs;
    const bool tie = !finer && mine < theirs * TieRatio;
    if (finer || (tie && map.Name == current)) best = &map;
  }
  return best != nullptr ? best->Name : std::string();
}

}  // namespace cli
