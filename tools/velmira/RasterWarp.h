// Warps a raster the library cannot calibrate as it stands into a grid it has, with GDAL's
// warper as a virtual dataset: rows are warped as they are read, so the whole picture is never
// held. The target is a grid and zone asked for, or else UTM on WGS 84 in the zone of the
// raster's centre. Pixels outside the source become white (palette rasters get a white entry,
// or the entry nearest white when the palette is full).
#pragma once

#include <cstdint>
#include <string>

typedef void* GDALDatasetH;

namespace cli {

struct WarpRequest {
  int16_t Grid = 0;  // 0: UTM on WGS 84 at the raster's centre
  int16_t Zone = 0;  // 0: on a zoned grid, the zone of the raster's centre
  std::string Resampling;  // empty: near for palette rasters, bilinear otherwise
};

// Names GDAL's warper takes for --resampling.
bool KnownResampling(const std::string& name);

class RasterWarp {
 public:
  // A new dataset (GDALClose) warping `source`; null with Error(). Done() says into what.
  GDALDatasetH Make(GDALDatasetH source, const WarpRequest& request, bool palette);
  const std::string& Done() const { return What; }
  const std::string& Error() const { return Why; }

 private:
  bool Centre(GDALDatasetH source, double& lon, double& lat);
  bool Target(GDALDatasetH source, const WarpRequest& request, std::string& wkt);
  std::string What, Why;
};

}  // namespace cli
