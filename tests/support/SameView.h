// The view a program drew, made again in the test's process: same map library, map, zoom,
// rotation, centre and size, drawn with no objects, so where the library places a position
// and what the bare map looks like there come from the library itself.
#pragma once

#include <climits>
#include <string>
#include <utility>

#include "support/PngPicture.h"
#include "support/WindowCanvas.h"
#include "view/Viewer.h"

namespace testsupport {

using LatLon = std::pair<double, double>;  // degrees

class SameView {
 public:
  // An empty map name keeps the map the library opens with.
  SameView(const std::string& library, const std::string& map, double zoom, double rotation, LatLon centre,
           int width, int height)
      : Window(width, height) {
    View->Open(velmira::MakeRef<velmira::Text>(library.c_str()).Get());
    if (!map.empty()) View->ActiveMapData(velmira::Text(map.c_str()));
    View->SetZoom(zoom);
    View->SetRotation(rotation);
    View->SetCentre(Place(centre).Get());
    VmWindow_SetForeground(Window.Window);
    View->OnDraw(0, 0, width, height, true);
    VmWindow_SetForeground(nullptr);
  }
  static velmira::Ref<velmira::Position> Place(LatLon p) {
    velmira::Ref<velmira::Position> place = velmira::MakeRef<velmira::Position>();
    place->SetLatitudeDecDeg(p.first);
    place->SetLongitudeDecDeg(p.second);
    return place;
  }
  // The window pixel where the library puts a place (INT_MIN twice where it cannot), and the
  // place at a window pixel.
  std::pair<int, int> WindowPixel(LatLon place) {
    velmira::Ref<velmira::Point> p = View->Position2Point(Place(place).Get());
    if (!p) return {INT_MIN, INT_MIN};
    return {p->X - View->GetLeft(), p->Y - View->GetTop()};
  }
  LatLon PlaceAt(int x, int y) {
    velmira::Ref<velmira::Position> place =
        View->Point2Position(velmira::MakeRef<velmira::Point>(View->GetLeft() + x, View->GetTop() + y).Get());
    return {place->GetLatitudeDecDeg(), place->GetLongitudeDecDeg()};
  }
  // Whether the picture shows this view's own pixel at (x, y).
  bool Plain(const Picture& p, int x, int y) const {
    return Window.Pixel(x, y) == platform::RGB(p.At(x, y).R, p.At(x, y).G, p.At(x, y).B);
  }

  WindowCanvas Window;
  velmira::Ref<velmira::Viewer> View = velmira::MakeRef<velmira::Viewer>();
};

}  // namespace testsupport
