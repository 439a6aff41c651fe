#include "GeoCalibration.h"

#include <gdal.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace cli {
namespace {

// A CRS matches a library frame when both put the raster's points within a tenth of a pixel
// of each other, but never closer than a centimetre is asked nor further than a metre allowed.
constexpr double MatchPixels = 0.1, MinTolerance = 0.01, MaxTolerance = 1.0;
// A fit whose RMS residual exceeds a pixel is warped instead.
constexpr double MaxRmsPixels = 1.0;
constexpr int MinGcps = 3;

// The UTM grids of the datums that have one: north and south (0: none).
struct DatumUtm {
  int16_t Datum, North, South;
};
constexpr DatumUtm DatumUtms[] = {{1, 1, 2}, {2, 13, 0}, {17, 28, 0}, {19, 33, 0},
                                  {22, 32, 0}, {27, 47, 0}, {10, 0, 15}, {11, 0, 16}};

double Tolerance(double pixelSize) {
  return std::clamp(MatchPixels * pixelSize, MinTolerance, MaxTolerance);
}

Xy Apply(const double (&a)[6], double x, double y) {
  return {a[0] + a[1] * x + a[2] * y, a[3] + a[4] * x + a[5] * y};
}

// Least squares affine U = a0 + a1 x + a2 y, V = a3 + a4 x + a5 y through the points; false
// when the pixels lie on one line.
bool FitAffine(const std::vector<Xy>& pixels, const std::vector<Xy>& uv, double (&a)[6]) {
  const double n = static_cast<double>(pixels.size());
  double mx = 0, my = 0, mu = 0, mv = 0;
  for (size_t i = 0; i < pixels.size(); ++i) {
    mx += pixels[i][0] / n, my += pixels[i][1] / n, mu += uv[i][0] / n, mv += uv[i][1] / n;
  }
  // Centred sums keep the normal equations well conditioned far from the origin.
  double sxx = 0, sxy = 0, syy = 0, sxu = 0, syu = 0, sxv = 0, syv = 0;
  for (size_t i = 0; i < pixels.size(); ++i) {
    const double x = pixels[i][0] - mx, y = pixels[i][1] - my;
    const double u = uv[i][0] - mu, v = uv[i][1] - mv;
    sxx += x * x, sxy += x * y, syy += y * y, sxu += x * u, syu += y * u, sxv += x * v, syv += y * v;
  }
  const double det = sxx * syy - sxy * sxy;
  if (!(std::abs(det) > 1e-9 * std::max(1.0, sxx * syy))) return false;
  a[1] = (sxu * syy - syu * sxy) / det, a[2] = (syu * sxx - sxu * sxy) / det;
  a[4] = (sxv * syy - syv * sxy) / det, a[5] = (syv * sxx - sxv * sxy) / det;
  a[0] = mu - a[1] * mx - a[2] * my, a[3] = mv - a[4] * mx - a[5] * my;
  return true;
}

// Distance in pixels from each point's pixel to where the affine transform puts its U, V.
std::vector<double> Residuals(const std::vector<Xy>& pixels, const std::vector<Xy>& uv,
                              const double (&a)[6]) {
  const double det = a[1] * a[5] - a[2] * a[4];
  std::vector<double> r;
  for (size_t i = 0; i < pixels.size(); ++i) {
    const double du = uv[i][0] - a[0], dv = uv[i][1] - a[3];
    const double x = (a[5] * du - a[2] * dv) / det, y = (a[1] * dv - a[4] * du) / det;
    r.push_back(std::hypot(x - pixels[i][0], y - pixels[i][1]));
  }
  return r;
}

double Rms(const std::vector<double>& r) {
  double sum = 0;
  for (double v : r) sum += v * v;
  return std::sqrt(sum / static_cast<double>(r.size()));
}

std::string Fixed(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string NameOf(const OGRSpatialReference& srs) {
  const char* name = srs.GetName();
  return name != nullptr && *name != '\0' ? name : "unnamed";
}

}  // namespace

void GeoCalibration::SetCorners(int32_t width, int32_t height, const double (&affine)[6]) {
  // Three corners on two edges: the library's three-point solve divides these pixel
  // differences exactly.
  CornerPixels = {{{0, 0}, {0, height}, {width, 0}}};
  for (size_t k = 0; k < 3; ++k) {
    CornerWorld[k] = Apply(affine, CornerPixels[k][0], CornerPixels[k][1]);
  }
}

std::string GeoCalibration::FromDataset(GDALDatasetH dataset) {
  Warp = false;
  Said.clear();
  double gt[6] = {};
  const bool hasTransform = GDALGetGeoTransform(dataset, gt) == CE_None &&
                            !(gt[0] == 0 && gt[1] == 1 && gt[2] == 0 && gt[3] == 0 && gt[4] == 0 && gt[5] == 1);
  if (hasTransform) return FromGeoTransform(dataset, gt);
  if (GDALGetGCPCount(dataset) > 0) return FromGcps(dataset);
  return "it has no georeferencing (give --calib)";
}

std::string GeoCalibration::FromGeoTransform(GDALDatasetH dataset, const double (&gt)[6]) {
  const OGRSpatialReference* srs = OGRSpatialReference::FromHandle(GDALGetSpatialRef(dataset));
  if (srs == nullptr) return "it has a geotransform but no coordinate reference system";
  const int32_t w = GDALGetRasterXSize(dataset), h = GDALGetRasterYSize(dataset);
  std::vector<Xy> samples;
  for (double fy : {0.5, 0.0, 1.0}) {
    for (double fx : {0.5, 0.0, 1.0}) samples.push_back(Apply(gt, fx * w, fy * h));
  }
  const double pixel = std::hypot(gt[1], gt[4]) * (srs->IsProjected() ? srs->GetLinearUnits() : 1);
  if (std::string why = Crs.Match(*srs, samples, Tolerance(pixel)); !why.empty()) {
    Warp = true;
    return "its coordinate reference system (" + NameOf(*srs) + ") is not one the library has: " + why;
  }
  Chosen = Crs.Frame();
  SetCorners(w, h, gt);
  for (Xy& world : CornerWorld) world = Crs.ToFrame(world);
  return {};
}

std::string GeoCalibration::FromGcps(GDALDatasetH dataset) {
  const OGRSpatialReference* srs = OGRSpatialReference::FromHandle(GDALGetGCPSpatialRef(dataset));
  const int count = GDALGetGCPCount(dataset);
  const GDAL_GCP* gcps = GDALGetGCPs(dataset);
  if (srs == nullptr) return "its control points have no coordinate reference system";
  if (count < MinGcps) return "it has fewer than three control points";
  std::vector<Xy> world, pixels;
  for (int i = 0; i < count; ++i) {
    world.push_back({gcps[i].dfGCPX, gcps[i].dfGCPY});
    pixels.push_back({gcps[i].dfGCPPixel, gcps[i].dfGCPLine});
  }
  // The size of a pixel, roughly, sets the tolerance of the CRS match.
  double rough[6] = {0, 1, 0, 0, 0, 1};
  if (!GDALGCPsToGeoTransform(count, gcps, rough, TRUE)) return "its control points lie on one line";
  const double pixel = std::hypot(rough[1], rough[4]) * (srs->IsProjected() ? srs->GetLinearUnits() : 1);
  if (std::string why = Crs.Match(*srs, world, Tolerance(pixel)); !why.empty()) {
    Warp = true;
    return "the coordinate reference system of its control points (" + NameOf(*srs) +
           ") is not one the library has: " + why;
  }
  // The frames to fit in: the CRS's own, latitude/longitude, the UTM zone of the centre.
  std::vector<LibraryFrame> frames = {Crs.Frame()};
  if (Crs.Frame().Grid != 0) frames.push_back(LibraryFrame{Crs.Frame().Datum});
  std::vector<Xy> lonLat;
  if (Crs.ToLatLon(world, lonLat)) {
    // Longitudes are averaged as offsets from the first point, so points on both sides of
    // 180 degrees average to a place between them, not to the other side of the earth.
    Xy centre{};
    for (const Xy& p : lonLat) {
      centre[0] += std::remainder(p[0] - lonLat[0][0], 360.0) / count;
      centre[1] += p[1] / count;
    }
    centre[0] = std::remainder(centre[0] + lonLat[0][0], 360.0);
    for (const DatumUtm& d : DatumUtms) {
      const int16_t grid = centre[1] >= 0 ? d.North : d.South;
      if (d.Datum != Crs.Frame().Datum || grid == 0 || grid == Crs.Frame().Grid) continue;
      const auto zone = static_cast<int16_t>(std::clamp(std::floor((centre[0] + 180) / 6) + 1, 1.0, 60.0));
      frames.push_back(LibraryFrame{d.Datum, grid, zone});
    }
  }
  double bestRms = std::numeric_limits<double>::infinity(), best[6] = {};
  std::vector<double> bestResiduals;
  for (const LibraryFrame& frame : frames) {
    std::vector<Xy> uv;
    if (&frame == &frames[0]) {
      for (const Xy& p : world) uv.push_back(Crs.ToFrame(p));
    } else if (!Crs.Reexpress(frame, world, uv)) {
      continue;
    }
    double a[6] = {};
    if (!FitAffine(pixels, uv, a)) return "its control points lie on one line";
    const std::vector<double> r = Residuals(pixels, uv, a);
    const double rms = Rms(r);
    if (!(rms < bestRms)) continue;  // also passes over a NaN, which would displace a real fit
    bestRms = rms, bestResiduals = r, Chosen = frame;
    std::copy(std::begin(a), std::end(a), std::begin(best));
  }
  if (!std::isfinite(bestRms)) return "the library cannot place its control points";
  for (int i = 0; i < count; ++i) {
    Said.push_back("control point " + std::to_string(i + 1) + " at pixel " + Fixed(pixels[i][0], 1) +
                   "," + Fixed(pixels[i][1], 1) + ": residual " + Fixed(bestResiduals[i], 3) + " px");
  }
  Said.push_back("affine fit in " + Chosen.Describe() + ": RMS " + Fixed(bestRms, 3) + " px over " +
                 std::to_string(count) + " control points");
  if (bestRms > MaxRmsPixels) {
    Warp = true;
    return "no affine calibration fits its control points within a pixel (RMS " + Fixed(bestRms, 2) + " px)";
  }
  SetCorners(GDALGetRasterXSize(dataset), GDALGetRasterYSize(dataset), best);
  return {};
}

}  // namespace cli
