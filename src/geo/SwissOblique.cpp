// Swiss oblique Mercator after the Swiss federal survey's published formulas: ellipsoid to
// sphere (Gauss), rotation of the pole to the origin, then Mercator on the rotated sphere.
#include "geo/SwissOblique.h"

#include <cmath>
#include <numbers>

#include "geo/ProjectionMath.h"

namespace velmira {
namespace {

constexpr double QuarterPi = std::numbers::pi / 4;
// The latitude iteration of the inverse stops when a pass changes nothing, at most this often.
constexpr int MaxLatitudePasses = 10;

}  // namespace

SwissOblique::SwissOblique(const GridRow& row, double a, double e2)
    : FE(row.FE), FN(row.FN), Lambda0(row.Lambda0), E(std::sqrt(e2)), Ep2(e2 / (1 - e2)) {
  const double sinPhi0 = std::sin(row.Phi0);
  const double cosPhi0 = std::cos(row.Phi0);
  R = a * std::sqrt(1 - e2) / (1 - e2 * sinPhi0 * sinPhi0);
  Alpha = std::sqrt(1 + e2 / (1 - e2) * std::pow(cosPhi0, 4));
  const double b0 = std::asin(sinPhi0 / Alpha);
  SinB0 = std::sin(b0);
  CosB0 = std::cos(b0);
  K = std::log(std::tan(QuarterPi + b0 / 2)) -
      Alpha * std::log(std::tan(QuarterPi + row.Phi0 / 2)) +
      Alpha * (E / 2) * std::log((1 + E * sinPhi0) / (1 - E * sinPhi0));
}

bool SwissOblique::Forward(double phi, double lambda, double& easting, double& northing) const {
  const double eSinPhi = E * std::sin(phi);
  const double s = K - Alpha * (std::log(std::tan(QuarterPi - phi / 2)) +
                                (E / 2) * std::log((1 + eSinPhi) / (1 - eSinPhi)));
  const double b = 2 * (std::atan(std::exp(s)) - QuarterPi);
  const double l = Alpha * ReduceLongitude(lambda - Lambda0);
  // The one-argument arctangent: the grid never reaches 90 degrees of sphere longitude.
  const double lBar = std::atan(std::sin(l) / (SinB0 * std::tan(b) + CosB0 * std::cos(l)));
  const double sinBBar = CosB0 * std::sin(b) - SinB0 * std::cos(b) * std::cos(l);
  const double x = FE + R * lBar;
  const double y = FN + (R / 2) * std::log((1 + sinBBar) / (1 - sinBBar));
  if (!FinitePair(x, y)) return false;
  easting = x;
  northing = y;
  return true;
}

bool SwissOblique::Inverse(double easting, double northing, double& phi, double& lambda) const {
  const double lBar = (easting - FE) / R;
  // b-bar = 2 (atan(exp v) - pi/4) is the Gudermannian of v: its sine, cosine and tangent are
  // tanh v, 1 / cosh v and sinh v, all from one exponential.
  const double ev = std::exp((northing - FN) / R);
  const double sinhV = (ev - 1 / ev) / 2, coshV = (ev + 1 / ev) / 2;
  const double sinBBar = sinhV / coshV, cosBBar = 1 / coshV, tanBBar = sinhV;
  const double sinB = CosB0 * sinBBar + SinB0 * cosBBar * std::cos(lBar);
  const double l = std::atan(std::sin(lBar) / (CosB0 * std::cos(lBar) - SinB0 * tanBBar));
  const double lam = ReduceLongitude(Lambda0 + l / Alpha);
  // ln tan(pi/4 + b/2) = atanh(sin b).
  const double sPrime = (std::atanh(sinB) - K) / Alpha;
  // The pass phi = 2 atan(exp(S' + e atanh(e sin phi))) - pi/2 (ln tan(pi/4 + asin(x)/2) is
  // atanh x) is carried on the arctangent's argument X: the next sin(phi) is -cos(2 atan X),
  // so a pass needs no trigonometry. X repeats exactly when the latitude does.
  const double expS = std::exp(sPrime);
  double x0 = expS / EccentricityFactor(E * sinB, E);  // phi starts at b
  for (int pass = 1; pass < MaxLatitudePasses; ++pass) {
    const double sinPhi = -CosTwiceAtan(x0);
    const double next =
        AcceleratedPass(x0, expS / EccentricityFactor(E * sinPhi, E), sinPhi, Ep2);
    if (next == x0) break;
    x0 = next;
  }
  const double p = 2 * std::atan(x0) - std::numbers::pi / 2;
  if (!FinitePair(p, lam)) return false;
  phi = p;
  lambda = lam;
  return true;
}

std::unique_ptr<Projection> MakeSwissOblique(const GridRow& row, double a, double e2) {
  return std::make_unique<SwissOblique>(row, a, e2);
}

}  // namespace velmira
