#include "RasterWarp.h"

#include <gdal_alg.h>
#include <gdalwarper.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "LibraryCrs.h"

namespace cli {
namespace {

struct Resampling {
  const char* Name;
  GDALResampleAlg Algorithm;
};
constexpr Resampling Resamplings[] = {
    {"near", GRA_NearestNeighbour}, {"bilinear", GRA_Bilinear}, {"cubic", GRA_Cubic},
    {"cubicspline", GRA_CubicSpline}, {"lanczos", GRA_Lanczos}, {"average", GRA_Average},
    {"mode", GRA_Mode},
};
// The warper's approximation of the exact transform, in pixels (gdalwarp's default).
constexpr double MaxErrorPixels = 0.125;
constexpr int16_t UtmNorth = 1, UtmSouth = 2, GaussKruger3 = 29;
constexpr int PaletteSize = 256;
constexpr int StripRows = 256;

GDALResampleAlg AlgorithmOf(const std::string& name, bool palette) {
  for (const Resampling& r : Resamplings) {
    if (name == r.Name) return r.Algorithm;
  }
  return palette ? GRA_NearestNeighbour : GRA_Bilinear;
}

// The index outside pixels take in a palette raster: a white entry, else a new one when there
// is room, else an entry no pixel uses made white (GeoTIFF palettes are always full, mostly of
// unused black), else the entry nearest to white.
int WhiteIndex(GDALRasterBandH band, GDALColorTableH table) {
  const int count = GDALGetColorEntryCount(table);
  const GDALColorEntry white{255, 255, 255, 255};
  int nearest = 0, nearestDistance = 4 * 255 * 255;
  for (int i = 0; i < count; ++i) {
    GDALColorEntry c{};
    GDALGetColorEntryAsRGB(table, i, &c);
    const int d = (255 - c.c1) * (255 - c.c1) + (255 - c.c2) * (255 - c.c2) + (255 - c.c3) * (255 - c.c3);
    if (d == 0 && c.c4 == 255) return i;
    if (d < nearestDistance) nearest = i, nearestDistance = d;
  }
  if (count < PaletteSize) {
    GDALSetColorEntry(table, count, &white);
    return count;
  }
  // The indices in use, read a strip at a time (GDAL's histogram would be saved beside the
  // raster, and nothing is to be written there).
  std::vector<bool> used(PaletteSize);
  const int width = GDALGetRasterBandXSize(band), height = GDALGetRasterBandYSize(band);
  std::vector<uint8_t> strip(static_cast<size_t>(width) * StripRows);
  for (int row = 0; row < height; row += StripRows) {
    const int rows = std::min(StripRows, height - row);
    if (GDALRasterIO(band, GF_Read, 0, row, width, rows, strip.data(), width, rows, GDT_Byte, 0, 0) != CE_None) {
      return nearest;
    }
    for (size_t i = 0; i < static_cast<size_t>(width) * rows; ++i) used[strip[i]] = true;
  }
  for (int i = PaletteSize - 1; i >= 0; --i) {
    if (used[i]) continue;
    GDALSetColorEntry(table, i, &white);
    return i;
  }
  return nearest;
}

}  // namespace

bool KnownResampling(const std::string& name) {
  return std::any_of(std::begin(Resamplings), std::end(Resamplings),
                     [&](const Resampling& r) { return name == r.Name; });
}

bool RasterWarp::Centre(GDALDatasetH source, double& lon, double& lat) {
  // The centre of the raster on WGS 84, through GDAL's own transform of the raster.
  char** options = CSLSetNameValue(nullptr, "DST_SRS", "EPSG:4326");
  void* transform = GDALCreateGenImgProjTransformer2(source, nullptr, options);
  CSLDestroy(options);
  if (transform == nullptr) return Why = "GDAL cannot place the raster on WGS 84", false;
  double x = GDALGetRasterXSize(source) / 2.0, y = GDALGetRasterYSize(source) / 2.0, z = 0;
  int ok = 0;
  GDALGenImgProjTransform(transform, FALSE, 1, &x, &y, &z, &ok);
  GDALDestroyGenImgProjTransformer(transform);
  // GDAL's transformer keeps longitude first for the CRSs it is given.
  lon = x, lat = y;
  if (!ok || !std::isfinite(lat) || !std::isfinite(lon)) {
    return Why = "GDAL cannot place the raster's centre on WGS 84", false;
  }
  return true;
}

bool RasterWarp::Target(GDALDatasetH source, const WarpRequest& request, std::string& wkt) {
  double lon = 0, lat = 0;
  if (!Centre(source, lon, lat)) return false;
  // Without a zone, zoned grids take the zone of the centre: UTM's 6-degree zones from 180 W,
  // or the 3-degree zones of grid 29 around their central meridians at 3 z degrees.
  const double zoneOfCentre = std::clamp(std::floor((lon + 180) / 6) + 1, 1.0, 60.0);
  const double zoneOf3Degrees = std::clamp(std::floor((lon + 1.5) / 3), 1.0, 60.0);
  const int16_t grid = request.Grid != 0 ? request.Grid : lat >= 0 ? UtmNorth : UtmSouth;
  int16_t zone = request.Zone;
  OGRSpatialReference target;
  if (zone == 0 && !LibraryCrs::GridSrs(grid, 0, target)) {
    zone = static_cast<int16_t>(grid == GaussKruger3 ? zoneOf3Degrees : zoneOfCentre);
  }
  if (!LibraryCrs::GridSrs(grid, zone, target)) {
    return Why = "grid " + std::to_string(grid) + (zone != 0 ? " zone " + std::to_string(zone) : "") +
                 " has no definition to warp into",
           false;
  }
  char* text = nullptr;
  target.exportToWkt(&text);
  wkt = text != nullptr ? text : "";
  CPLFree(text);
  What = "grid " + std::to_string(grid) + (zone != 0 ? " zone " + std::to_string(zone) : "") +
         " (" + (target.GetName() != nullptr ? target.GetName() : "") + ")";
  return !wkt.empty();
}

GDALDatasetH RasterWarp::Make(GDALDatasetH source, const WarpRequest& request, bool palette) {
  std::string wkt;
  if (!Target(source, request, wkt)) return nullptr;
  const GDALResampleAlg algorithm = AlgorithmOf(request.Resampling, palette);
  GDALWarpOptions* options = GDALCreateWarpOptions();
  options->eResampleAlg = algorithm;
  GDALRasterBandH first = GDALGetRasterBand(source, 1);
  GDALColorTableH table = palette ? GDALCloneColorTable(GDALGetRasterColorTable(first)) : nullptr;
  const int white = palette ? WhiteIndex(first, table)
                            : GDALGetRasterDataType(first) == GDT_UInt16 ? 65535 : 255;
  options->papszWarpOptions =
      CSLSetNameValue(options->papszWarpOptions, "INIT_DEST", std::to_string(white).c_str());
  // The source's CRS: its own, or that of its control points.
  const char* sourceWkt = GDALGetProjectionRef(source);
  if (sourceWkt == nullptr || *sourceWkt == '\0') sourceWkt = GDALGetGCPProjection(source);
  GDALDatasetH warped =
      GDALAutoCreateWarpedVRTEx(source, sourceWkt, wkt.c_str(), algorithm, MaxErrorPixels, options, nullptr);
  GDALDestroyWarpOptions(options);
  if (warped != nullptr && table != nullptr) {
    GDALSetRasterColorTable(GDALGetRasterBand(warped, 1), table);
  }
  if (table != nullptr) GDALDestroyColorTable(table);
  if (warped == nullptr) {
    const std::string words = CPLGetLastErrorMsg();
    Why = "GDAL cannot warp it" + (words.empty() ? std::string() : ": " + words);
    return nullptr;
  }
  for (const Resampling& r : Resamplings) {
    if (r.Algorithm == algorithm) What += ", " + std::string(r.Name) + " resampling";
  }
  return warped;
}

}  // namespace cli
