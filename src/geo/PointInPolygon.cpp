// Crossing count along the ray from the point toward smaller second coordinates. Vertices are
// classified by their first coordinate against the point's; vertices that lie on the ray's
// line are handled apart so that a boundary merely touching the line does not count.
#include "geo/PointInPolygon.h"

#include <algorithm>
#include <cmath>

namespace velmira {
namespace {

// Relative width of the band around an edge that counts as the boundary.
constexpr double BoundaryTolerance = 0x1p-34;

// 1 above the point's line, -1 below, 0 on it.
int Side(double f, double pointFirst) { return f > pointFirst ? 1 : (f < pointFirst ? -1 : 0); }

struct Vertices {
  const double* Pairs;
  int Count;
  double First(int k) const { return Pairs[2 * k]; }
  double Second(int k) const { return Pairs[2 * k + 1]; }
};

Vertices ReadVertices(std::span<const double> polygon) {
  if (polygon.empty()) return {nullptr, 0};
  const int available = static_cast<int>((polygon.size() - 1) / 2);
  const double stored = polygon[0];
  // Written so that a NaN count gives no vertices.
  int count = 0;
  if (stored >= available) {
    count = available;
  } else if (stored >= 1) {
    count = static_cast<int>(stored);
  }
  Vertices v{polygon.data() + 1, count};
  if (count > 1 && v.First(count - 1) == v.First(0) && v.Second(count - 1) == v.Second(0)) {
    --v.Count;  // the closing vertex repeats the first
  }
  return v;
}

// One edge whose ends lie strictly on opposite sides of the point's line. Returns 1 for a
// crossing on the ray, 0 for none, -1 when the point lies on the edge.
int EdgeCrossing(double f1, double s1, double f2, double s2, double pf, double ps) {
  if (ps < std::min(s1, s2) || ps > std::max(s1, s2)) {
    return s1 < ps && s2 < ps ? 1 : 0;
  }
  // u < v says the edge meets the line below the point; the cross-multiplied form avoids a
  // division. u and v share the sign of s2 - s1, so the band is scaled by their magnitude.
  const double u = (s2 - s1) * std::fabs(pf - f1);
  const double v = (ps - s1) * std::fabs(f2 - f1);
  // "<=" so that an edge across the ray at the point's own second coordinate (u = v = 0) is
  // a boundary hit too.
  if (std::fabs(u - v) <= std::fabs(u + v) * BoundaryTolerance) return -1;
  return u < v ? 1 : 0;
}

// A run of vertices on the point's line, all below the point, counts once when the boundary
// passes through the line there and not at all when it only touches it.
int RunCrossing(const Vertices& v, int start, double pf) {
  const int before = (start + v.Count - 1) % v.Count;
  int after = (start + 1) % v.Count;
  for (int steps = 0; steps < v.Count && Side(v.First(after), pf) == 0; ++steps) {
    after = (after + 1) % v.Count;
  }
  return Side(v.First(before), pf) * Side(v.First(after), pf) < 0 ? 1 : 0;
}

}  // namespace

int PointInPolygon(std::span<const double> polygon, double first, double second) {
  if (std::isnan(first) || std::isnan(second)) return OutsidePolygon;
  const Vertices v = ReadVertices(polygon);
  int crossings = 0;
  for (int k = 0; k < v.Count; ++k) {
    const int next = (k + 1) % v.Count;
    const double f1 = v.First(k), s1 = v.Second(k), f2 = v.First(next), s2 = v.Second(next);
    if (f1 == first && s1 == second) return OnPolygonBoundary;
    const int side1 = Side(f1, first), side2 = Side(f2, first);
    if (side1 * side2 < 0) {
      const int c = EdgeCrossing(f1, s1, f2, s2, first, second);
      if (c < 0) return OnPolygonBoundary;
      crossings += c;
    } else if (side1 == 0 && side2 == 0 && second >= std::min(s1, s2) &&
               second <= std::max(s1, s2)) {
      return OnPolygonBoundary;  // an edge lying on the line, with the point between its ends
    }
  }
  // Every edge has been seen, so a run on the line that reaches the point was a boundary hit
  // above; the runs left are wholly below or wholly above the point.
  for (int k = 0; k < v.Count; ++k) {
    const int before = (k + v.Count - 1) % v.Count;
    if (Side(v.First(k), first) != 0 || !(v.Second(k) < second)) continue;
    if (Side(v.First(before), first) == 0) continue;  // counted at the start of its run
    crossings += RunCrossing(v, k, first);
  }
  return crossings % 2 == 1 ? InsidePolygon : OutsidePolygon;
}

}  // namespace velmira
