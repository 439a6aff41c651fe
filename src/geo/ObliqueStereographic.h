// Kind 8: oblique stereographic on the conformal sphere (grid 34, the Dutch RD grid).
#pragma once

#include "geo/Projection.h"

namespace velmira {

class ObliqueStereographic final : public Projection {
 public:
  ObliqueStereographic(const GridRow& row, double a, double e2);
  bool Forward(double phi, double lambda, double& easting, double& northing) const override;
  bool Inverse(double easting, double northing, double& phi, double& lambda) const override;

 private:
  double FE, FN, Lambda0;
  double E, Ep2;                  // first eccentricity, second eccentricity squared
  double N;                       // sphere-to-ellipsoid longitude ratio
  double C;                       // conformal latitude constant
  double Chi0, SinChi0, CosChi0;  // conformal latitude of the origin
  double TwoRK0;                  // 2 R k0, R the radius of the conformal sphere
  double G, H;                    // inverse constants
};

}  // namespace velmira
