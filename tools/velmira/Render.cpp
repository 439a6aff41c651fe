// velmira render: draws one view of a map library map into a PNG picture through a Viewer, as
// an application does: open the library, pick the map, centre, zoom and turn the view, add
// overlay objects, draw into a window with Viewer_OnDraw and save that window.
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "MapChoice.h"
#include "TrackOverlay.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace cli {
namespace {

constexpr const char* Name = "render";
constexpr int32_t AlignTopEdge = 3;
constexpr int32_t LabelGap = 2;  // pixels between an icon and the label below it

struct RenderOptions {
  std::string Library, Output, Map, Icon, Label;
  std::vector<std::string> Tracks;
  bool HasLat = false, HasLon = false, HasZoom = false, HasRotation = false;
  double Lat = 0, Lon = 0, Zoom = 1, Rotation = 0;
  int32_t Width = 640, Height = 480;
};

// The options that take a text and those that take a number, by name.
struct TextOption {
  const char* Name;
  std::string RenderOptions::*Value;
};
constexpr TextOption TextOptions[] = {{"-o", &RenderOptions::Output},
                                      {"--map", &RenderOptions::Map},
                                      {"--icon", &RenderOptions::Icon},
                                      {"--label", &RenderOptions::Label}};
struct NumberOption {
  const char* Name;
  double RenderOptions::*Value;
  bool RenderOptions::*Given;
};
constexpr NumberOption NumberOptions[] = {
    {"--lat", &RenderOptions::Lat, &RenderOptions::HasLat},
    {"--lon", &RenderOptions::Lon, &RenderOptions::HasLon},
    {"--zoom", &RenderOptions::Zoom, &RenderOptions::HasZoom},
    {"--rotation", &RenderOptions::Rotation, &RenderOptions::HasRotation}};

std::string ParseRender(const Args& args, RenderOptions& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!IsOption(a)) {
      if (!o.Library.empty()) return "unexpected '" + a + "'";
      o.Library = a;
      continue;
    }
    const TextOption* text = nullptr;
    const NumberOption* number = nullptr;
    for (const TextOption& t : TextOptions) text = a == t.Name ? &t : text;
    for (const NumberOption& n : NumberOptions) number = a == n.Name ? &n : number;
    if (text == nullptr && number == nullptr && a != "--size" && a != "--track") return "unknown option '" + a + "'";
    if (i + 1 >= args.size() || args[i + 1].empty()) return a + " needs a value";
    const std::string& v = args[++i];
    if (a == "--track") {
      o.Tracks.push_back(v);
    } else if (a == "--size") {
      if (!ParseSize(v, o.Width, o.Height)) return "bad --size '" + v + "'";
    } else if (number != nullptr) {
      if (o.*number->Given || !ParseNumber(v, o.*number->Value)) return "bad " + a + " '" + v + "'";
      o.*number->Given = true;
    } else {
      if (!(o.*text->Value).empty()) return a + " is repeated";
      o.*text->Value = v;
    }
  }
  if (o.Library.empty()) return "MAPLIB is needed";
  if (o.Output.empty()) return "-o OUT.png is needed";
  if (o.HasLat != o.HasLon) return "--lat and --lon go together";
  return {};
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "velmira %s: %s\n", Name, why.c_str());
  return 1;
}

// The scene to draw, in drawing order: the track, then the icon, then the label on top.
std::string AddObjects(VmViewer* viewer, VmPosition* centre, const RenderOptions& o) {
  for (size_t i = 0; i < o.Tracks.size(); ++i) {
    TrackFile track;
    if (std::string why = ReadTrackFile(o.Tracks[i], track); !why.empty()) return why;
    if (track.PointCount() < 2)
      std::fprintf(stderr, "velmira %s: %s has fewer than two points\n", Name, o.Tracks[i].c_str());
    DrawTrackFile(viewer, track, i);
  }
  int32_t iconHeight = -1;
  if (!o.Icon.empty()) {
    Handle<VmIcon> icon(Viewer_NewIcon(viewer, Widen(o.Icon).c_str()), Icon_Delete);
    if (!icon) return "icon '" + o.Icon + "': " + LibraryError(Viewer_GetErrHandle(viewer));
    Icon_SetPosition(icon.get(), centre);
    iconHeight = Icon_GetHeight(icon.get());
  }
  if (!o.Label.empty()) {
    Handle<VmLabel> label(Viewer_NewLabel(viewer), Label_Delete);
    Label_SetText(label.get(), Widen(o.Label).c_str());
    if (iconHeight >= 0) {
      Label_SetAlignY(label.get(), AlignTopEdge);
      Label_SetOffsetY(label.get(), iconHeight / 2 + LabelGap);
    }
    Label_SetPosition(label.get(), centre);
  }
  return {};
}

// A WGS 84 position from degrees; the library's reason when it refuses them.
std::string MakePosition(double lat, double lon, Handle<VmPosition>& out) {
  out.reset(Position_New());
  Position_SetLatitudeDecDeg(out.get(), &lat);
  if (std::string why = LibraryError(Position_GetErrHandle(out.get())); !why.empty()) return why;
  Position_SetLongitudeDecDeg(out.get(), &lon);
  return LibraryError(Position_GetErrHandle(out.get()));
}

