#include "geo/ObliqueStereographic.h"

#include <gtest/gtest.h>

#include "ProjectionReference.h"

namespace velmira {
namespace {

using namespace velmira::testing;

constexpr double BesselA = 6377397.155;
constexpr double BesselE2 = 0.006674372230614;
const GridRow DutchRd =
    RowDeg(24, KindObliqueStereographic, 155000, 463000, 5.3876388889, 52.1561605556, 0.9999079, 0, 0);

TEST(ObliqueStereographic, OriginMapsToTheFalseOrigin) {
  ObliqueStereographic p(DutchRd, BesselA, BesselE2);
  double e = 0, n = 0;
  ASSERT_TRUE(p.Forward(DutchRd.Phi0, DutchRd.Lambda0, e, n));
  EXPECT_NEAR(e, 155000, 1e-6);
  EXPECT_NEAR(n, 463000, 1e-6);
  double phi = 0, lam = 0;
  ASSERT_TRUE(p.Inverse(155000, 463000, phi, lam));
  EXPECT_NEAR(phi, DutchRd.Phi0, 1e-12);
  EXPECT_NEAR(lam, DutchRd.Lambda0, 1e-12);
}

TEST(ObliqueStereographic, AgreesWithProjOverTheNetherlands) {
  CheckAgainstReference(ObliqueStereographic(DutchRd, BesselA, BesselE2), "grid34_dutch_rd.txt",
                        BesselA);
}

TEST(ObliqueStereographic, AntipodeAndGarbageAreBounded) {
  ObliqueStereographic p(DutchRd, BesselA, BesselE2);
  CheckBadInputIsBounded(p);
  // The point opposite the origin on the conformal sphere projects to infinity.
  double e = 0, n = 0;
  EXPECT_FALSE(p.Forward(std::nan(""), 0, e, n));
}

}  // namespace
}  // namespace velmira
