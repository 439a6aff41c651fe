// The map viewer. It owns a map library (maps and icon templates) and the layers of overlay
// objects, and has one current map whose calibration, zoom and rotation define the view
// pixels. It is a MapObject itself: its position is the point shown at the centre of the
// window, its width and height are the window's size, and its offsets shift the view; so the
// window shows the view pixels from (GetLeft(), GetTop()) on.
//
// Rendering is lazy: changes raise redrawAll (the map and every object must be drawn again)
// or viewportMoved (only the window's place in the rendered tiles moved), and the next
// OnDraw with update does the least work that shows them.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "frame/Text.h"
#include "maps/Map.h"
#include "view/DrawSurface.h"
#include "view/Icon.h"
#include "view/Layers.h"
#include "view/MapLib.h"
#include "view/MapObject.h"

namespace velmira {

class Viewer final : public MapObject {
 public:
  // Zoom limits, both included: window pixels per pixel of the map picture.
  static constexpr double MinZoom = 0.1;
  static constexpr double MaxZoom = 10.0;

  Viewer();
  ~Viewer() override;

  // Releases the current map, the library and the layers; the surface and flags stay.
  void Close() override;
  // Closes, then starts over with an empty library and new layers; with a name, reads that
  // map library file and makes its first map current. A failed read keeps the empty library
  // and layers and leaves no current map; its error is the viewer's.
  void Open(Text* name);

  // The library (one more reference), made empty with new layers when there is none.
  Ref<MapLib> GetMapLib();
  // The layers (one more reference), none before the viewer is opened.
  Ref<Layers> GetLayers() const { return LayerSet; }
  // The Layers' ActiveLayer with its error; none before opening.
  Ref<Layer> ActiveLayer(const Text& name);
  // Selects the current map: "_active" keeps it, "_main" takes the library's first, any other
  // name the map of that name, made empty in the library when there is none (opening the
  // viewer first if it has no library). Returns the current map or none; "_active" and
  // "_main" without maps are 10015.
  Ref<Map> ActiveMapData(const Text& name);
  // Places every object and the viewer again when forced or when the map's transform changed.
  void Relayout(bool force);

  // The viewport: each change compares the tiles under the window before and after, so that
  // a move within them only moves the copy (viewportMoved) and anything else renders again.
  void SetCentre(Position* position);
  void SetViewOffsetX(int32_t offset);
  void SetViewOffsetY(int32_t offset);
  void SetViewSize(int32_t width, int32_t height);

  // Zoom and rotation live in the current map; without one, setting does nothing and the
  // getters give 1.0 and 0.0.
  double GetZoom() const;
  // 0.1 .. 10.0 (both included), else 10003 "Invalid Zoom value" and no change.
  void SetZoom(double zoom);
  double GetRotation() const;  // degrees, exactly as set
  // Any finite number of degrees; the map turns by it normalised to -180 .. 180.
  void SetRotation(double degrees);

  // Conversions through the current map after a relayout (none without a map). Results are new.
  Ref<Point> Position2Point(Position* position);
  Ref<Position> Point2Position(const Point* point);

  // Objects. New ones go to the active layer with the current map; none before opening.
  Ref<MapObject> NewObject(int32_t type);
  // A copy of the library's icon of that name; 10003 "Icon not found" without one.
  Ref<Icon> NewIcon(const Text& name);
  Ref<MapObject> GetByID(uint32_t id);
  Ref<MapObject> GetByIndex(int32_t index);
  // The topmost object of the enabled layers hit at the point (view pixels), or below the
  // object `after` when one is given (none if no enabled object has after's ID).
  Ref<MapObject> GetByPoint(const Point* point, const MapObject* after = nullptr);
  Ref<MapObject> GetByPosition(Position* position, const MapObject* after);
  int32_t GetIndex(const MapObject* object);
  void SetIndex(MapObject* object, int32_t index);
  void DeleteObject(MapObject* object);

  // Draws the view into the child, at (left + 1, top + 1), of the foreground window: with
  // update it first takes width and height as the window's size and renders what changed.
  void OnDraw(int32_t left, int32_t top, int32_t width, int32_t height, bool update);
  // Renders what changed; true when there is something new to show.
  bool UpdateView();
  // Renders if a render is pending, then shows the surface's picture in its target.
  void ShowView();

 private:
  template <class Change>
  void ChangeViewport(Change change);
  void UseMap(Map* map);
  bool HasMaps() const { return Library && Library->GetMapCount() > 0; }

  Ref<MapLib> Library;
  Ref<DrawSurface> Surface;
  Ref<Layers> LayerSet;
  Bitmap::Area Drawn{};  // the part of the surface's picture that shows the view
  bool RenderPending = false;
  bool RedrawAll = false;
  bool ViewportMoved = false;
};

}  // namespace velmira
