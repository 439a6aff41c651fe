// Reading the PROJ reference files of tests/data/proj and comparing with them on the ground.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "geo/Datum.h"
#include "geo/GeoPoint.h"
#include "geo/Grid.h"
#include "geo/Projection.h"

namespace velmira::testing {

inline constexpr double Deg = 0.017453292519943295;

struct ReferencePoint {
  double LatDeg, LonDeg, Easting, Northing;
};

inline std::vector<ReferencePoint> ReadReference(const std::string& name) {
  std::ifstream in(std::string(VELMIRA_TEST_DATA) + "/proj/" + name);
  std::vector<ReferencePoint> points;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    ReferencePoint p{};
    if (fields >> p.LatDeg >> p.LonDeg >> p.Easting >> p.Northing) points.push_back(p);
  }
  return points;
}

// A row as the grid table states it, angles in degrees.
inline GridRow RowDeg(int16_t datum, int16_t kind, double fe, double fn, double lambda0,
                      double phi0, double k0, double phi1, double phi2) {
  return GridRow{datum, kind, fe, fn, lambda0 * Deg, phi0 * Deg, k0, phi1 * Deg, phi2 * Deg, 0};
}

// The projection the framework uses for a row of the static tables, with the row's ellipsoid.
inline const Projection& ProjectionOfRow(const GridRow& row) {
  const Ellipsoid& e = EllipsoidOfDatum(row.Datum);
  const Projection* p = ProjectionFor(row, e.A, e.E2);
  EXPECT_NE(p, nullptr) << "kind " << row.Kind;
  return *p;
}
inline const Projection& ProjectionOfGrid(int grid) { return ProjectionOfRow(GridTableRow(grid)); }
inline double SemiMajorOfGrid(int grid) { return EllipsoidOfDatum(GridTableRow(grid).Datum).A; }

// A point given in degrees on `datum`, set to `grid`, as the framework converts it.
struct GridPoint {
  GeoPoint Point;
  GridPoint(int16_t grid, int16_t datum, double latDeg, double lonDeg) {
    Point.Grid = grid;
    Point.Datum = datum;
    Point.Latitude = latDeg * Deg;
    Point.Longitude = lonDeg * Deg;
  }
};

// Distance on the ground between two latitude/longitude pairs (radians), metres; a sphere
// of radius a is close enough at millimetre scale.
inline double GroundDistance(double phi1, double lam1, double phi2, double lam2, double a) {
  const double dLam = std::remainder(lam1 - lam2, 2 * 3.141592653589793);
  return a * std::hypot(phi1 - phi2, dLam * std::cos((phi1 + phi2) / 2));
}

// Forward and inverse against every point of a PROJ reference file, and round trips.
inline void CheckAgainstReference(const Projection& p, const std::string& file, double a,
                                  double toleranceM = 0.002, double roundTripM = 0.005) {
  const auto points = ReadReference(file);
  ASSERT_GE(points.size(), 20u) << file;
  for (const auto& r : points) {
    SCOPED_TRACE(file + " at " + std::to_string(r.LatDeg) + ", " + std::to_string(r.LonDeg));
    const double phi = r.LatDeg * Deg, lam = r.LonDeg * Deg;
    double e = 0, n = 0;
    ASSERT_TRUE(p.Forward(phi, lam, e, n));
    EXPECT_NEAR(e, r.Easting, toleranceM);
    EXPECT_NEAR(n, r.Northing, toleranceM);
    double phiBack = 0, lamBack = 0;
    ASSERT_TRUE(p.Inverse(r.Easting, r.Northing, phiBack, lamBack));
    EXPECT_LT(GroundDistance(phiBack, lamBack, phi, lam, a), toleranceM);
    ASSERT_TRUE(p.Inverse(e, n, phiBack, lamBack));
    EXPECT_LT(GroundDistance(phiBack, lamBack, phi, lam, a), roundTripM);
  }
}

// Nasty inputs never crash or hang, and a step that reports success hands back numbers.
inline void CheckBadInputIsBounded(const Projection& p) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double pi = 3.141592653589793;
  const double angles[] = {0, pi / 2, -pi / 2, pi, -pi, 2 * pi, 1e300, -1e300, nan, inf, -inf};
  for (double phi : angles) {
    for (double lam : angles) {
      double e = 0, n = 0;
      if (p.Forward(phi, lam, e, n)) {
        EXPECT_TRUE(std::isfinite(e) && std::isfinite(n)) << phi << " " << lam;
      }
    }
  }
  const double metres[] = {0, 1e7, -1e7, 1e300, -1e300, nan, inf, -inf};
  for (double e : metres) {
    for (double n : metres) {
      double phi = 0, lam = 0;
      if (p.Inverse(e, n, phi, lam)) {
        EXPECT_TRUE(std::isfinite(phi) && std::isfinite(lam)) << e << " " << n;
        EXPECT_LE(std::fabs(lam), pi) << e << " " << n;
      }
    }
  }
}

}  // namespace velmira::testing
