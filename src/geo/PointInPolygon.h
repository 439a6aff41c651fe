// Crossing-count test of a point against a polygon stored as in the System 34 tables.
#pragma once

#include <span>

namespace velmira {

inline constexpr int InsidePolygon = 1;
inline constexpr int OnPolygonBoundary = 0;
inline constexpr int OutsidePolygon = -1;

// polygon: the vertex count (stored as a double), then that many (first, second) pairs. A last
// vertex equal to the first is dropped. The count never reaches past the span. Returns
// InsidePolygon, OnPolygonBoundary or OutsidePolygon (also for NaN coordinates).
int PointInPolygon(std::span<const double> polygon, double first, double second);

}  // namespace velmira
