// Oblique stereographic (double projection) after EPSG guidance note 7-2, method 9809:
// ellipsoid to the conformal sphere of the origin, then the stereographic plane.
#include "geo/ObliqueStereographic.h"

#include <cmath>
#include <numbers>

#include "geo/ProjectionMath.h"

namespace velmira {
namespace {

constexpr double QuarterPi = std::numbers::pi / 4;
// The latitude iteration of the inverse stops when a pass changes nothing, at most this often.
constexpr int MaxLatitudePasses = 10;

}  // namespace

ObliqueStereographic::ObliqueStereographic(const GridRow& row, double a, double e2)
    : FE(row.FE), FN(row.FN), Lambda0(row.Lambda0), E(std::sqrt(e2)), Ep2(e2 / (1 - e2)) {
  const double sinPhi0 = std::sin(row.Phi0);
  const double cosPhi0 = std::cos(row.Phi0);
  N = std::sqrt(1 + e2 * std::pow(cosPhi0, 4) / (1 - e2));
  const double s1 = (1 + sinPhi0) / (1 - sinPhi0);
  const double s2 = (1 - E * sinPhi0) / (1 + E * sinPhi0);
  const double w1 = std::pow(s1 * std::pow(s2, E), N);
  const double sin0 = (w1 - 1) / (w1 + 1);
  C = (N + sinPhi0) * (1 - sin0) / ((N - sinPhi0) * (1 + sin0));
  const double w2 = C * w1;
  Chi0 = std::asin((w2 - 1) / (w2 + 1));
  SinChi0 = std::sin(Chi0);
  CosChi0 = std::cos(Chi0);
  const double denom = 1 - e2 * sinPhi0 * sinPhi0;
  const double meridianRadius = a * (1 - e2) / std::pow(denom, 1.5);
  const double normalRadius = a / std::sqrt(denom);
  TwoRK0 = 2 * std::sqrt(meridianRadius * normalRadius) * row.K0;
  G = TwoRK0 * std::tan(QuarterPi - Chi0 / 2);
  H = 2 * TwoRK0 * std::tan(Chi0) + G;
}

bool ObliqueStereographic::Forward(double phi, double lambda, double& easting,
                                   double& northing) const {
  const double sinPhi = std::sin(phi);
  // w = C (sa sb^e)^n with sa = (1 + sin phi) / (1 - sin phi) and sb = (1 - e sin phi) /
  // (1 + e sin phi), whose logarithms are 2 atanh(sin phi) and -2 atanh(e sin phi): one
  // exponential instead of two powers. chi = asin((w - 1) / (w + 1)) is not needed itself,
  // only its sine and its cosine 2 sqrt(w) / (w + 1).
  const double w = C * std::exp(2 * N * (std::atanh(sinPhi) - E * EccentricAtanh(E * sinPhi)));
  const double sinChi = (w - 1) / (w + 1), cosChi = 2 * std::sqrt(w) / (w + 1);
  const double delta = N * ReduceLongitude(lambda - Lambda0);
  const double cosDelta = std::cos(delta);
  const double b = 1 + sinChi * SinChi0 + cosChi * CosChi0 * cosDelta;
  const double x = FE + TwoRK0 * cosChi * std::sin(delta) / b;
  const double y = FN + TwoRK0 * (sinChi * CosChi0 - cosChi * SinChi0 * cosDelta) / b;
  if (!FinitePair(x, y)) return false;
  easting = x;
  northing = y;
  return true;
}

bool ObliqueStereographic::Inverse(double easting, double northing, double& phi,
                                   double& lambda) const {
  const double x = easting - FE;
  const double y = northing - FN;
  const double i = std::atan2(x, H + y);
  const double j = std::atan2(x, G - y) - i;
  const double chi = Chi0 + 2 * std::atan((y - x * std::tan(j / 2)) / TwoRK0);
  const double lam = ReduceLongitude(Lambda0 + (j + 2 * i) / N);
  const double sinChi = std::sin(chi);
  const double psi = 0.5 * std::log((1 + sinChi) / (C * (1 - sinChi))) / N;
  // The poles themselves (psi infinite) are outside the grid, as they are for the forward.
  if (!std::isfinite(psi)) return false;
  // The latitude with ln tan(pi/4 + phi/2) - e atanh(e sin phi) = psi, carried on
  // X = tan(pi/4 + phi/2) = exp(psi) / q(e sin phi): sin(phi) is -cos(2 atan X), so a pass
  // needs no trigonometry. X starts at exp(psi), the sphere's latitude, and the passes end
  // when one repeats X exactly.
  const double expPsi = std::exp(psi);
  double x0 = expPsi;
  for (int pass = 0; pass < MaxLatitudePasses; ++pass) {
    const double sinPhi = -CosTwiceAtan(x0);
    const double next =
        AcceleratedPass(x0, expPsi / EccentricityFactor(E * sinPhi, E), sinPhi, Ep2);
    if (next == x0) break;
    x0 = next;
  }
  const double p = 2 * std::atan(x0) - std::numbers::pi / 2;
  if (!FinitePair(p, lam)) return false;
  phi = p;
  lambda = lam;
  return true;
}

std::unique_ptr<Projection> MakeObliqueStereographic(const GridRow& row, double a, double e2) {
  return std::make_unique<ObliqueStereographic>(row, a, e2);
}

}  // namespace velmira
