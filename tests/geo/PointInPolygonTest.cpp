#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "geo/PointInPolygon.h"
#include "geo/System34Tables.h"

namespace velmira {
namespace {

// Polygons are (first, second) vertices after the count; the ray runs toward smaller second
// coordinates along the line first = point's first.
std::vector<double> Polygon(std::initializer_list<std::pair<double, double>> vertices) {
  std::vector<double> p{static_cast<double>(vertices.size())};
  for (auto [f, s] : vertices) {
    p.push_back(f);
    p.push_back(s);
  }
  return p;
}

TEST(PointInPolygon, InsideAndOutsideOfATriangle) {
  const auto triangle = Polygon({{0, 0}, {2, 1}, {2, -1}});
  EXPECT_EQ(PointInPolygon(triangle, 1, 0.2), InsidePolygon);
  EXPECT_EQ(PointInPolygon(triangle, 1, -0.4), InsidePolygon);
  EXPECT_EQ(PointInPolygon(triangle, 1, 0.7), OutsidePolygon);
  EXPECT_EQ(PointInPolygon(triangle, 1, -0.7), OutsidePolygon);
  EXPECT_EQ(PointInPolygon(triangle, 3, 0), OutsidePolygon);
  EXPECT_EQ(PointInPolygon(triangle, -1, 0), OutsidePolygon);
}

TEST(PointInPolygon, PointsOnEdgesInBothDirectionsAreOnTheBoundary) {
  // The same triangle traversed both ways: its slanted edges run toward larger second
  // coordinates in one order and toward smaller ones in the other.
  for (const auto& triangle :
       {Polygon({{0, 0}, {2, 1}, {2, -1}}), Polygon({{0, 0}, {2, -1}, {2, 1}})}) {
    EXPECT_EQ(PointInPolygon(triangle, 1, 0.5), OnPolygonBoundary);
    EXPECT_EQ(PointInPolygon(triangle, 1, -0.5), OnPolygonBoundary);
    EXPECT_EQ(PointInPolygon(triangle, 2, 0), OnPolygonBoundary);  // edge on the line
    EXPECT_EQ(PointInPolygon(triangle, 0, 0), OnPolygonBoundary);  // a vertex
    EXPECT_EQ(PointInPolygon(triangle, 2, 1), OnPolygonBoundary);
  }
  // Edges across the ray at the point's own second coordinate.
  const auto square = Polygon({{0, 0}, {0, 2}, {2, 2}, {2, 0}});
  EXPECT_EQ(PointInPolygon(square, 1, 2), OnPolygonBoundary);
  EXPECT_EQ(PointInPolygon(square, 1, 0), OnPolygonBoundary);
}

TEST(PointInPolygon, VertexOnTheRayCountsOnlyWhereTheBoundaryCrosses) {
  // Diamond: the ray from (0, 3) passes through both line vertices, where the boundary crosses.
  const auto diamond = Polygon({{0, 0}, {1, 1}, {0, 2}, {-1, 1}});
  EXPECT_EQ(PointInPolygon(diamond, 0, 1.5), InsidePolygon);
  EXPECT_EQ(PointInPolygon(diamond, 0, 3), OutsidePolygon);
  EXPECT_EQ(PointInPolygon(diamond, 0, -1), OutsidePolygon);
  // The triangle only touches the line first = 0 at its apex.
  const auto triangle = Polygon({{0, 0}, {2, 1}, {2, -1}});
  EXPECT_EQ(PointInPolygon(triangle, 0, 5), OutsidePolygon);
}

TEST(PointInPolygon, RunOfVerticesOnTheRayCountsOnce) {
  // B and C lie on the line first = 0; the boundary goes through it there.
  const auto step = Polygon({{-1, 0}, {0, 1}, {0, 2}, {1, 3}, {1, 6}, {-1, 6}});
  EXPECT_EQ(PointInPolygon(step, 0, 4), InsidePolygon);
  EXPECT_EQ(PointInPolygon(step, 0, 1.5), OnPolygonBoundary);
  EXPECT_EQ(PointInPolygon(step, 0, 7), OutsidePolygon);
  // A square's side on the line only touches it.
  const auto square = Polygon({{0, 0}, {0, 2}, {2, 2}, {2, 0}});
  EXPECT_EQ(PointInPolygon(square, 0, 3), OutsidePolygon);
  EXPECT_EQ(PointInPolygon(square, 1, 1), InsidePolygon);
  EXPECT_EQ(PointInPolygon(square, 1, 3), OutsidePolygon);
}

TEST(PointInPolygon, RepeatedClosingVertexChangesNothing) {
  const auto open = Polygon({{0, 0}, {0, 2}, {2, 2}, {2, 0}});
  const auto closed = Polygon({{0, 0}, {0, 2}, {2, 2}, {2, 0}, {0, 0}});
  for (double f : {-0.5, 0.0, 1.0, 2.0, 2.5}) {
    for (double s : {-1.0, 0.0, 1.0, 2.0, 3.0}) {
      EXPECT_EQ(PointInPolygon(open, f, s), PointInPolygon(closed, f, s)) << f << " " << s;
    }
  }
}

TEST(PointInPolygon, PublishedPolygonsHaveEveryVertexAndEdgeMidpointOnTheBoundary) {
  using namespace s34tables;
  for (std::span<const double> p : {std::span<const double>(JyllandForwardPolygon),
                                    std::span<const double>(JyllandInversePolygon),
                                    std::span<const double>(SjaellandForwardPolygon),
                                    std::span<const double>(SjaellandInversePolygon)}) {
    const int n = static_cast<int>(p[0]);
    double sumF = 0, sumS = 0;
    for (int k = 0; k < n; ++k) {
      const int m = (k + 1) % n;
      const double f1 = p[1 + 2 * k], s1 = p[2 + 2 * k], f2 = p[1 + 2 * m], s2 = p[2 + 2 * m];
      EXPECT_EQ(PointInPolygon(p, f1, s1), OnPolygonBoundary) << "vertex " << k;
      EXPECT_EQ(PointInPolygon(p, (f1 + f2) / 2, (s1 + s2) / 2), OnPolygonBoundary) << "edge " << k;
      sumF += f1;
      sumS += s1;
    }
    // These polygons are convex enough that the vertex mean lies inside.
    EXPECT_EQ(PointInPolygon(p, sumF / n, sumS / n), InsidePolygon);
    EXPECT_EQ(PointInPolygon(p, sumF / n, -1e7), OutsidePolygon);
    EXPECT_EQ(PointInPolygon(p, 1e8, sumS / n), OutsidePolygon);
  }
}

TEST(PointInPolygon, BadInputIsOutsideAndStaysInBounds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const auto square = Polygon({{0, 0}, {0, 2}, {2, 2}, {2, 0}});
  EXPECT_EQ(PointInPolygon(square, nan, 1), OutsidePolygon);
  EXPECT_EQ(PointInPolygon(square, 1, nan), OutsidePolygon);
  EXPECT_EQ(PointInPolygon(square, inf, 1), OutsidePolygon);
  EXPECT_EQ(PointInPolygon(square, 1, -inf), OutsidePolygon);
  EXPECT_EQ(PointInPolygon(square, 1, inf), OutsidePolygon);
  // A count larger than the stored vertices is cut to what is there; odd counts are bad data.
  auto overstated = square;
  overstated[0] = 1e9;
  EXPECT_EQ(PointInPolygon(overstated, 1, 1), InsidePolygon);
  for (double count : {-4.0, 0.0, nan}) {
    auto bad = square;
    bad[0] = count;
    EXPECT_EQ(PointInPolygon(bad, 1, 1), OutsidePolygon) << count;
  }
  EXPECT_EQ(PointInPolygon(std::span<const double>(), 1, 1), OutsidePolygon);
}

}  // namespace
}  // namespace velmira
