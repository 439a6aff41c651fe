// Kind 2: Swiss oblique Mercator (grids 7 and 8), a conformal sphere between the ellipsoid
// and an oblique Mercator plane.
#pragma once

#include "geo/Projection.h"

namespace velmira {

class SwissOblique final : public Projection {
 public:
  SwissOblique(const GridRow& row, double a, double e2);
  bool Forward(double phi, double lambda, double& easting, double& northing) const override;
  bool Inverse(double easting, double northing, double& phi, double& lambda) const override;

 private:
  double FE, FN, Lambda0;
  double E;             // first eccentricity
  double Ep2;           // second eccentricity squared
  double R;             // radius of the conformal sphere
  double Alpha;         // ratio of sphere to ellipsoid longitudes
  double SinB0, CosB0;  // sphere latitude of the origin
  double K;             // constant of the latitude mapping
};

}  // namespace velmira
