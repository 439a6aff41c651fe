#include <new>

#include "api/Export.h"
#include "view/Viewer.h"

using velmira::Icon;
using velmira::Layer;
using velmira::Layers;
using velmira::Map;
using velmira::MapLib;
using velmira::MapObject;
using velmira::Point;
using velmira::Position;
using velmira::Ref;
using velmira::Text;
using velmira::Viewer;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(Viewer, VmViewer, Viewer)

namespace {

Viewer* Of(VmViewer* h) { return Unwrap<Viewer>(h); }

template <class Handle, class T>
Handle* Give(Ref<T> object) {
  return Wrap<Handle>(object.Detach());
}

// An overlay object passed beside its type code. Codes outside 1..5 mean no object; any code
// inside names the object as it is, since every kind is the same MapObject underneath.
MapObject* ObjectOf(VmMapObject* object, int32_t type) {
  if (type < MapObject::IconType || type > MapObject::LabelType) return nullptr;
  return Unwrap<MapObject>(object);
}

// A found object goes out with its type code written through `type`, which is left alone when
// nothing is found.
VmMapObject* Found(Ref<MapObject> object, int32_t* type) {
  if (object && type != nullptr) *type = object->GetType();
  return Wrap<VmMapObject>(object.Detach());
}

}  // namespace

extern "C" VmViewer* Viewer_New(void) { return Wrap<VmViewer>(new (std::nothrow) Viewer()); }

extern "C" void Viewer_Open(VmViewer* h, const WCHAR* fileName) {
  Of(h)->Open(velmira::MakeRef<Text>(fileName).Get());
}

extern "C" void Viewer_Close(VmViewer* h) { Of(h)->Close(); }

extern "C" VmMapLib* Viewer_GetMapLib(VmViewer* h) {
  return Give<VmMapLib>(Of(h)->GetMapLib());
}

extern "C" VmLayers* Viewer_GetLayers(VmViewer* h) {
  Of(h)->GetError().Clear();
  return Give<VmLayers>(Of(h)->GetLayers());
}

extern "C" VmLayer* Viewer_ActiveLayer(VmViewer* h, const WCHAR* name) {
  return Give<VmLayer>(Of(h)->ActiveLayer(Text(name)));
}

extern "C" VmMap* Viewer_ActiveMapData(VmViewer* h, const WCHAR* name) {
  return Give<VmMap>(Of(h)->ActiveMapData(Text(name)));
}

extern "C" VmPosition* Viewer_GetPosition(VmViewer* h) {
  return Give<VmPosition>(Of(h)->GetPosition());
}

extern "C" void Viewer_SetPosition(VmViewer* h, VmPosition* position) {
  Of(h)->SetCentre(Unwrap<Position>(position));
}

extern "C" int32_t Viewer_GetOffsetX(VmViewer* h) { return Of(h)->GetOffsetX(); }
extern "C" void Viewer_SetOffsetX(VmViewer* h, int32_t offset) { Of(h)->SetViewOffsetX(offset); }
extern "C" int32_t Viewer_GetOffsetY(VmViewer* h) { return Of(h)->GetOffsetY(); }
extern "C" void Viewer_SetOffsetY(VmViewer* h, int32_t offset) { Of(h)->SetViewOffsetY(offset); }
extern "C" int32_t Viewer_GetLeft(VmViewer* h) { return Of(h)->GetLeft(); }
extern "C" int32_t Viewer_GetTop(VmViewer* h) { return Of(h)->GetTop(); }

extern "C" void Viewer_GetZoom(VmViewer* h, double* out) {
  if (out != nullptr) *out = Of(h)->GetZoom();
}
extern "C" void Viewer_SetZoom(VmViewer* h, const double* zoom) {
  if (zoom == nullptr) return Of(h)->GetError().Set(velmira::errors::InvalidZoom);
  Of(h)->SetZoom(*zoom);
}
extern "C" void Viewer_GetRotation(VmViewer* h, double* out) {
  if (out != nullptr) *out = Of(h)->GetRotation();
}
extern "C" void Viewer_SetRotation(VmViewer* h, const double* degrees) {
  if (degrees == nullptr) return Of(h)->GetError().Set(velmira::errors::InvalidParameter);
  Of(h)->SetRotation(*degrees);
}

extern "C" VmPoint* Viewer_Position2Point(VmViewer* h, VmPosition* position) {
  return Give<VmPoint>(Of(h)->Position2Point(Unwrap<Position>(position)));
}
extern "C" VmPosition* Viewer_Point2Position(VmViewer* h, VmPoint* point) {
  return Give<VmPosition>(Of(h)->Point2Position(Unwrap<Point>(point)));
}

extern "C" VmIcon* Viewer_NewIcon(VmViewer* h, const WCHAR* name) {
  return Give<VmIcon>(Of(h)->NewIcon(Text(name)));
}
extern "C" VmLine* Viewer_NewLine(VmViewer* h) {
  return Give<VmLine>(Of(h)->NewObject(MapObject::LineType));
}
extern "C" VmRectangle* Viewer_NewRectangle(VmViewer* h) {
  return Give<VmRectangle>(Of(h)->NewObject(MapObject::RectangleType));
}
extern "C" VmEllipse* Viewer_NewEllipse(VmViewer* h) {
  return Give<VmEllipse>(Of(h)->NewObject(MapObject::EllipseType));
}
extern "C" VmLabel* Viewer_NewLabel(VmViewer* h) {
  return Give<VmLabel>(Of(h)->NewObject(MapObject::LabelType));
}

extern "C" VmMapObject* Viewer_GetByID(VmViewer* h, int32_t id, int32_t* type) {
  return Found(Of(h)->GetByID(static_cast<uint32_t>(id)), type);
}
extern "C" VmMapObject* Viewer_GetByIndex(VmViewer* h, int32_t index, int32_t* type) {
  return Found(Of(h)->GetByIndex(index), type);
}
extern "C" VmMapObject* Viewer_GetByPoint(VmViewer* h, VmPoint* point, int32_t* type) {
  return Found(Of(h)->GetByPoint(Unwrap<Point>(point)), type);
}
extern "C" VmMapObject* Viewer_GetByPosition(VmViewer* h, VmPosition* position,
                                             VmMapObject* after, int32_t afterType,
                                             int32_t* type) {
  return Found(Of(h)->GetByPosition(Unwrap<Position>(position), ObjectOf(after, afterType)), type);
}

extern "C" int32_t Viewer_GetIndex(VmViewer* h, VmMapObject* object, int32_t type) {
  return Of(h)->GetIndex(ObjectOf(object, type));
}
extern "C" void Viewer_SetIndex(VmViewer* h, VmMapObject* object, int32_t type, int32_t index) {
  Of(h)->SetIndex(ObjectOf(object, type), index);
}
extern "C" void Viewer_DeleteObject(VmViewer* h, VmMapObject* object, int32_t type) {
  Of(h)->DeleteObject(ObjectOf(object, type));
}

extern "C" void Viewer_OnDraw(VmViewer* h, int32_t left, int32_t top, int32_t width,
                              int32_t height, uint8_t update) {
  Of(h)->OnDraw(left, top, width, height, update != 0);
}
