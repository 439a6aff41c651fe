// Small helpers shared by the conic, oblique and New Zealand projection kinds.
#pragma once

#include <cmath>
#include <numbers>

namespace velmira {

// A longitude difference on the near side of the central meridian, in [-pi, pi]. Without it a
// point across the antimeridian from the central meridian (the Aleutians in Alaska zone 10) is
// projected a whole turn away. remainder() is exact, so values already in range are unchanged,
// and those (nearly every point) skip the library call.
inline double ReduceLongitude(double lambda) {
  if (std::fabs(lambda) <= std::numbers::pi) return lambda;
  return std::remainder(lambda, 2.0 * std::numbers::pi);
}

// A point whose result is not a finite number (NaN input, a pole or singular line of the
// projection) is reported as outside the grid, and nothing is written.
inline bool FinitePair(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

// c0 + c1 z + ... + c8 z^8 in Estrin's order: the latitude iterations are bound by the
// latency of their dependent multiplications, which this halves against Horner's rule.
inline double EstrinDegree8(double z, double c0, double c1, double c2, double c3, double c4,
                            double c5, double c6, double c7, double c8) {
  const double z2 = z * z, z4 = z2 * z2;
  const double low = (c0 + c1 * z) + z2 * (c2 + c3 * z);
  const double high = (c4 + c5 * z) + z2 * (c6 + c7 * z);
  return low + z4 * (high + z4 * c8);
}

// atanh x for x = e sin(phi). Within |x| <= 0.1 (every ellipsoid of the datum table has
// e < 0.083) the series x (1 + x^2/3 + ... + x^16/17) is exact to double precision (the next
// term is below 1e-19 of the sum) at a fraction of the library call's cost, which matters
// inside the latitude iterations; anything else, NaN included, takes the library call.
inline double EccentricAtanh(double x) {
  if (!(std::fabs(x) <= 0.1)) return std::atanh(x);
  return x * EstrinDegree8(x * x, 1.0, 1.0 / 3, 1.0 / 5, 1.0 / 7, 1.0 / 9, 1.0 / 11, 1.0 / 13,
                           1.0 / 15, 1.0 / 17);
}

// ((1 - x) / (1 + x))^(e/2) = exp(-e atanh x) for x = e sin(phi), the eccentricity factor of
// the conformal latitude. The exponent stays below 0.011 in size, where exp to its y^8 term
// is exact to double precision (the next term is below 1e-23).
inline double EccentricityFactor(double x, double e) {
  if (!(std::fabs(x) <= 0.1)) return std::pow((1 - x) / (1 + x), e / 2);
  const double y = -e * EccentricAtanh(x);
  return EstrinDegree8(y, 1.0, 1.0, 1.0 / 2, 1.0 / 6, 1.0 / 24, 1.0 / 120, 1.0 / 720, 1.0 / 5040,
                       1.0 / 40320);
}

// One pass of the latitude iterations that carry X = tan(pi/4 +- phi/2), so that sin(phi) is
// -+cos(2 atan X), and solve X = F(X) = k q(e sin phi)^(-+1). The plain pass X <- F(X)
// shrinks the error only by its slope d = e^2 cos^2(phi) / (1 - e^2 sin^2(phi)); going on
// past f = F(X) by d / (1 - d) = e'^2 cos^2(phi) times the step f - X is a Newton step with
// that slope in closed form, so the passes converge quadratically: two or three instead of
// six or seven. Near the solution the added step falls below half a unit in the last place,
// so the passes still end when one repeats X exactly. A pass that runs into the pole (X or
// F(X) infinite) is left plain. ep2: e^2 / (1 - e^2).
inline double AcceleratedPass(double x, double f, double sinPhi, double ep2) {
  const double step = f - x;
  if (!std::isfinite(step)) return f;
  return f + ep2 * (1 - sinPhi * sinPhi) * step;
}

// cos(2 atan x) = (1 - x^2) / (1 + x^2), written for large x through 1/x so that it never
// overflows. The latitude iterations carry tan((pi/2 - phi)/2) and need sin(phi) from it.
inline double CosTwiceAtan(double x) {
  if (std::fabs(x) <= 1) return (1 - x * x) / (1 + x * x);
  const double r = 1 / x;
  return (r * r - 1) / (r * r + 1);
}

}  // namespace velmira
