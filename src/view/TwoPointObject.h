// Base of the overlay objects given by two corner positions, Line and Rectangle: each end is
// placed through the map on its own, and the box spans the two points (alignment 0, so
// GetLeft and GetTop give the smaller coordinates back). Until both ends are set the other
// end is still (0, 0), and the box reaches from there.
#pragma once

#include "view/MapObject.h"

namespace velmira {

class TwoPointObject : public MapObject {
 public:
  // Back onto both corner positions when both are set, else from the anchor's position: a
  // rectangle moved or sized through SetPosition or the size setters returns to its corners.
  void Reposition() override;

  Ref<Position> GetPosition1() const { return Position1; }
  Ref<Position> GetPosition2() const { return Position2; }
  // Without a map nothing happens. With one: the end moves to the map's point for the
  // position (when it yields one), the position is stored (even when it yields none), the box
  // is recomputed, and changed is set if the end moved.
  void SetPosition1(Position* position);
  void SetPosition2(Position* position);

  const Point& GetPoint1() const { return *Point1; }
  const Point& GetPoint2() const { return *Point2; }

 protected:
  explicit TwoPointObject(int32_t type) : MapObject(type) {}

 private:
  void PlaceEnd(Point& end, Ref<Position>& stored, Position* position);
  // width = |x1 - x2|, height = |y1 - y2|, anchor at (min x + width / 2, min y + height / 2).
  void UpdateBounds();

  Ref<Point> Point1 = MakeRef<Point>();
  Ref<Point> Point2 = MakeRef<Point>();
  Ref<Position> Position1;
  Ref<Position> Position2;
};

}  // namespace velmira
