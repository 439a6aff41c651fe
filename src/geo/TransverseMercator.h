// Transverse Mercator (kind 3): the series of the USGS map projection manual (Snyder,
// "Map Projections: A Working Manual", formulas 3-21, 8-9 to 8-25), truncated as the library
// has always truncated them.
#pragma once

#include "geo/Projection.h"

namespace velmira {

// Distance along the meridian from the equator to latitude phi, metres.
double MeridianArc(double phi, double e2, double a);

class TransverseMercator final : public Projection {
 public:
  TransverseMercator(const GridRow& row, double a, double e2);

  bool Forward(double phi, double lambda, double& easting, double& northing) const override;
  bool Inverse(double easting, double northing, double& phi, double& lambda) const override;

 private:
  // The meridian arc at phi, given its sine and cosine; a x the four coefficients, so the arc
  // is four terms and no multiply by a.
  double Arc(double phi, double sinPhi, double cosPhi) const;

  double A, E2, Ep2;  // semi-major axis, e^2, second eccentricity squared
  double FE, FN, Lambda0, K0;
  double ArcC0, ArcC2, ArcC4, ArcC6;
  double M0;          // meridian arc at the latitude of origin
  double MuScale;     // 1 / (a (1 - e^2/4 - 3e^4/64 - 5e^6/256))
  double Foot2, Foot4, Foot6, Foot8;  // footpoint series in e1
  double R1Scale;     // a (1 - e^2)
};

}  // namespace velmira
