// The grid table, the two State Plane zone tables and the zone families of the grids.
#pragma once

#include <cstdint>
#include <span>

#include "geo/Projection.h"

namespace velmira {

inline constexpr int16_t LastGrid = 49;
inline constexpr int16_t GridGaussKruger3 = 29;  // 3-degree zones 1..10, no prefix in easting
inline constexpr int16_t GridStatePlane27 = 30;
inline constexpr int16_t GridStatePlane83 = 31;
inline constexpr int16_t UtmZoneCount = 60;
inline constexpr int16_t GaussKruger3ZoneCount = 10;

inline bool IsKnownGrid(int id) { return id >= 1 && id <= LastGrid; }

// Row `id` of the grid table, 0..49 (row 0 is all zero: no grid). Rows never move.
const GridRow& GridTableRow(int id);
// The whole table, rows 0..49.
std::span<const GridRow> GridTableRows();

// The 6-degree zoned transverse Mercator grids (zones 1..60): UTM on its various datums.
bool IsZonedTransverseMercator(int grid);
bool IsStatePlane(int grid);

// The State Plane zone rows of 1927 (grid 30) and 1983 (grid 31), in table order.
std::span<const GridRow> ZoneTable27();
std::span<const GridRow> ZoneTable83();
// The first row of the grid's zone table whose code is `zone`; null when there is none, or
// when the grid has no zone table.
const GridRow* FindStatePlaneZone(int grid, int zone);

}  // namespace velmira
