// Kind 4: New Zealand Map Grid (grid 21), complex power series in the isometric latitude and
// longitude. Its coefficients and origin are built in; the row and ellipsoid are not used.
#pragma once

#include "geo/Projection.h"

namespace velmira {

class NewZealandMapGrid final : public Projection {
 public:
  bool Forward(double phi, double lambda, double& easting, double& northing) const override;
  bool Inverse(double easting, double northing, double& phi, double& lambda) const override;
};

}  // namespace velmira
