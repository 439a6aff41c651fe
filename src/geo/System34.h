// Danish System 34: fitted polynomials between UTM zone 32 on ED50 and the System 34 regions,
// with a box and polygon test on the input and a back-transformation check.
#pragma once

#include <memory>
#include <span>

#include "geo/Projection.h"

namespace velmira {

// Region codes of the transformation. Grid 48 uses Jylland, grid 49 Sjaelland.
inline constexpr int S34Jylland = 1;
inline constexpr int S34Sjaelland = 2;

// Directions: UTM 32 -> System 34 is forward.
inline constexpr int S34Forward = 1;
inline constexpr int S34Inverse = -1;

// Statuses of TransformS34.
inline constexpr int S34Ok = 0;
inline constexpr int S34OutsidePolygon = -1;
inline constexpr int S34CheckFailed = -2;
inline constexpr int S34OutsideBox = -3;

// Largest back-transformation miss accepted, metres, in each coordinate.
inline constexpr double S34CheckLimit = 0.04;

// Evaluates one stored polynomial table (degree, K coefficients of the first output, N0,
// K coefficients of the second output, E0) at (first, second).
void EvaluateS34Polynomial(std::span<const double> table, double first, double second,
                           double& outFirst, double& outSecond);

// first/second are northing/easting (UTM) or the two System 34 coordinates. Outputs are
// written for statuses 0, -1 and -2; for -3 (outside the box, or an unknown region or
// direction) they are left as they were.
int TransformS34(double first, double second, int region, int direction, double& outFirst,
                 double& outSecond);

// Kinds 9 and 10 (grids 48 and 49): UTM zone 32 on the grid's datum (the grid table's row 47),
// then the region's polynomials. Any status other than S34Ok is "outside the grid".
class System34Grid final : public Projection {
 public:
  System34Grid(int region, double a, double e2);
  bool Forward(double phi, double lambda, double& easting, double& northing) const override;
  bool Inverse(double easting, double northing, double& phi, double& lambda) const override;

 private:
  int Region;
  std::unique_ptr<Projection> Utm32;
};

}  // namespace velmira
