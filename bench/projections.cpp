// Points per second of each projection kind of the conic, oblique, New Zealand and System 34
// grids, forward and inverse, on the grid's own datum (no datum shift): the same points and
// definitions that proj_kinds.c hands to PROJ. System 34 also through the Position exports
// from WGS 84, which adds the datum shift to ED50 and back.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "geo/Datum.h"
#include "geo/Grid.h"
#include "geo/Projection.h"
#include "velmira/velmira.h"

namespace {

constexpr size_t PointCount = 4096;
constexpr double Deg = 0.017453292519943295;

struct Area {
  double LatMin, LatMax, LonMin, LonMax;
};

struct Point {
  double A, B;  // (phi, lambda) in radians or (easting, northing)
};

// The same linear congruential sequence as proj_kinds.c, spread over the grid's area.
std::vector<Point> GeoPoints(const Area& area) {
  std::vector<Point> points(PointCount);
  uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) / 9007199254740992.0;
  };
  for (Point& p : points) {
    p.A = (area.LatMin + (area.LatMax - area.LatMin) * next()) * Deg;
    p.B = (area.LonMin + (area.LonMax - area.LonMin) * next()) * Deg;
  }
  return points;
}

const velmira::Projection& ProjectionOfGrid(int grid) {
  const velmira::GridRow& row = velmira::GridTableRow(grid);
  const velmira::Ellipsoid& e = velmira::EllipsoidOfDatum(row.Datum);
  return *velmira::ProjectionFor(row, e.A, e.E2);
}

void Forward(benchmark::State& state, int grid, Area area) {
  const velmira::Projection& p = ProjectionOfGrid(grid);
  const std::vector<Point> points = GeoPoints(area);
  double e = 0, n = 0, sink = 0;
  size_t i = 0;
  for (auto _ : state) {
    const Point& g = points[i++ % PointCount];
    p.Forward(g.A, g.B, e, n);
    sink += e + n;
  }
  benchmark::DoNotOptimize(sink);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void Inverse(benchmark::State& state, int grid, Area area) {
  const velmira::Projection& p = ProjectionOfGrid(grid);
  std::vector<Point> points = GeoPoints(area);
  for (Point& g : points) {
    double e = 0, n = 0;
    p.Forward(g.A, g.B, e, n);
    g = {e, n};
  }
  double phi = 0, lam = 0, sink = 0;
  size_t i = 0;
  for (auto _ : state) {
    const Point& g = points[i++ % PointCount];
    p.Inverse(g.A, g.B, phi, lam);
    sink += phi + lam;
  }
  benchmark::DoNotOptimize(sink);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

constexpr Area Switzerland{45.8, 47.8, 5.95, 10.5};
constexpr Area NewZealand{-47.4, -34.4, 166.4, 178.6};
constexpr Area France{42.3, 51.1, -4.8, 8.2};
constexpr Area Belgium{49.5, 51.5, 2.55, 6.4};
constexpr Area Netherlands{50.75, 53.55, 3.35, 7.25};
// Inside the Jylland polygon: every point converts.
constexpr Area Jylland{55.4, 57.0, 8.6, 10.0};

void SwissObliqueForward(benchmark::State& s) { Forward(s, 7, Switzerland); }
void SwissObliqueInverse(benchmark::State& s) { Inverse(s, 7, Switzerland); }
void NewZealandMapGridForward(benchmark::State& s) { Forward(s, 21, NewZealand); }
void NewZealandMapGridInverse(benchmark::State& s) { Inverse(s, 21, NewZealand); }
void LambertConicForward(benchmark::State& s) { Forward(s, 27, France); }
void LambertConicInverse(benchmark::State& s) { Inverse(s, 27, France); }
void LambertBelgianForward(benchmark::State& s) { Forward(s, 22, Belgium); }
void LambertBelgianInverse(benchmark::State& s) { Inverse(s, 22, Belgium); }
void ObliqueStereographicForward(benchmark::State& s) { Forward(s, 34, Netherlands); }
void ObliqueStereographicInverse(benchmark::State& s) { Inverse(s, 34, Netherlands); }
void System34Forward(benchmark::State& s) { Forward(s, 48, Jylland); }
void System34Inverse(benchmark::State& s) { Inverse(s, 48, Jylland); }

// The whole conversion an application asks for: WGS 84 latitude/longitude to System 34.
void System34FromWgs84Position(benchmark::State& state) {
  const std::vector<Point> points = GeoPoints(Jylland);
  VmPosition* p = Position_New();
  const int16_t grid = 48;
  Position_SetGrid(p, grid);
  double e = 0, n = 0, sink = 0;
  size_t i = 0;
  for (auto _ : state) {
    const Point& g = points[i++ % PointCount];
    Position_SetLatitudeRads(p, &g.A);
    Position_SetLongitudeRads(p, &g.B);
    Position_GetEasting(p, &e);
    Position_GetNorthing(p, &n);
    sink += e + n;
  }
  benchmark::DoNotOptimize(sink);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  Position_Delete(p);
}

BENCHMARK(SwissObliqueForward);
BENCHMARK(SwissObliqueInverse);
BENCHMARK(NewZealandMapGridForward);
BENCHMARK(NewZealandMapGridInverse);
BENCHMARK(LambertConicForward);
BENCHMARK(LambertConicInverse);
BENCHMARK(LambertBelgianForward);
BENCHMARK(LambertBelgianInverse);
BENCHMARK(ObliqueStereographicForward);
BENCHMARK(ObliqueStereographicInverse);
BENCHMARK(System34Forward);
BENCHMARK(System34Inverse);
BENCHMARK(System34FromWgs84Position);

}  // namespace

BENCHMARK_MAIN();
