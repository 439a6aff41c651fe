// Finds the library's own frame (latitude/longitude on one of its datums, or one of its grids
// and zones) that a raster's coordinate reference system is. The datum is matched by its
// EPSG code, or else by its shift to WGS 84; the grid by what it computes: the library's
// Position and OGR must give the same easting and northing for the same points of the raster,
// so a CRS matches whatever its name, and parameters the library lacks never do.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "velmira/velmira.h"

class OGRSpatialReference;

namespace cli {

using Xy = std::array<double, 2>;

struct LibraryFrame {
  int16_t Datum = 1;  // of the latitudes and longitudes (and of the points a grid is fed)
  int16_t Grid = 0;   // 0: latitude/longitude
  int16_t Zone = 0;   // 0: a grid without zones
  double EastingShift = 0;   // metres the CRS's eastings carry beyond the library's (a zone prefix)
  double Unit = 1;           // the CRS's unit in metres, or in degrees for latitude/longitude
  double PrimeMeridian = 0;  // degrees east of Greenwich where the CRS's longitudes count from
  std::string Describe() const;  // "grid 1, zone 32" or "datum 3"
};

class LibraryCrs {
 public:
  LibraryCrs();
  ~LibraryCrs();
  LibraryCrs(const LibraryCrs&) = delete;
  LibraryCrs& operator=(const LibraryCrs&) = delete;

  // Matches `srs`, checked at `samples` (coordinates in srs, spread over the raster) to within
  // `tolerance` metres. Empty on success, else why the library has no such frame.
  std::string Match(const OGRSpatialReference& srs, const std::vector<Xy>& samples, double tolerance);
  // The CRS of library grid `grid`, zone `zone` as GDAL knows it (for warping into it); false
  // when the grid has no EPSG definition here.
  static bool GridSrs(int16_t grid, int16_t zone, OGRSpatialReference& out);

  const LibraryFrame& Frame() const { return Matched; }
  // Coordinates of the matched CRS in the frame: easting and northing in metres, or longitude
  // and latitude in degrees.
  Xy ToFrame(const Xy& crs) const;
  // The same points in another frame of the library (the matched CRS's points taken through
  // their latitude and longitude); false when the library cannot place one of them.
  bool Reexpress(const LibraryFrame& to, const std::vector<Xy>& crs, std::vector<Xy>& uv) const;
  // Latitudes and longitudes (degrees) on the frame's datum of points of the matched CRS.
  bool ToLatLon(const std::vector<Xy>& crs, std::vector<Xy>& lonLat) const;

  // A new position (Position_Delete) at U, V of `frame`.
  static VmPosition* NewPosition(const LibraryFrame& frame, const Xy& uv);

 private:
  std::string MatchDatum(const OGRSpatialReference& srs, const std::vector<Xy>& lonLat);
  bool TryGrid(const LibraryFrame& candidate, const std::vector<Xy>& samples,
               const std::vector<Xy>& lonLat, double tolerance, double& misfit) const;

  LibraryFrame Matched;
  std::unique_ptr<OGRSpatialReference> Source;      // the matched CRS
  std::unique_ptr<OGRSpatialReference> Geographic;  // latitude/longitude on its datum, Greenwich, degrees
};

}  // namespace cli
