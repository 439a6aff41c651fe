#include <gtest/gtest.h>

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
  for (auto [f, s] : vertices) p.insert(p.end(), {f, s});
  return p;
}

constexpr int In = InsidePolygon, On = OnPolygonBoundary, Out = OutsidePolygon;
const auto Triangle = Polygon({{0, On}, {2, In}, {2, Out}});
const auto TriangleReversed = Polygon({{0, On}, {2, Out}, {2, In}});
const auto Square = Polygon({{0, On}, {0, 2}, {2, 2}, {2, On}});
const auto SquareClosed = Polygon({{0, On}, {0, 2}, {2, 2}, {2, On}, {0, On}});
// The ray from (0, 3) passes through both vertices on the line, where the boundary crosses.
const auto Diamond = Polygon({{0, On}, {1, In}, {0, 2}, {-1, In}});
// Two successive vertices on the line first = 0; the boundary goes through it there.
const auto Step = Polygon({{-1, On}, {0, In}, {0, 2}, {1, 3}, {1, 6}, {-1, 6}});

TEST(PointInPolygon, NamedScenes) {
  const struct {
    const char* Scene;
    const std::vector<double>& Shape;
    double F, S;
    int Want;
  } cases[] = {
      {"inside", Triangle, 1, 0.2, In}, {"inside low", Triangle, 1, -0.4, In},
      {"above", Triangle, 1, 0.7, Out}, {"below", Triangle, 1, -0.7, Out},
      {"beyond", Triangle, 3, 0, Out},  {"before", Triangle, -1, 0, Out},
      {"apex only touches the line", Triangle, 0, 5, Out},
      {"rising edge", Triangle, 1, 0.5, On}, {"falling edge", Triangle, 1, -0.5, On},
      {"edge along the line", Triangle, 2, 0, On}, {"vertex", Triangle, 0, 0, On},
      {"far vertex", Triangle, 2, 1, On},
      {"reversed rising edge", TriangleReversed, 1, 0.5, On},
      {"reversed falling edge", TriangleReversed, 1, -0.5, On},
      {"reversed edge along the line", TriangleReversed, 2, 0, On},
      {"reversed vertex", TriangleReversed, 0, 0, On},
      {"reversed far vertex", TriangleReversed, 2, 1, On},
      {"top edge across the ray", Square, 1, 2, On}, {"bottom edge across the ray", Square, 1, 0, On},
      {"side on the line only touches", Square, 0, 3, Out},
      {"in square", Square, 1, 1, In}, {"above square", Square, 1, 3, Out},
      {"vertices on the ray, inside", Diamond, 0, 1.5, In},
      {"vertices on the ray, outside", Diamond, 0, 3, Out}, {"below diamond", Diamond, 0, -1, Out},
      {"run of vertices counts once", Step, 0, 4, In}, {"on the run", Step, 0, 1.5, On},
      {"above the run", Step, 0, 7, Out},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PointInPolygon(c.Shape, c.F, c.S), c.Want) << c.Scene;
  }
  // A repeated closing vertex changes nothing.
  for (double f : {-0.5, 0.0, 1.0, 2.0, 2.5}) {
    for (double s : {-1.0, 0.0, 1.0, 2.0, 3.0}) {
      EXPECT_EQ(PointInPolygon(Square, f, s), PointInPolygon(SquareClosed, f, s)) << f << " " << s;
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
  for (const auto& b : {std::pair{nan, 1.0}, {1.0, nan}, {inf, 1.0}, {1.0, -inf}, {1.0, inf}}) {
    EXPECT_EQ(PointInPolygon(Square, b.first, b.second), OutsidePolygon) << b.first << b.second;
  }
  // A count larger than the stored vertices is cut to what is there; odd counts are bad data.
  auto overstated = Square;
  overstated[0] = 1e9;
  EXPECT_EQ(PointInPolygon(overstated, 1, 1), InsidePolygon);
  for (double count : {-4.0, 0.0, nan}) {
    auto wrong = Square;
    wrong[0] = count;
    EXPECT_EQ(PointInPolygon(wrong, 1, 1), OutsidePolygon) << count;
  }
  EXPECT_EQ(PointInPolygon(std::span<const double>(), 1, 1), OutsidePolygon);
}

}  // namespace
}  // namespace velmira
