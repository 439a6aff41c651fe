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

// The refinement's numerator and denominator coefficients: (n - 1) B_n for n = 2..6 and
// n B_n for n = 1..6.
constexpr Complex NumeratorTerms[5] = {1.0 * B[1], 2.0 * B[2], 3.0 * B[3], 4.0 * B[4], 5.0 * B[5]};
constexpr Complex DenominatorTerms[6] = {1.0 * B[0], 2.0 * B[1], 3.0 * B[2],
                                         4.0 * B[3], 5.0 * B[4], 6.0 * B[5]};

// The series below are evaluated in Estrin's order from the powers x, x^2, x^4 (and x^8):
// a point's cost is bound by the latency of dependent multiplications, which Horner's rule
// chains one per term and this chains one per doubling of the degree.

// c[0] + c[1] x + ... + c[9] x^9.
inline double RealDegree9(const double (&c)[10], double x) {
  const double x2 = x * x, x4 = x2 * x2, x8 = x4 * x4;
  return ((c[0] + c[1] * x) + x2 * (c[2] + c[3] * x)) +
         x4 * ((c[4] + c[5] * x) + x2 * (c[6] + c[7] * x)) + x8 * (c[8] + c[9] * x);
}

// c[0] + c[1] z + ... + c[N-1] z^(N-1) for N = 5 or 6, given z^2 and z^4.
template <int N>
inline Complex ComplexDegree5(const Complex (&c)[N], Complex z, Complex z2, Complex z4) {
  static_assert(N == 5 || N == 6);
  Complex high = c[4];
  if constexpr (N == 6) high = high + c[5] * z;
  return (c[0] + c[1] * z) + z2 * (c[2] + c[3] * z) + z4 * high;
}

// One Newton pass on z = sum B_n zeta^n:
// zeta = (z + sum_{n=2..6} (n-1) B_n zeta^n) / (sum_{n=1..6} n B_n zeta^(n-1)).
inline Complex Refine(Complex z, Complex zeta) {
  const Complex zeta2 = zeta * zeta, zeta4 = zeta2 * zeta2;
  const Complex num = zeta2 * ComplexDegree5(NumeratorTerms, zeta, zeta2, zeta4);
  const Complex den = ComplexDegree5(DenominatorTerms, zeta, zeta2, zeta4);
  return (z + num) / den;
}

// sum B_n zeta^n, n = 1..6, and sum C_n z^n likewise.
inline Complex ComplexSeries(const Complex (&k)[6], Complex z) {
  const Complex z2 = z * z, z4 = z2 * z2;
  return z * ComplexDegree5(k, z, z2, z4);
}

}  // namespace

bool NewZealandMapGrid::Forward(double phi, double lambda, double& easting,
                                double& northing) const {
  const double dPhi = (phi * DegreesPerRadian - OriginLatitudeDeg) * LatitudeUnit;
  const double dPsi = dPhi * RealDegree9(A, dPhi);
  const Complex zeta{dPsi, ReduceLongitude(lambda - CentralMeridian)};
  const Complex z = ComplexSeries(B, zeta);
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
  Complex zeta = ComplexSeries(C, z);
  for (int pass = 0; pass < RefinementPasses; ++pass) zeta = Refine(z, zeta);
  const double lam = ReduceLongitude(CentralMeridian + zeta.Im);
  const double x = zeta.Re;
  const double dPhi = x * EstrinDegree8(x, D[0], D[1], D[2], D[3], D[4], D[5], D[6], D[7], D[8]);
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
