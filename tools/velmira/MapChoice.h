// What each map of a library covers, and which map to show for a position: the one whose
// picture holds it with the finest ground resolution. Everything goes through the library's
// own conversions (a viewer's Point2Position and Position2Point at zoom 1 without rotation,
// where view pixels are map pixels, and the Position's datum change to WGS 84), so a map is
// judged exactly as it is drawn.
//
// Pixel coordinates name pixel corners: the library truncates a position's pixel toward zero,
// so pixel (x, y) covers [x, x + 1) x [y, y + 1) and the picture's outer corners are (0, 0),
// (width, 0), (width, height) and (0, height).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Commands.h"
#include "velmira/velmira.h"

namespace cli {

struct MapArea {
  std::string Name;
  int32_t Width = 0, Height = 0;
  // Whether the library could place the corners and edge midpoints (a grid map beyond its
  // grid's range cannot); without them the fields below are unset and the resolution infinite.
  bool Placed = false;
  // Outer corners in WGS 84 degrees: top-left, top-right, bottom-right, bottom-left.
  double Lat[4] = {}, Lon[4] = {};
  // Ground metres per pixel along the picture's middle row (across) and column (down).
  double Across = 0, Down = 0;
  double MetresPerPixel() const;
  // A box in degrees around the picture, a little larger than it; empty without Placed or
  // across the antimeridian (then every position is looked at exactly).
  double South = 0, North = 0, West = 0, East = 0;
  bool Boxed = false;
};

class MapChoice {
 public:
  MapChoice();
  // Reads the library file with a viewer of its own, so looking at its maps never disturbs
  // the caller's view. The problem for the user, else empty.
  std::string Open(const std::string& library);
  // The maps in library order (index i is the library's map i + 1). Maps whose name another
  // map before them has, or that have no name, cannot be selected by name and are left out
  // of the choice (Name empty).
  const std::vector<MapArea>& Maps() const { return Areas; }

  // Whether the map's picture holds the WGS 84 position; false for a name no map has.
  bool Covers(const MapArea& map, double lat, double lon);
  bool Covers(const std::string& name, double lat, double lon);
  // The name of the map whose picture holds the position with the finest ground resolution;
  // empty when none holds it. Maps within TieRatio of each other count as equally fine: then
  // `current` keeps its place, else the earlier map in the library wins.
  std::string Finest(double lat, double lon, const std::string& current = "");

  static constexpr double TieRatio = 1.01;

 private:
  void Measure(MapArea& map);
  Handle<VmViewer> Probe;
  std::vector<MapArea> Areas;
};

// The geodesic distance in metres between two WGS 84 positions given in degrees.
double GeodesicMetres(double lat1, double lon1, double lat2, double lon2);
// A position's latitude and longitude moved to WGS 84, in degrees, leaving the position as it
// is; false when the library refuses the change.
bool Wgs84Degrees(VmPosition* position, double& lat, double& lon);

}  // namespace cli
