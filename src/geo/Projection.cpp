// The one place that routes a grid row to its projection kind, and the per-row cache that
// makes each row's projection once.
#include "geo/Projection.h"

#include <array>
#include <atomic>

#include "geo/Grid.h"

namespace velmira {
namespace {

using Factory = std::unique_ptr<Projection> (*)(const GridRow& row, double a, double e2);

struct KindFactory {
  int16_t Kind;
  Factory Make;
};

// One row per projection kind that computes; kinds not listed compute nothing.
constexpr KindFactory Factories[] = {
    {KindTransverseMercator, MakeTransverseMercator},
    {KindSwissOblique, MakeSwissOblique},
    {KindNewZealandMapGrid, MakeNewZealandMapGrid},
    {KindLambertConic, MakeLambertConic},
    {KindLambertBelgian, MakeLambertBelgian},
    {KindObliqueStereographic, MakeObliqueStereographic},
    {KindSystem34Jylland, MakeSystem34},
    {KindSystem34Sjaelland, MakeSystem34},
};

// Slots parallel to the grid table and the two zone tables. A slot holds the row's
// projection, or NoProjection when the row's kind computes nothing, or null before first
// use. Projections are made once and live as long as the process.
constexpr size_t SlotCount = 50 + 131 + 123;
std::array<std::atomic<const Projection*>, SlotCount> Slots{};

class NoProjectionMarker final : public Projection {
 public:
  bool Forward(double, double, double&, double&) const override { return false; }
  bool Inverse(double, double, double&, double&) const override { return false; }
};
const NoProjectionMarker NoProjectionInstance;
const Projection* const NoProjection = &NoProjectionInstance;

// The slot of a row of the static tables, or -1 for any other row.
int SlotOf(const GridRow& row) {
  int base = 0;
  for (std::span<const GridRow> table : {GridTableRows(), ZoneTable27(), ZoneTable83()}) {
    if (&row >= table.data() && &row < table.data() + table.size()) {
      return base + static_cast<int>(&row - table.data());
    }
    base += static_cast<int>(table.size());
  }
  return -1;
}

}  // namespace

std::unique_ptr<Projection> MakeProjection(const GridRow& row, double a, double e2) {
  for (const KindFactory& f : Factories) {
    if (f.Kind == row.Kind) return f.Make(row, a, e2);
  }
  return nullptr;
}

// Every row that computes has a datum of its own, so its ellipsoid is fixed and the row alone
// is the key; rows of datum 0 (no grid, State Plane 1927 before a zone) have kind 0.
const Projection* ProjectionFor(const GridRow& row, double a, double e2) {
  const int slot = SlotOf(row);
  if (slot < 0) return nullptr;
  std::atomic<const Projection*>& held = Slots[slot];
  const Projection* p = held.load(std::memory_order_acquire);
  if (p == nullptr) {
    std::unique_ptr<Projection> made = MakeProjection(row, a, e2);
    const Projection* fresh = made ? made.get() : NoProjection;
    // A second thread may have made one meanwhile; the first stored wins.
    if (held.compare_exchange_strong(p, fresh, std::memory_order_acq_rel)) {
      made.release();
      p = fresh;
    }
  }
  return p == NoProjection ? nullptr : p;
}

}  // namespace velmira
