// Points per second through the Position exports: WGS 84 to UTM with the automatic zone, WGS 84
// to the British National Grid (a datum shift and transverse Mercator), and the inverse of
// each. The points are the same deterministic set that compare_proj.sh feeds to PROJ.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "velmira/velmira.h"

namespace {

struct GeoPoint {
  double Lat, Lon;
};

// Spread over Great Britain, so both grids see realistic points; a fixed linear congruential
// sequence keeps the set identical between runs and with the PROJ side.
std::vector<GeoPoint> BritishPoints(size_t count) {
  std::vector<GeoPoint> points(count);
  uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) / 9007199254740992.0;
  };
  for (GeoPoint& p : points) {
    p.Lat = 50.0 + 8.5 * next();
    p.Lon = -7.5 + 9.0 * next();
  }
  return points;
}

constexpr size_t PointCount = 4096;

void Forward(benchmark::State& state, int16_t grid) {
  const std::vector<GeoPoint> points = BritishPoints(PointCount);
  VmPosition* p = Position_New();
  Position_SetGrid(p, grid);
  double e = 0, n = 0, sink = 0;
  size_t i = 0;
  for (auto _ : state) {
    const GeoPoint& g = points[i++ % PointCount];
    Position_SetLatitudeDecDeg(p, &g.Lat);
    Position_SetLongitudeDecDeg(p, &g.Lon);
    Position_GetEasting(p, &e);
    Position_GetNorthing(p, &n);
    sink += e + n;
  }
  benchmark::DoNotOptimize(sink);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  Position_Delete(p);
}

void Inverse(benchmark::State& state, int16_t grid) {
  const std::vector<GeoPoint> geo = BritishPoints(PointCount);
  struct GridPoint {
    double E, N;
    int16_t Zone;
  };
  std::vector<GridPoint> points;
  VmPosition* p = Position_New();
  Position_SetGrid(p, grid);
  for (const GeoPoint& g : geo) {
    double e = 0, n = 0;
    Position_SetLatitudeDecDeg(p, &g.Lat);
    Position_SetLongitudeDecDeg(p, &g.Lon);
    Position_GetEasting(p, &e);
    Position_GetNorthing(p, &n);
    BSTR zone = Position_GetZone(p, nullptr);  // "30U" on UTM, empty elsewhere
    int16_t number = 0;
    for (const WCHAR* c = zone; c != nullptr && *c >= '0' && *c <= '9'; ++c) {
      number = static_cast<int16_t>(number * 10 + (*c - '0'));
    }
    SysFreeString(zone);
    points.push_back({e, n, number});
  }
  double lat = 0, lon = 0, sink = 0;
  size_t i = 0;
  for (auto _ : state) {
    const GridPoint& g = points[i++ % PointCount];
    if (grid == 1) Position_SetZone(p, g.Zone);
    Position_SetEasting(p, &g.E);
    Position_SetNorthing(p, &g.N);
    Position_GetLatitudeDecDeg(p, &lat);
    Position_GetLongitudeDecDeg(p, &lon);
    sink += lat + lon;
  }
  benchmark::DoNotOptimize(sink);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  Position_Delete(p);
}

void Wgs84ToUtm(benchmark::State& state) { Forward(state, 1); }
void Wgs84ToBritishNationalGrid(benchmark::State& state) { Forward(state, 3); }
void UtmToWgs84(benchmark::State& state) { Inverse(state, 1); }
void BritishNationalGridToWgs84(benchmark::State& state) { Inverse(state, 3); }

BENCHMARK(Wgs84ToUtm);
BENCHMARK(Wgs84ToBritishNationalGrid);
BENCHMARK(UtmToWgs84);
BENCHMARK(BritishNationalGridToWgs84);

}  // namespace

BENCHMARK_MAIN();
