#include "view/MapObject.h"

#include <algorithm>
#include <limits>

namespace velmira {
namespace {

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// One axis of the box's first pixel: the edge at the point (1 or 3), the far edge at the
// point (2 or 4), or centred (anything else), where size / 2 truncates toward zero.
int64_t BoxStart(int32_t point, int32_t size, int32_t offset, int32_t align, int32_t nearEdge,
                 int32_t farEdge) {
  if (align == nearEdge) return int64_t{point} + offset;
  if (align == farEdge) return int64_t{point} - size + offset;
  return int64_t{point} - size / 2 + offset;
}

}  // namespace

MapObject::MapObject(int32_t type)
    : Type(type) {}

MapObject::~MapObject() = default;

const Pen& MapObject::PenRef() const {
  if (!PenOf) PenOf = MakeRef<Pen>();
  return *PenOf;
}

const Brush& MapObject::BrushRef() const {
  if (!BrushOf) BrushOf = MakeRef<Brush>();
  return *BrushOf;
}

Point& MapObject::AnchorPoint() const {
  if (!Anchor) Anchor = MakeRef<Point>();
  return *Anchor;
}

void MapObject::Reposition() { SetPosition(Pos.Get()); }

bool MapObject::HitTest(const Point& p) const { return BoxHit(p); }

void MapObject::Draw(DrawSurface&) {}

int32_t MapObject::GetLeft() const {
  return Saturate(BoxStart(AnchorPoint().X, Width, OffsetX, AlignX, AlignLeftEdge, AlignRightEdge));
}

int32_t MapObject::GetTop() const {
  return Saturate(
      BoxStart(AnchorPoint().Y, Height, OffsetY, AlignY, AlignTopEdge, AlignBottomEdge));
}

void MapObject::SetWidth(int32_t width) {
  if (width == Width) return;
  Width = width;
  IsChanged = true;
  Area.Reset();
}

void MapObject::SetHeight(int32_t height) {
  if (height == Height) return;
  Height = height;
  IsChanged = true;
  Area.Reset();
}

void MapObject::SetOffsetX(int32_t offset) {
  if (offset == OffsetX) return;
  OffsetX = offset;
  IsChanged = true;
  Area.Reset();
}

void MapObject::SetOffsetY(int32_t offset) {
  if (offset == OffsetY) return;
  OffsetY = offset;
  IsChanged = true;
  Area.Reset();
}

void MapObject::StoreAlignX(int32_t align) {
  AlignX = align;
  IsChanged = true;
  Area.Reset();
}

void MapObject::StoreAlignY(int32_t align) {
  AlignY = align;
  IsChanged = true;
  Area.Reset();
}

void MapObject::SetPoint(int32_t x, int32_t y) {
  Area.Reset();
  Point& anchor = AnchorPoint();
  if (x == anchor.X && y == anchor.Y) return;
  anchor.X = x;
  anchor.Y = y;
  IsChanged = true;
}

void MapObject::SetPosition(Position* position) {
  if (!MapOf) return;
  Area.Reset();
  Ref<Point> placed = Ref<Point>::Adopt(MapOf->Position2Point(position));
  if (placed) SetPoint(placed->X, placed->Y);
  Pos = Ref<Position>::Retain(position);
}

void MapObject::SetMap(Map* map) {
  MapOf = Ref<Map>::Retain(map);
  IsChanged = true;
}

bool MapObject::SetPen(Pen* pen) {
  if (pen == nullptr) {
    Err.Set(errors::NotAnObject);
    return false;
  }
  PenOf = Ref<Pen>::Retain(pen);
  IsChanged = true;
  return true;
}

bool MapObject::SetBrush(Brush* brush) {
  if (brush == nullptr) {
    Err.Set(errors::NotAnObject);
    return false;
  }
  BrushOf = Ref<Brush>::Retain(brush);
  IsChanged = true;
  return true;
}

Ref<Rect> MapObject::ViewArea() {
  if (MapOf && !Area) Area = Ref<Rect>::Adopt(MapOf->TileRect(GetLeft(), GetTop(), Width, Height));
  return Area;
}

bool MapObject::Overlaps(const MapObject& other) const {
  const int64_t left = GetLeft(), top = GetTop();
  const int64_t otherLeft = other.GetLeft(), otherTop = other.GetTop();
  return otherLeft <= left + Width && left <= otherLeft + other.Width &&
         otherTop <= top + Height && top <= otherTop + other.Height;
}

bool MapObject::IsVisibleIn(const Rect& area) {
  if (!MapOf) return false;
  Ref<Rect> mine = ViewArea();
  return mine && mine->Intersects(area);
}

bool MapObject::BoxHit(const Point& p) const {
  const int64_t left = GetLeft(), top = GetTop();
  return left <= p.X && p.X <= left + Width && top <= p.Y && p.Y <= top + Height;
}

Ref<Point> MapObject::SurfacePoint(int64_t x, int64_t y) const {
  // Design choice: an object without a map (never given one by a viewer) draws its view
  // pixels unchanged, as surface pixels.
  if (!MapOf) return MakeRef<Point>(Saturate(x), Saturate(y));
  return Ref<Point>::Adopt(MapOf->ViewOrigin(Saturate(x), Saturate(y)));
}

}  // namespace velmira
