// Transverse Mercator forward and inverse by the Snyder series. Constants that depend only on
// the row and the ellipsoid are made once in the constructor; the per-point steps only read
// them. The inverse series drifts by centimetres beyond about 3.5 degrees from the central
// meridian, which is the behaviour of the grids that use it.
#include "geo/TransverseMercator.h"

#include <cmath>

namespace velmira {
namespace {

struct ArcCoefficients {
  double C0, C2, C4, C6;
};

ArcCoefficients ArcTerms(double e2) {
  const double e4 = e2 * e2;
  const double e6 = e4 * e2;
  return {1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256, 3 * e2 / 8 + 3 * e4 / 32 + 45 * e6 / 1024,
          15 * e4 / 256 + 45 * e6 / 1024, 35 * e6 / 3072};
}

// Sum of k[0] sin(2 theta) + k[1] sin(4 theta) + ... from sin and cos of theta by Clenshaw's
// recurrence on 2 cos(2 theta): one sine and cosine instead of one sine per term.
template <int N>
double EvenSineSeries(const double (&k)[N], double sinTheta, double cosTheta) {
  const double twoCos2 = 2 * (cosTheta - sinTheta) * (cosTheta + sinTheta);
  double b1 = 0, b2 = 0;
  for (int i = N - 1; i >= 0; --i) {
    const double b = k[i] + twoCos2 * b1 - b2;
    b2 = b1;
    b1 = b;
  }
  return b1 * 2 * sinTheta * cosTheta;
}

}  // namespace

double MeridianArc(double phi, double e2, double a) {
  const ArcCoefficients c = ArcTerms(e2);
  return a * (c.C0 * phi - c.C2 * std::sin(2 * phi) + c.C4 * std::sin(4 * phi) -
              c.C6 * std::sin(6 * phi));
}

TransverseMercator::TransverseMercator(const GridRow& row, double a, double e2)
    : A(a), E2(e2), Ep2(e2 / (1 - e2)), FE(row.FE), FN(row.FN), Lambda0(row.Lambda0), K0(row.K0) {
  const ArcCoefficients c = ArcTerms(e2);
  ArcC0 = a * c.C0;
  ArcC2 = a * c.C2;
  ArcC4 = a * c.C4;
  ArcC6 = a * c.C6;
  M0 = MeridianArc(row.Phi0, e2, a);
  MuScale = 1 / (a * c.C0);
  const double root = std::sqrt(1 - e2);
  const double e1 = (1 - root) / (1 + root);
  const double e1p2 = e1 * e1, e1p3 = e1p2 * e1, e1p4 = e1p3 * e1;
  Foot2 = 1.5 * e1 - 0.84375 * e1p3;
  Foot4 = 1.3125 * e1p2 - 1.71875 * e1p4;
  Foot6 = 1.5729166666666665 * e1p3;
  Foot8 = 2.142578125 * e1p4;
  R1Scale = a * (1 - e2);
}

double TransverseMercator::Arc(double phi, double sinPhi, double cosPhi) const {
  const double k[] = {-ArcC2, ArcC4, -ArcC6};
  return ArcC0 * phi + EvenSineSeries(k, sinPhi, cosPhi);
}

bool TransverseMercator::Forward(double phi, double lambda, double& easting,
                                 double& northing) const {
  const double sinPhi = std::sin(phi);
  const double cosPhi = std::cos(phi);
  const double tanPhi = sinPhi / cosPhi;
  const double n = A / std::sqrt(1 - E2 * sinPhi * sinPhi);
  const double t = tanPhi * tanPhi;
  const double c = Ep2 * cosPhi * cosPhi;
  const double a1 = (lambda - Lambda0) * cosPhi;
  const double a2 = a1 * a1, a3 = a2 * a1, a4 = a3 * a1, a5 = a4 * a1, a6 = a5 * a1;
  const double m = Arc(phi, sinPhi, cosPhi);

  northing = FN + K0 * (m - M0 + n * tanPhi *
                                     (a2 * 0.5 +
                                      (5 - t + 9 * c + 4 * c * c) * a4 * 0.041666666666666664 +
                                      (61 - 58 * t + t * t + 600 * c - 330 * Ep2) * a6 *
                                          0.001388888888888889));
  easting = FE + K0 * n *
                     (a1 + (1 - t + c) * a3 * 0.16666666666666666 +
                      (5 - 18 * t + t * t + 72 * c - 58 * Ep2) * a5 * 0.008333333333333333);
  return true;
}

bool TransverseMercator::Inverse(double easting, double northing, double& phi,
                                 double& lambda) const {
  const double m = M0 + (northing - FN) / K0;
  const double mu = m * MuScale;
  const double foot[] = {Foot2, Foot4, Foot6, Foot8};
  const double phi1 = mu + EvenSineSeries(foot, std::sin(mu), std::cos(mu));

  const double sin1 = std::sin(phi1);
  const double cos1 = std::cos(phi1);
  const double tan1 = sin1 / cos1;
  const double c1 = Ep2 * cos1 * cos1;
  const double t1 = tan1 * tan1;
  const double w = 1 - E2 * sin1 * sin1;
  const double n1 = A / std::sqrt(w);
  const double r1 = R1Scale / (w * std::sqrt(w));  // a (1 - e^2) / w^1.5
  const double d = (easting - FE) / (n1 * K0);
  const double d2 = d * d, d3 = d2 * d, d4 = d3 * d, d5 = d4 * d, d6 = d5 * d;

  phi = phi1 - (n1 * tan1 / r1) *
                   (d2 * 0.5 -
                    (5 + 3 * t1 + 10 * c1 - 4 * c1 * c1 - 9 * Ep2) * d4 * 0.041666666666666664 +
                    (61 + 90 * t1 + 298 * c1 + 45 * t1 * t1 - 252 * Ep2 - 3 * c1 * c1) * d6 *
                        0.001388888888888889);
  lambda = Lambda0 + (d - (1 + 2 * t1 + c1) * d3 * 0.16666666666666666 +
                      (5 - 2 * c1 + 28 * t1 - 3 * c1 * c1 + 8 * Ep2 + 24 * t1 * t1) * d5 *
                          0.008333333333333333) /
                         cos1;
  return true;
}

std::unique_ptr<Projection> MakeTransverseMercator(const GridRow& row, double a, double e2) {
  return std::make_unique<TransverseMercator>(row, a, e2);
}

}  // namespace velmira
