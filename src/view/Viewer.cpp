// The viewer's state: opening and closing, the current map, the viewport, zoom and rotation,
// conversions, and the overlay objects it creates, finds, orders and deletes. Drawing is in
// ViewerDraw.cpp.
#include "view/Viewer.h"

#include <cmath>

#include "view/Ellipse.h"
#include "view/Label.h"
#include "view/Line.h"
#include "view/Rectangle.h"

namespace velmira {
namespace {

// Rotation arithmetic: pi as a double for the comparisons and as a float in the arithmetic.
constexpr double Pi = 3.141592653589793;
constexpr float PiF = 3.1415927f;
constexpr double RadiansPerDegree = 0.017453292519943295;

// trunc(turns) as a 16-bit signed integer: the integer's low 16 bits, as a 16-bit store of a
// whole number keeps them, for any finite value.
int16_t WholeTurns16(double turns) {
  const double whole = std::fmod(std::trunc(turns), 65536.0);
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int32_t>(whole) & 0xFFFF));
}

using Factory = Ref<MapObject> (*)();
template <class T>
Ref<MapObject> Make() {
  return Ref<MapObject>::Adopt(new T());
}
// The kinds Viewer_NewLine and its siblings make, by type code; icons come from the library.
struct Kind {
  int32_t Type;
  Factory New;
};
constexpr Kind Kinds[] = {
    {MapObject::LineType, Make<Line>},
    {MapObject::EllipseType, Make<Ellipse>},
    {MapObject::RectangleType, Make<Rectangle>},
    {MapObject::LabelType, Make<Label>},
};

Ref<MapObject> AsMapObject(Ref<RefObject> element) {
  // Only the viewer puts objects into its layers, and only overlay objects.
  return RefAs<MapObject>(std::move(element));
}

}  // namespace

Viewer::Viewer() : MapObject(ViewerType) {}

Viewer::~Viewer() { Close(); }

void Viewer::Close() {
  Err.Clear();
  // A map the application still holds keeps no view of this viewer's.
  if (Map* current = GetMap(); current != nullptr) current->DropCache();
  SetMap(nullptr);
  Library.Reset();
  LayerSet.Reset();
}

void Viewer::Open(Text* name) {
  Err.Clear();
  Close();
  Library = MakeRef<MapLib>();
  LayerSet = MakeRef<Layers>();
  if (name != nullptr) {
    Library->Open(*name);
    Err.CopyFrom(Library->GetError());
    if (Err.Failed()) return;
    SetMap(Library->GetMapByIndex(1).Get());
  }
  RedrawAll = true;
}

Ref<MapLib> Viewer::GetMapLib() {
  Err.Clear();
  if (!Library) Open(nullptr);
  return Library;
}

Ref<Layer> Viewer::ActiveLayer(const Text& name) {
  Err.Clear();
  if (!LayerSet) return {};
  Ref<Layer> layer = LayerSet->ActiveLayer(name);
  Err.CopyFrom(LayerSet->GetError());
  return layer;
}

Ref<Map> Viewer::ActiveMapData(const Text& name) {
  Err.Clear();
  Map* current = GetMap();
  if (current != nullptr) {
    Ref<Text> currentName = Ref<Text>::Adopt(current->GetName());
    if (currentName->Equals(&name)) return Ref<Map>::Retain(current);
  }
  const bool active = name.Equals(Layers::ActiveName), main = name.Equals(Layers::MainName);
  if ((active || main) && !HasMaps()) {
    Err.Set(errors::NoMaps);
    return {};
  }
  if (main) {
    Ref<Map> first = Library->GetMapByIndex(1);
    if (first.Get() != current) UseMap(first.Get());
  } else if (!active) {
    if (!Library) Open(nullptr);
    Ref<Map> map = Library->GetMapByName(name);
    if (!map) map = Library->NewMap(*MakeRef<Text>(name.Chars(), name.Length()));
    if (map) UseMap(map.Get());
  }
  return Ref<Map>::Retain(GetMap());
}

void Viewer::UseMap(Map* map) {
  if (Map* previous = GetMap(); previous != nullptr && previous != map) previous->DropCache();
  SetMap(map);
  for (Ref<RefObject> o = LayerSet->LastObject(); o; o = LayerSet->PrevObject()) {
    static_cast<MapObject*>(o.Get())->SetMap(map);
  }
  Relayout(true);
}

void Viewer::Relayout(bool force) {
  Map* map = GetMap();
  if (map == nullptr || !(force || map->TransformChanged)) return;
  if (LayerSet) {
    for (Ref<RefObject> o = LayerSet->LastObject(); o; o = LayerSet->PrevObject()) {
      static_cast<MapObject*>(o.Get())->Reposition();
    }
  }
  Reposition();
  RedrawAll = true;
  map->TransformChanged = false;
}

template <class Change>
void Viewer::ChangeViewport(Change change) {
  Ref<Rect> before = ViewArea();
  change();
  if (GetMap() == nullptr) return;
  Ref<Rect> after = ViewArea();
  if (before && after && after->Equals(*before)) {
    ViewportMoved = true;
  } else {
    RedrawAll = true;
  }
}

void Viewer::SetCentre(Position* position) {
  ChangeViewport([&] { SetPosition(position); });
}
void Viewer::SetViewOffsetX(int32_t offset) {
  ChangeViewport([&] { SetOffsetX(offset); });
}
void Viewer::SetViewOffsetY(int32_t offset) {
  ChangeViewport([&] { SetOffsetY(offset); });
}
void Viewer::SetViewSize(int32_t width, int32_t height) {
  ChangeViewport([&] {
    SetWidth(width);
    SetHeight(height);
  });
}

