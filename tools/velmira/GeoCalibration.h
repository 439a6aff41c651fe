// A raster's own georeferencing as a library calibration: the world coordinates, in one of
// the library's frames, of three pixel corners that are not on one line.
// - A geotransform in a CRS the library has gives them exactly (GDAL's geotransform counts
//   from pixel corners; it has already moved world files and GeoTIFF PixelIsPoint rasters,
//   which count from pixel centres, by half a pixel).
// - Ground control points are fitted by least squares with an affine transform in the frame
//   that fits them best: the CRS's own, latitude/longitude on its datum, or the UTM zone of
//   their centre; each point's residual and the RMS are reported in pixels.
// When neither works (a CRS the library lacks, points that no affine transform fits within a
// pixel) the raster has to be warped: FromDataset() says why and NeedsWarp() is set.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "LibraryCrs.h"

typedef void* GDALDatasetH;

namespace cli {

class GeoCalibration {
 public:
  // Empty on success; else why the raster cannot be calibrated as it stands.
  std::string FromDataset(GDALDatasetH dataset);
  // Set when warping the raster can calibrate it (its failure is the CRS or the fit).
  bool NeedsWarp() const { return Warp; }
  // Lines for standard error: the residuals of a fit.
  const std::vector<std::string>& Notes() const { return Said; }

  const LibraryFrame& Frame() const { return Chosen; }
  // Corner pixels (0, 0), (0, height) and (width, 0), and their U, V in Frame().
  const std::array<std::array<int32_t, 2>, 3>& Pixels() const { return CornerPixels; }
  const std::array<Xy, 3>& World() const { return CornerWorld; }

 private:
  std::string FromGeoTransform(GDALDatasetH dataset, const double (&gt)[6]);
  std::string FromGcps(GDALDatasetH dataset);
  void SetCorners(int32_t width, int32_t height, const double (&affine)[6]);

  bool Warp = false;
  std::vector<std::string> Said;
  LibraryCrs Crs;
  LibraryFrame Chosen;
  std::array<std::array<int32_t, 2>, 3> CornerPixels{};
  std::array<Xy, 3> CornerWorld{};
};

}  // namespace cli