// Without a position asked for, the centre is the map picture's centre pixel. A position the
// map cannot place is refused with the library's reason; one outside the picture is noted.
std::string Centre(VmViewer* viewer, VmMap* map, Handle<VmPosition>& centre) {
  // Before zoom and rotation are set, view pixels are map pixels.
  Handle<VmPoint> size(Map_GetSize(map), Point_Delete);
  const int32_t width = Point_GetX(size.get()), height = Point_GetY(size.get());
  if (!centre) {
    Handle<VmPoint> middle(Point_New(), Point_Delete);
    Point_SetX(middle.get(), width / 2);
    Point_SetY(middle.get(), height / 2);
    centre.reset(Viewer_Point2Position(viewer, middle.get()));
    if (!centre)
      return "the map cannot place its centre: " + LibraryError(Viewer_GetErrHandle(viewer));
  }
  Handle<VmPoint> at(Viewer_Position2Point(viewer, centre.get()), Point_Delete);
  if (std::string why = LibraryError(Viewer_GetErrHandle(viewer)); !at || !why.empty()) {
    return "the map cannot place the position: " + why;
  }
  const int32_t x = Point_GetX(at.get()), y = Point_GetY(at.get());
  if (x < 0 || y < 0 || x >= width || y >= height) {
    std::fprintf(stderr,
                 "velmira %s: the position lies outside the map's picture, at pixel %d,%d\n", Name,
                 x, y);
  }
  return {};
}

// Selects the asked map; without one, the map holding the asked position with the finest
// ground resolution, else the library's first.
std::string SelectMap(VmViewer* viewer, const RenderOptions& o, Handle<VmMap>& map) {
  Handle<VmMapLib> lib(Viewer_GetMapLib(viewer), MapLib_Delete);
  if (MapLib_GetMapCount(lib.get()) == 0) return o.Library + " holds no maps";
  MapChoice choice;
  const bool choose = o.Map.empty() && o.HasLat && choice.Open(o.Library).empty();
  const std::string finest = choose ? choice.Finest(o.Lat, o.Lon) : "";
  if (!finest.empty()) {
    map.reset(Viewer_ActiveMapData(viewer, Widen(finest).c_str()));
  } else if (o.Map.empty()) {
    map.reset(Viewer_ActiveMapData(viewer, u"_main"));
  } else {
    // Viewer_ActiveMapData would make a new empty map of an unknown name: look it up first.
    Handle<VmMap> named(MapLib_GetMapByName(lib.get(), Widen(o.Map).c_str()), Map_Delete);
    if (!named) return "no map named '" + o.Map + "' in " + o.Library;
    map.reset(Viewer_ActiveMapData(viewer, Widen(o.Map).c_str()));
  }
  if (!map) return "cannot select the map: " + LibraryError(Viewer_GetErrHandle(viewer));
  return {};
}

int Draw(VmViewer* viewer, const RenderOptions& o) {
  HWND window = VmWindow_New(nullptr, 0, 0, o.Width, o.Height);
  VmWindow_SetForeground(window);
  Viewer_OnDraw(viewer, 0, 0, o.Width, o.Height, 1);
  std::string why = LibraryError(Viewer_GetErrHandle(viewer));
  if (!why.empty()) {
    why = "cannot draw the view: " + why;
  } else if (VmWindow_SavePng(window, o.Output.c_str()) != 1) {
    why = "cannot write " + o.Output;
  }
  VmWindow_SetForeground(nullptr);
  VmWindow_Delete(window);
  return why.empty() ? 0 : Fail(why);
}

}  // namespace

int RunRender(const Args& args) {
  RenderOptions o;
  if (std::string why = ParseRender(args, o); !why.empty()) return BadUsage(Name, why);
  Handle<VmPosition> centre(nullptr, Position_Delete);
  if (o.HasLat) {
    if (std::string why = MakePosition(o.Lat, o.Lon, centre); !why.empty()) {
      return BadUsage(Name, "--lat, --lon: " + why);
    }
  }
  Handle<VmViewer> viewer(Viewer_New(), Viewer_Delete);
  Viewer_Open(viewer.get(), Widen(o.Library).c_str());
  if (std::string why = LibraryError(Viewer_GetErrHandle(viewer.get())); !why.empty()) {
    return Fail(o.Library + ": " + why);
  }
  Handle<VmMap> map(nullptr, Map_Delete);
  if (std::string why = SelectMap(viewer.get(), o, map); !why.empty()) return Fail(why);
  if (std::string why = Centre(viewer.get(), map.get(), centre); !why.empty()) return Fail(why);
  Viewer_SetPosition(viewer.get(), centre.get());
  if (o.HasZoom) Viewer_SetZoom(viewer.get(), &o.Zoom);
  if (std::string why = LibraryError(Viewer_GetErrHandle(viewer.get())); !why.empty()) {
    return BadUsage(Name, "--zoom: " + why);
  }
  if (o.HasRotation) Viewer_SetRotation(viewer.get(), &o.Rotation);
  if (std::string why = AddObjects(viewer.get(), centre.get(), o); !why.empty()) return Fail(why);
  return Draw(viewer.get(), o);
}

}  // namespace cli
