// Lambert conformal conic, two standard parallels, after EPSG guidance note 7-2 (methods
// 9802 and, with the fixed cone-angle correction, 9803 for Belgium).
#include "geo/LambertConic.h"

#include <cmath>
#include <numbers>

#include "geo/ProjectionMath.h"

namespace velmira {
namespace {

// The latitude iteration of the inverse stops when a pass changes nothing, at most this often.
constexpr int MaxLatitudePasses = 10;

}  // namespace

double ConformalT(double phi, double e) {
  return std::tan(std::numbers::pi / 4 - phi / 2) / EccentricityFactor(e * std::sin(phi), e);
}

double ParallelM(double phi, double e2) {
  const double sinPhi = std::sin(phi);
  return std::cos(phi) / std::sqrt(1 - e2 * sinPhi * sinPhi);
}

LambertConic::LambertConic(const GridRow& row, double a, double e2, bool belgian)
    : FE(row.FE),
      FN(row.FN),
      Lambda0(row.Lambda0),
      Phi1(row.Phi1),
      E(std::sqrt(e2)),
      Ep2(e2 / (1 - e2)),
      Correction(belgian ? BelgianCorrection : 0.0) {
  // The Belgian row's origin is the pole (90 degrees), whose t is taken as exactly 0.
  const double t0 = belgian ? 0.0 : ConformalT(row.Phi0, E);
  const double t1 = ConformalT(row.Phi1, E);
  const double t2 = ConformalT(row.Phi2, E);
  const double m1 = ParallelM(row.Phi1, e2);
  const double m2 = ParallelM(row.Phi2, e2);
  N = (std::log(m1) - std::log(m2)) / (std::log(t1) - std::log(t2));
  const double f = m1 / (N * std::pow(t1, N));
  AF = a * f;
  Rho0 = AF * std::pow(t0, N);
}

bool LambertConic::Forward(double phi, double lambda, double& easting, double& northing) const {
  const double rho = AF * std::pow(ConformalT(phi, E), N);
  const double theta = N * ReduceLongitude(lambda - Lambda0) - Correction;
  const double x = FE + rho * std::sin(theta);
  const double y = FN + Rho0 - rho * std::cos(theta);
  if (!FinitePair(x, y)) return false;
  easting = x;
  northing = y;
  return true;
}

bool LambertConic::Inverse(double easting, double northing, double& phi, double& lambda) const {
  const double x = easting - FE;
  const double y = Rho0 - (northing - FN);
  double rho = std::hypot(x, y);
  if (N < 0) rho = -rho;
  const double t = std::pow(rho / AF, 1 / N);
  // A cone opening south (n < 0) has its apex below the grid: both legs change sign, so the
  // angle is measured from the negated pair. No grid row has such a cone.
  const double theta = N < 0 ? std::atan2(-x, -y) : std::atan2(x, y);
  const double lam = ReduceLongitude((theta + Correction) / N + Lambda0);
  // The pass phi = pi/2 - 2 atan(t q(e sin phi)) is carried on its arctangent's argument
  // X = t q: the next sin(phi) is cos(2 atan X), so a pass needs no trigonometry. X repeats
  // exactly when the latitude does; the first X is the first pass.
  double x0 = t * EccentricityFactor(E * std::sin(Phi1), E);
  for (int pass = 1; pass < MaxLatitudePasses; ++pass) {
    const double sinPhi = CosTwiceAtan(x0);
    const double next = AcceleratedPass(x0, t * EccentricityFactor(E * sinPhi, E), sinPhi, Ep2);
    if (next == x0) break;
    x0 = next;
  }
  const double p = std::numbers::pi / 2 - 2 * std::atan(x0);
  if (!FinitePair(p, lam)) return false;
  phi = p;
  lambda = lam;
  return true;
}

std::unique_ptr<Projection> MakeLambertConic(const GridRow& row, double a, double e2) {
  return std::make_unique<LambertConic>(row, a, e2, false);
}

std::unique_ptr<Projection> MakeLambertBelgian(const GridRow& row, double a, double e2) {
  return std::make_unique<LambertConic>(row, a, e2, true);
}

}  // namespace velmira
