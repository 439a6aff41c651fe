#include "geo/SwissOblique.h"

#include <gtest/gtest.h>

#include "ProjectionReference.h"

namespace velmira {
namespace {

using namespace velmira::testing;

constexpr double BesselA = 6377397.155;
constexpr double BesselE2 = 0.006674372230614;
const GridRow Lv03 = RowDeg(4, KindSwissOblique, 600000, 200000, 7.4395833333, 46.9524055556, 1, 0, 0);
const GridRow Lv95 = RowDeg(4, KindSwissOblique, 2600000, 1200000, 7.4395833333, 46.9524055556, 1, 0, 0);

TEST(SwissOblique, OriginMapsToTheFalseOrigin) {
  for (const GridRow& row : {Lv03, Lv95}) {
    SwissOblique p(row, BesselA, BesselE2);
    double e = 0, n = 0;
    ASSERT_TRUE(p.Forward(row.Phi0, row.Lambda0, e, n));
    EXPECT_NEAR(e, row.FE, 1e-6);
    EXPECT_NEAR(n, row.FN, 1e-6);
    double phi = 0, lam = 0;
    ASSERT_TRUE(p.Inverse(row.FE, row.FN, phi, lam));
    EXPECT_NEAR(phi, row.Phi0, 1e-12);
    EXPECT_NEAR(lam, row.Lambda0, 1e-12);
  }
}

TEST(SwissOblique, AgreesWithProjOverSwitzerland) {
  CheckAgainstReference(SwissOblique(Lv03, BesselA, BesselE2), "grid07_swiss_lv03.txt", BesselA);
  CheckAgainstReference(SwissOblique(Lv95, BesselA, BesselE2), "grid08_swiss_lv95.txt", BesselA);
}

TEST(SwissOblique, PolesAndGarbageAreBounded) {
  SwissOblique p(Lv03, BesselA, BesselE2);
  CheckBadInputIsBounded(p);
  double e = 0, n = 0;
  EXPECT_FALSE(p.Forward(std::nan(""), Lv03.Lambda0, e, n));
}

}  // namespace
}  // namespace velmira