double Viewer::GetZoom() const { return GetMap() != nullptr ? GetMap()->ViewerZoom : 1.0; }

void Viewer::SetZoom(double zoom) {
  Err.Clear();
  Map* map = GetMap();
  if (map == nullptr) return;
  if (!(zoom >= MinZoom && zoom <= MaxZoom)) return Err.Set(errors::InvalidZoom);  // NaN too
  map->ViewerZoom = zoom;
  if (map->GetZoom() != static_cast<float>(zoom)) {
    map->SetZoom(static_cast<float>(zoom));
    RedrawAll = true;
  }
}

double Viewer::GetRotation() const { return GetMap() != nullptr ? GetMap()->ViewerRotation : 0.0; }

void Viewer::SetRotation(double degrees) {
  Err.Clear();
  Map* map = GetMap();
  if (map == nullptr) return;
  // Design choice: an infinite or not-a-number angle has no direction; it is refused instead
  // of turning the view matrix into not-a-number.
  if (!std::isfinite(degrees)) return Err.Set(errors::InvalidParameter);
  map->ViewerRotation = degrees;
  double r = degrees * RadiansPerDegree;
  if (r > Pi || r < -Pi) r -= 2.0 * PiF * WholeTurns16(r / (2.0 * PiF));
  if (r > Pi) {
    r -= 2.0 * PiF;
  } else if (r < -Pi) {
    r += 2.0 * PiF;
  }
  if (map->GetRotation() != static_cast<float>(r)) {
    map->SetRotation(static_cast<float>(r));
    RedrawAll = true;
  }
}

Ref<Point> Viewer::Position2Point(Position* position) {
  Err.Clear();
  Map* map = GetMap();
  if (map == nullptr) return {};
  Relayout(false);
  Ref<Point> point = Ref<Point>::Adopt(map->Position2Point(position));
  if (position != nullptr) Err.CopyFrom(position->GetError());
  return point;
}

Ref<Position> Viewer::Point2Position(const Point* point) {
  Err.Clear();
  Map* map = GetMap();
  if (map == nullptr) return {};
  Relayout(false);
  Ref<Position> position = Ref<Position>::Adopt(map->Point2Position(point));
  Err.CopyFrom(map->GetError());
  return position;
}

Ref<MapObject> Viewer::NewObject(int32_t type) {
  Err.Clear();
  if (!LayerSet) return {};
  for (const Kind& kind : Kinds) {
    if (kind.Type != type) continue;
    Ref<MapObject> object = kind.New();
    LayerSet->AddObject(object.Get());
    object->SetMap(GetMap());
    return object;
  }
  return {};
}

Ref<Icon> Viewer::NewIcon(const Text& name) {
  Err.Clear();
  if (!Library || !LayerSet) return {};
  Ref<Icon> source = Library->FindIcon(name);
  if (!source) {
    Err.Set(errors::IconNotFound);
    return {};
  }
  auto icon = MakeRef<Icon>(*source);
  // Design choice: an icon whose picture is too large to hold (see Bitmap::MaxPictureSide) is
  // refused, not placed without its picture.
  if (icon->GetError().Code == errors::Memory) {
    Err.CopyFrom(icon->GetError());
    return {};
  }
  LayerSet->AddObject(icon.Get());
  icon->SetMap(GetMap());
  return icon;
}

Ref<MapObject> Viewer::GetByID(uint32_t id) {
  Err.Clear();
  return LayerSet ? AsMapObject(LayerSet->FindObject(id)) : Ref<MapObject>();
}

Ref<MapObject> Viewer::GetByIndex(int32_t index) {
  Err.Clear();
  return LayerSet ? AsMapObject(LayerSet->GetObjectByIndex(index)) : Ref<MapObject>();
}

Ref<MapObject> Viewer::GetByPoint(const Point* point, const MapObject* after) {
  Err.Clear();
  if (!LayerSet || point == nullptr) return {};
  Ref<RefObject> o = LayerSet->LastVisibleObject();
  if (after != nullptr) {
    while (o && o->GetID() != after->GetID()) o = LayerSet->PrevVisibleObject();
    if (!o) return {};
    o = LayerSet->PrevVisibleObject();
  }
  for (; o; o = LayerSet->PrevVisibleObject()) {
    if (static_cast<MapObject*>(o.Get())->HitTest(*point)) return AsMapObject(std::move(o));
  }
  return {};
}

Ref<MapObject> Viewer::GetByPosition(Position* position, const MapObject* after) {
  Err.Clear();
  Map* map = GetMap();
  if (map == nullptr || position == nullptr) return {};
  Ref<Point> point = Ref<Point>::Adopt(map->Position2Point(position));
  return GetByPoint(point.Get(), after);
}

int32_t Viewer::GetIndex(const MapObject* object) {
  Err.Clear();
  return LayerSet && object != nullptr ? LayerSet->IndexOfObject(*object) : 0;
}

void Viewer::SetIndex(MapObject* object, int32_t index) {
  Err.Clear();
  if (!LayerSet || object == nullptr) return;
  if (LayerSet->MoveObject(object, index) && object->Overlaps(*this)) RedrawAll = true;
}

void Viewer::DeleteObject(MapObject* object) {
  Err.Clear();
  if (object == nullptr || GetMap() == nullptr || !LayerSet) return;
  Ref<Rect> area = ViewArea();
  if (area && object->IsVisibleIn(*area)) RedrawAll = true;
  LayerSet->RemoveObject(*object);
}

}  // namespace velmira
