// New Zealand Map Grid with the coefficient sets of its published definition (Reilly, 1973):
// a real series from latitude to isometric latitude, then a complex series to the plane; the
// inverse starts from a complex series and refines it by two Newton passes.
#include "geo/NewZealandMapGrid.h"

#include "geo/Complex.h"
#include "geo/ProjectionMath.h"

namespace velmira {
namespace {

constexpr double DegreesPerRadian = 57.29577951308232;
constexpr double RadiansPerDegree = 0.017453292519943295;
constexpr double OriginLatitudeDeg = -41.0;
constexpr double CentralMeridian = 173 * RadiansPerDegree;
constexpr double FalseNorthing = 6023150.0;
constexpr double FalseEasting = 2510000.0;
constexpr double Radius = 6378388.0;  // International 1924 semi-major axis
// Degrees to hundred-thousands of arc-seconds, and back.
constexpr double LatitudeUnit = 0.036;
constexpr double LatitudeUnitInverse = 27.77777777777778;
// The inverse refines its first guess exactly this often; there is no convergence test.
constexpr int RefinementPasses = 2;

constexpr double A[10] = {0.6399175073, -0.1358797613, 0.063294409, -0.02526853, 0.0117879,
                          -0.0055161,   0.0026906,     -0.001333,   0.00067,     -0.00034};
constexpr Complex B[6] = {{0.7557853228, 0},          {0.249204646, 0.003371507},
                          {-0.001541739, 0.04105856}, {-0.10162907, 0.01727609},
                          {-0.26623489, -0.36249218}, {-0.6870983, -1.1651967}};
constexpr Complex C[6] = {{1.3231270439, 0},           {-0.577245789, -0.007809598},
                          {0.508307513, -0.112208952}, {-0.15094762, 0.18200602},
                          {1.01418179, 1.64497696},    {1.9660549, 2.5127645}};
constexpr double D[9] = {1.5627014243, 0.5185406398, -0.03333098, -0.1052906, -0.0368594,
                         0.007317,     0.0122,       0.00394,     -0.0013};

// Sum of k[n-1] x^n for n = 1..N, by Horner's rule from the highest power down (real or
// complex).
template <typename T, int N>
T PowerSeries(const T (&k)[N], T x) {
  T sum{};
  for (int n = N - 1; n >= 0; --n) sum = sum * x + k[n];
  return sum * x;
}

// One Newton pass on z = sum B_n zeta^n:
// zeta = (z + sum_{n=2..6} (n-1) B_n zeta^n) / (sum_{n=1..6} n B_n zeta^(n-1)).
Complex Refine(Complex z, Complex zeta) {
  Complex num{};
  Complex den{};
  for (int n = 6; n >= 1; --n) {
    num = num * zeta + static_cast<double>(n - 1) * B[n - 1];
    den = den * zeta + static_cast<double>(n) * B[n - 1];
  }
  num = num * zeta;  // num now holds the sum from n = 1, whose n = 1 term is zero
  return (z + num) / den;
}

}  // namespace

bool NewZealandMapGrid::Forward(double phi, double lambda, double& easting,
                                double& northing) const {
  const double dPhi = (phi * DegreesPerRadian - OriginLatitudeDeg) * LatitudeUnit;
  const double dPsi = PowerSeries(A, dPhi);
  const Complex zeta{dPsi, ReduceLongitude(lambda - CentralMeridian)};
  const Complex z = PowerSeries(B, zeta);
  const double y = Radius * z.Re + FalseNorthing;
  const double x = Radius * z.Im + FalseEasting;
  if (!FinitePair(x, y)) return false;
  easting = x;
  northing = y;
  return true;
}

bool NewZealandMapGrid::Inverse(double easting, double northing, double& phi,
                                double& lambda) const {
  const Complex z{(northing - FalseNorthing) / Radius, (easting - FalseEasting) / Radius};
  Complex zeta = PowerSeries(C, z);
  for (int pass = 0; pass < RefinementPasses; ++pass) zeta = Refine(z, zeta);
  const double lam = ReduceLongitude(CentralMeridian + zeta.Im);
  const double dPhi = PowerSeries(D, zeta.Re);
  const double p = (dPhi * LatitudeUnitInverse + OriginLatitudeDeg) * RadiansPerDegree;
  if (!FinitePair(p, lam)) return false;
  phi = p;
  lambda = lam;
  return true;
}

std::unique_ptr<Projection> MakeNewZealandMapGrid(const GridRow&, double, double) {
  return std::make_unique<NewZealandMapGrid>();
}

}  // namespace velmira
