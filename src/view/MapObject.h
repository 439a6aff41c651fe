// Common base of the overlay objects (icons, labels, lines, rectangles, ellipses) and of the
// viewer: a geographic anchor that the map's calibration turns into a point in view pixels,
// and a box placed on that point by alignment, offsets and size. The box covers the columns
// GetLeft() .. GetLeft() + width and the rows GetTop() .. GetTop() + height, both ends
// included (width + 1 columns).
#pragma once

#include <cstdint>

#include "frame/Point.h"
#include "frame/Rect.h"
#include "frame/RefObject.h"
#include "geo/Position.h"
#include "maps/Map.h"
#include "view/Brush.h"
#include "view/Pen.h"

namespace velmira {

class DrawSurface;

class MapObject : public RefObject {
 public:
  // Type codes, passed beside handles by the viewer's exports.
  static constexpr int32_t ViewerType = 0;
  static constexpr int32_t IconType = 1;
  static constexpr int32_t LineType = 2;
  static constexpr int32_t EllipseType = 3;
  static constexpr int32_t RectangleType = 4;
  static constexpr int32_t LabelType = 5;

  // Horizontal alignment of the box on the point (0 centres it).
  static constexpr int32_t AlignLeftEdge = 1;   // box's left edge at the point
  static constexpr int32_t AlignRightEdge = 2;  // box's right edge at the point
  // Vertical alignment (0 centres it).
  static constexpr int32_t AlignTopEdge = 3;
  static constexpr int32_t AlignBottomEdge = 4;

  explicit MapObject(int32_t type);
  ~MapObject() override;

  // Places the object again from its stored position (after a map, zoom or rotation change).
  virtual void Reposition();
  // Whether the view pixel p lies on the object; the base tests the box, ends included.
  virtual bool HitTest(const Point& p) const;
  // Paints the object onto the rendered view of its map; the base draws nothing.
  virtual void Draw(DrawSurface& surface);

  int32_t GetType() const { return Type; }

  // Box geometry in view pixels, computed in 64 bits and saturated to 32: an anchor or offset
  // near the ends of the range leaves the object far outside any view instead of wrapping.
  int32_t GetLeft() const;
  int32_t GetTop() const;
  int32_t GetWidth() const { return Width; }
  int32_t GetHeight() const { return Height; }
  // Store a differing value, set changed and drop the cached area; an equal value does nothing.
  void SetWidth(int32_t width);
  void SetHeight(int32_t height);
  int32_t GetOffsetX() const { return OffsetX; }
  int32_t GetOffsetY() const { return OffsetY; }
  void SetOffsetX(int32_t offset);
  void SetOffsetY(int32_t offset);
  int32_t GetAlignX() const { return AlignX; }
  int32_t GetAlignY() const { return AlignY; }

  // The anchor in view pixels (never null).
  const Point& GetPoint() const { return AnchorPoint(); }
  // Replaces the anchor, drops the cached area, sets changed if the point moved.
  void SetPoint(int32_t x, int32_t y);

  // The stored position (one more reference) or none.
  Ref<Position> GetPosition() const { return Pos; }
  // Without a map nothing happens at all. With one: drops the cached area, places the anchor
  // at the map's point for the position (when it yields one), stores the position itself
  // (even when it yields none) and sets changed if the anchor moved. The position is converted
  // in place to the map's grid and zone, or datum.
  void SetPosition(Position* position);

  // The map placing the object (no reference added) or none.
  Map* GetMap() const { return MapOf.Get(); }
  // Shares the map (or none) and sets changed; the caller repositions the object afterwards.
  void SetMap(Map* map);

  // Outline and fill, shared with the caller (one more reference).
  Ref<Pen> GetPen() const {
    PenRef();
    return PenOf;
  }
  Ref<Brush> GetBrush() const {
    BrushRef();
    return BrushOf;
  }
  // Share the given object and set changed. A null handle is refused with 10003 "Parameter
  // not a valid object!" and nothing changes; the error record is not cleared first. Return
  // whether the object was taken.
  bool SetPen(Pen* pen);
  bool SetBrush(Brush* brush);
  const Pen& PenRef() const;
  const Brush& BrushRef() const;

  // Whether the object must be drawn again.
  bool Changed() const { return IsChanged; }
  void SetChanged(bool changed) { IsChanged = changed; }

  // The tiles of the map that the box touches (one more reference), cached until the box can
  // have moved; none without a map.
  Ref<Rect> ViewArea();
  // Whether the two boxes overlap, ends included.
  bool Overlaps(const MapObject& other) const;
  // False without a map; otherwise whether ViewArea meets the tile area.
  bool IsVisibleIn(const Rect& area);

 protected:
  // The box test: GetLeft() <= p.x <= GetLeft() + width, and the same vertically.
  bool BoxHit(const Point& p) const;
  // Stores an alignment code without checking it (the label checks its codes first).
  void StoreAlignX(int32_t align);
  void StoreAlignY(int32_t align);
  void DropArea() { Area.Reset(); }
  // A new point at the view pixel's place in the map's rendered bitmap (ViewOrigin). Takes
  // 64-bit sums such as GetLeft() + width and saturates them.
  Ref<Point> SurfacePoint(int64_t x, int64_t y) const;

 private:
  Point& AnchorPoint() const;

  Ref<Map> MapOf;
  // Pen, brush and anchor are made on first use: a map library's icon templates, which may
  // number hundreds of thousands, are never drawn or placed themselves.
  mutable Ref<Pen> PenOf;
  mutable Ref<Brush> BrushOf;
  int32_t Type;
  int32_t OffsetX = 0;
  int32_t OffsetY = 0;
  int32_t AlignX = 0;
  int32_t AlignY = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  mutable Ref<Point> Anchor;
  Ref<Position> Pos;
  Ref<Rect> Area;
  bool IsChanged = false;
};

}  // namespace velmira
