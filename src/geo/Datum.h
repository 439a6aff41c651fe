// Ellipsoids and datums: every datum id 1..27 names an ellipsoid and the seven parameters that
// take earth-centred Cartesian coordinates on that datum to WGS 84.
#pragma once

#include <cstdint>

namespace velmira {

inline constexpr int16_t FirstDatum = 1;
inline constexpr int16_t LastDatum = 27;
inline constexpr int16_t DatumWgs84 = 1;

// Semi-major axis in metres and first eccentricity squared; the flattening is never used.
struct Ellipsoid {
  double A;
  double E2;
};

// Seven-parameter shift to WGS 84 (position-vector rotations): translations in metres,
// rotations in radians, scale difference as a plain fraction (1 ppm = 1e-6).
struct DatumShift {
  double Dx, Dy, Dz;
  double Rx, Ry, Rz;
  double Ds;

  // All seven zero: the same frame as WGS 84, only the ellipsoid may differ.
  bool IsZero() const {
    return Dx == 0 && Dy == 0 && Dz == 0 && Rx == 0 && Ry == 0 && Rz == 0 && Ds == 0;
  }
};

struct Datum {
  int16_t EllipsoidIndex;
  DatumShift Shift;
};

inline bool IsKnownDatum(int id) { return id >= FirstDatum && id <= LastDatum; }

// The row of a datum id; id must be known (IsKnownDatum).
const Datum& DatumRow(int id);
// The ellipsoid of a datum id; id must be known.
const Ellipsoid& EllipsoidOfDatum(int id);

// The four regional parameter sets of NAD27 (ids 20..23) share one ellipsoid and count as one
// datum for the grid conversions.
inline bool IsNad27Set(int id) { return id >= 20 && id <= 23; }

}  // namespace velmira
