#include "view/TwoPointObject.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace velmira {
namespace {

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

void TwoPointObject::Reposition() {
  if (Position1 && Position2) {
    // Each setter takes the stored reference again; hold them so neither is freed meanwhile.
    Ref<Position> first = Position1, second = Position2;
    SetPosition1(first.Get());
    SetPosition2(second.Get());
  } else {
    MapObject::Reposition();
  }
}

void TwoPointObject::SetPosition1(Position* position) { PlaceEnd(*Point1, Position1, position); }

void TwoPointObject::SetPosition2(Position* position) { PlaceEnd(*Point2, Position2, position); }

void TwoPointObject::PlaceEnd(Point& end, Ref<Position>& stored, Position* position) {
  Map* map = GetMap();
  if (map == nullptr) return;
  Ref<Point> placed = Ref<Point>::Adopt(map->Position2Point(position));
  const bool moved = placed && (placed->X != end.X || placed->Y != end.Y);
  if (placed) {
    end.X = placed->X;
    end.Y = placed->Y;
  }
  stored = Ref<Position>::Retain(position);
  UpdateBounds();
  if (moved) SetChanged(true);
}

void TwoPointObject::UpdateBounds() {
  const int64_t width = std::llabs(int64_t{Point1->X} - Point2->X);
  const int64_t height = std::llabs(int64_t{Point1->Y} - Point2->Y);
  SetWidth(Saturate(width));
  SetHeight(Saturate(height));
  // Halves truncate toward zero; both are non-negative here.
  SetPoint(Saturate(std::min(Point1->X, Point2->X) + width / 2),
           Saturate(std::min(Point1->Y, Point2->Y) + height / 2));
}

}  // namespace velmira
