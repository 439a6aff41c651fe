// Small helpers shared by the projection kinds.
#pragma once

#include <cmath>
#include <numbers>

namespace velmira {

// A longitude difference on the near side of the central meridian, in [-pi, pi]. Without it a
// point across the antimeridian from the central meridian (the Aleutians in Alaska zone 10) is
// projected a whole turn away. remainder() is exact, so values already in range are unchanged.
inline double ReduceLongitude(double lambda) { return std::remainder(lambda, 2.0 * std::numbers::pi); }

// The projection steps write nothing and report a point whose result is not a finite number (NaN input, a pole
// or singular line of the projection) as outside the grid.
inline bool FinitePair(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

}  // namespace velmira
