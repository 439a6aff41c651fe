// The coordinate record every position keeps: latitude/longitude/height on a datum, and
// easting/northing/zone in a grid. Datum changes go through earth-centred Cartesian
// coordinates; the grid conversions move the point onto the grid's own datum and back.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "frame/Text.h"
#include "geo/Projection.h"

namespace velmira {

class GeoPoint : public RefObject {
 public:
  GeoPoint() = default;
  // Copies the nine coordinate fields (not the error record).
  GeoPoint* Copy() const;
  void CopyFieldsFrom(const GeoPoint& other);

  // Re-expresses latitude, longitude and height on datum `target` (1..27) and sets Datum.
  // Failure ("Unknown datum!") leaves the record unchanged.
  void ChangeDatum(int16_t target);

  // Easting/northing (and, for zoned grids without a pinned zone, Zone) from latitude and
  // longitude. Latitude, longitude, height and datum are the same afterwards.
  void GeoToGrid();
  // Latitude/longitude on the point's own datum from easting, northing, grid and zone.
  void GridToGeo();
  // The zone as text (new Text, count 1, the caller's): "32U" on the 6-degree grids, "4" on
  // the 3-degree grid, empty elsewhere.
  Text* ZoneText() const;

  // The row that converts this point: the State Plane zone row for grids 30 and 31 (null
  // when Zone is not a code of that table), else the grid table row (row 0 for grid 0).
  const GridRow* ConversionRow() const;

  double Longitude = 0;  // radians, east positive
  double Latitude = 0;   // radians, north positive
  double Height = 0;     // metres above the ellipsoid of Datum
  double Easting = 0;    // metres
  double Northing = 0;   // metres
  int16_t Datum = 1;     // 1..27
  int16_t Grid = 0;      // 0 = none, 1..49
  int16_t Zone = 0;      // zone number, or State Plane zone code on grids 30/31
  int16_t PinnedZone = 0;  // zone forced by the caller on zoned grids, 0 = automatic

 private:
  // The projection of a row on its ellipsoid, remembered for the last row asked: a point
  // converted again and again in one grid looks its projection up once.
  const Projection* ProjectionOf(const GridRow& row, double a, double e2);

  const GridRow* LastRow = nullptr;
  const Projection* LastProjection = nullptr;
};

}  // namespace velmira
