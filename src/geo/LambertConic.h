// Kinds 5 and 6: Lambert conformal conic with two standard parallels (grids 22-27, 45, 46 and
// the Lambert State Plane zones); kind 6 is the Belgian variant of grid 22.
#pragma once

#include "geo/Projection.h"

namespace velmira {

// tan(pi/4 - phi/2) / ((1 - e sin phi) / (1 + e sin phi))^(e/2).
double ConformalT(double phi, double e);
// cos phi / sqrt(1 - e^2 sin^2 phi).
double ParallelM(double phi, double e2);

// The angle the Belgian variant subtracts from the cone angle, radians.
inline constexpr double BelgianCorrection = 0.0001420431363598774;

class LambertConic final : public Projection {
 public:
  // belgian: kind 6 (apex at the origin, cone angle corrected).
  LambertConic(const GridRow& row, double a, double e2, bool belgian);
  bool Forward(double phi, double lambda, double& easting, double& northing) const override;
  bool Inverse(double easting, double northing, double& phi, double& lambda) const override;

 private:
  double FE, FN, Lambda0, Phi1;
  double E;
  double Ep2;         // second eccentricity squared
  double N;           // cone constant
  double AF;          // a F
  double Rho0;        // radius of the origin's parallel
  double Correction;  // subtracted from the cone angle
};

}  // namespace velmira
