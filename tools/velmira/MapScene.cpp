#include "MapScene.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include "TrackOverlay.h"

namespace cli {
namespace {

constexpr int32_t LineType = 2;
constexpr int32_t AlignLeftEdge = 1, AlignTopEdge = 3, TextLeft = 1, TextMiddle = 0;
constexpr double MinZoom = 0.1, MaxZoom = 10.0;  // the viewer's own limits
constexpr int16_t GridUtmNorth = 1, GridUtmSouth = 2;

// Design choice: the track keeps the newest segments only, so a receiver left running for
// days neither fills memory nor slows every full render with objects long off screen.
constexpr size_t MaxTrackLines = 20000;
constexpr int16_t TrackWidth = 3;
constexpr int16_t TrackRed = 220, TrackGreen = 30, TrackBlue = 60;
// Without a library icon the position is a blue dot in a white ring.
constexpr int32_t DotSize = 15;
constexpr int16_t DotRing = 3;

// The status page is a blank map calibrated at 100,000 pixels per degree, so that its view
// pixel (0, 0) is latitude and longitude 0 exactly: the label anchored there lands on the
// strip's top-left pixel without any rounding.
constexpr double PagePixelsPerDegree = 100000;
constexpr double StatusFontPoints = 10;
constexpr int StatusPadding = 2;

template <class T>
Handle<T> Own(T* object, void (*release)(T*)) {
  return Handle<T>(object, release);
}

// Writes rows of 32-bit blue, green, red, unused pixels as an 8-bit RGB PNG picture.
// libpng reports failures by a long jump back to the setjmp below.
bool WritePng(const std::string& path, int width, int height,
              const std::vector<const uint8_t*>& rows) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  std::vector<png_byte> rgb(static_cast<size_t>(width) * 3);
  bool ok = png != nullptr && info != nullptr;
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (const uint8_t* row : rows) {
      for (int x = 0; x < width; ++x) {
        rgb[3 * x] = row[4 * x + 2];
        rgb[3 * x + 1] = row[4 * x + 1];
        rgb[3 * x + 2] = row[4 * x];
      }
      png_write_row(png, rgb.data());
    }
    png_write_end(png, nullptr);
  } else {
    ok = false;
  }
  png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
  ok = std::fclose(out) == 0 && ok;
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace

MapScene::MapScene()
    : Viewer(nullptr, Viewer_Delete),
      StatusViewer(nullptr, Viewer_Delete),
      StatusLabel(nullptr, Label_Delete),
      MarkerIcon(nullptr, Icon_Delete),
      MarkerDot(nullptr, Ellipse_Delete),
      TrackPen(nullptr, Pen_Delete),
      LastFix(nullptr, Position_Delete) {}

MapScene::~MapScene() {
  // The viewers let go of their windows' contexts at every draw; the windows go last.
  Track.clear();
  Viewer.reset();
  StatusViewer.reset();
  VmWindow_SetForeground(nullptr);
  VmWindow_Delete(Frame);
}

std::string MapScene::Open(const std::string& library, const std::string& mapName) {
  Viewer.reset(Viewer_New());
  Viewer_Open(Viewer.get(), Widen(library).c_str());
  if (std::string why = LibraryError(Viewer_GetErrHandle(Viewer.get())); !why.empty()) {
    return library + ": " + why;
  }
  Handle<VmMapLib> lib(Viewer_GetMapLib(Viewer.get()), MapLib_Delete);
  const int32_t count = MapLib_GetMapCount(lib.get());
  if (count == 0) return library + " holds no maps";
  if (!mapName.empty()) {
    // Viewer_ActiveMapData would make a new blank map of an unknown name: look it up first.
    Handle<VmMap> named(MapLib_GetMapByName(lib.get(), Widen(mapName).c_str()), Map_Delete);
    if (!named) {
      std::string names;
      for (int32_t i = 1; i <= count; ++i) {
        Handle<VmMap> map(MapLib_GetMapByIndex(lib.get(), i), Map_Delete);
        names += (i > 1 ? ", " : "") + TakeText(Map_GetName(map.get(), nullptr));
      }
      return "no map named '" + mapName + "' in " + library + " (its maps: " + names + ")";
    }
  }
  Handle<VmMap> map(
      Viewer_ActiveMapData(Viewer.get(), mapName.empty() ? u"_main" : Widen(mapName).c_str()),
      Map_Delete);
  if (!map) return "cannot show the map: " + LibraryError(Viewer_GetErrHandle(Viewer.get()));
  CentreOnPicture();
  Pinned = !mapName.empty();
  // Without the choice (which could not happen after the viewer read the file) the map stays.
  if (!Pinned && !Choice.Open(library).empty()) Pinned = true;

  // Drawing order: the track, then the position marker on top of it.
  Own(Viewer_ActiveLayer(Viewer.get(), u"track"), Layer_Delete);
  Own(Viewer_ActiveLayer(Viewer.get(), u"position"), Layer_Delete);
  Own(Viewer_ActiveLayer(Viewer.get(), u"track"), Layer_Delete);
  TrackPen.reset(Pen_New());
  Pen_SetRed(TrackPen.get(), TrackRed);
  Pen_SetGreen(TrackPen.get(), TrackGreen);
  Pen_SetBlue(TrackPen.get(), TrackBlue);
  Pen_SetWidth(TrackPen.get(), TrackWidth);
  const std::vector<std::string> icons = IconNames(library);
  if (!icons.empty()) IconName = icons.front();
  MakeStatusPage();
  return {};
}

void MapScene::CentreOnPicture() {
  Handle<VmMap> map(Viewer_ActiveMapData(Viewer.get(), u"_active"), Map_Delete);
  Handle<VmPoint> size(Map_GetSize(map.get()), Point_Delete);
  // Before zoom and rotation are set, view pixels are the map picture's pixels.
  Handle<VmPoint> middle = NewPoint(Point_GetX(size.get()) / 2, Point_GetY(size.get()) / 2);
  Handle<VmPosition> centre(Viewer_Point2Position(Viewer.get(), middle.get()), Position_Delete);
  if (centre) Viewer_SetPosition(Viewer.get(), centre.get());
}

void MapScene::MakeStatusPage() {
  StatusViewer.reset(Viewer_New());
  Handle<VmMap> page(Viewer_ActiveMapData(StatusViewer.get(), u"status"), Map_Delete);
  Handle<VmPosition> corner = NewPosition(-1, 1);
  Handle<VmPoint> cornerPixel = NewPoint(static_cast<int32_t>(PagePixelsPerDegree),
                                         static_cast<int32_t>(PagePixelsPerDegree));
  Map_SetScale(page.get(), corner.get(), cornerPixel.get(), nullptr, nullptr, nullptr, nullptr);
  Handle<VmPosition> origin = NewPosition(0, 0);
  Viewer_SetPosition(StatusViewer.get(), origin.get());

  StatusLabel.reset(Viewer_NewLabel(StatusViewer.get()));
  VmLabel* label = StatusLabel.get();
  Handle<VmTextFont> font(TextFont_New(), TextFont_Delete);
  TextFont_SetFace(font.get(), u"Sans");
  TextFont_SetSize(font.get(), &StatusFontPoints);
  Label_SetTextFont(label, font.get());
  Handle<VmBrush> paper(Brush_New(), Brush_Delete);
  Brush_SetRed(paper.get(), 238);
  Brush_SetGreen(paper.get(), 238);
  Brush_SetBlue(paper.get(), 236);
  Brush_SetTransparent(paper.get(), 0);
  Label_SetBrush(label, paper.get());
  Handle<VmPen> edge(Pen_New(), Pen_Delete);
  Pen_SetRed(edge.get(), 150);
  Pen_SetGreen(edge.get(), 150);
  Pen_SetBlue(edge.get(), 150);
  Label_SetPen(label, edge.get());
  Label_SetAlignX(label, AlignLeftEdge);
  Label_SetAlignY(label, AlignTopEdge);
  Label_SetTextHAlign(label, TextLeft);
  Label_SetTextVAlign(label, TextMiddle);
  Label_SetText(label, u"Xg\nXg");  // two lines, to measure the strip's height
  // A label measures itself on its viewer's drawing surface, which the first draw makes and
  // hands to the labels it draws. An unmeasured label is an empty box, and an empty box on a
  // tile's edge counts as outside every tile: a few pixels inside, it is drawn.
  constexpr double Inside = 10 / PagePixelsPerDegree;
  Handle<VmPosition> inside = NewPosition(-Inside, Inside);
  Label_SetPosition(label, inside.get());
  HWND probe = VmWindow_New(nullptr, 0, 0, 2, 2);  // the viewer draws where (1, 1) lies
  VmWindow_SetForeground(probe);
  Viewer_OnDraw(StatusViewer.get(), 0, 0, 2, 2, 1);
  VmWindow_SetForeground(nullptr);
  VmWindow_Delete(probe);
  StatusRows = MinStatusRows = Label_GetHeight(label) + 2 * StatusPadding;
  Handle<VmPosition> anchor = NewPosition(0, 0);
  Label_SetPosition(label, anchor.get());
  Label_SetHeight(label, StatusRows);
}

int MapScene::StatusRowsNeeded() {
  VmLabel* label = StatusLabel.get();
  Label_SetWidth(label, Width);
  Label_SetHeight(label, 0);  // measured: the text wrapped at the width
  const int rows = std::max(Label_GetHeight(label) + 2 * StatusPadding, MinStatusRows);
  Label_SetHeight(label, StatusRows);
  return std::min(rows, static_cast<int>(MaxWindowSide) / 2);
}

void MapScene::Resize(int width, int height) {
  Width = std::clamp(width, 1, static_cast<int>(MaxWindowSide));
  WindowRows = height;
  StatusRows = StatusRowsNeeded();
  MapRows = std::clamp(height - StatusRows, 1, static_cast<int>(MaxWindowSide) - StatusRows);
  VmWindow_Delete(Frame);  // with the status window in it
  Frame = VmWindow_New(nullptr, 0, 0, Width, MapRows + StatusRows);
  StatusWindow = VmWindow_New(Frame, 0, MapRows, Width, StatusRows);
  VmWindow_SetForeground(Frame);
  Label_SetWidth(StatusLabel.get(), Width);
  Label_SetHeight(StatusLabel.get(), StatusRows);
  // The page's view pixel (0, 0) at the strip's top-left corner.
  Viewer_SetOffsetX(StatusViewer.get(), Width / 2);
  Viewer_SetOffsetY(StatusViewer.get(), StatusRows / 2);
  MapDirty = StatusDirty = true;
}

void MapScene::SetStatus(const std::string& text) {
  if (text == StatusText) return;
  StatusText = text;
  Label_SetText(StatusLabel.get(), Widen(text).c_str());
  StatusDirty = true;
  if (Width > 0 && StatusRowsNeeded() != StatusRows) Resize(Width, WindowRows);
}

MapScene::Drawn MapScene::Draw() {
  Drawn drawn;
  LastProblem.clear();
  if (MapDirty) {
    Viewer_OnDraw(Viewer.get(), 0, 0, Width, MapRows, 1);
    LastProblem = LibraryError(Viewer_GetErrHandle(Viewer.get()));
    MapDirty = false;
    drawn.Map = true;
  }
  if (StatusDirty) {
    Viewer_OnDraw(StatusViewer.get(), 0, MapRows, Width, StatusRows, 1);
    if (LastProblem.empty()) LastProblem = LibraryError(Viewer_GetErrHandle(StatusViewer.get()));
    StatusDirty = false;
    drawn.Status = true;
  }
  return drawn;
}

// Fixes -------------------------------------------------------------------------------------

bool MapScene::OnFix(Handle<VmPosition> position) {
  if (LastFix) {
    double lat = 0, lon = 0, lastLat = 0, lastLon = 0;
    Position_GetLatitudeRads(position.get(), &lat);
    Position_GetLongitudeRads(position.get(), &lon);
    Position_GetLatitudeRads(LastFix.get(), &lastLat);
    Position_GetLongitudeRads(LastFix.get(), &lastLon);
    if (lat == lastLat && lon == lastLon) return false;  // the same epoch from another sentence
    AddTrack(position.get());
  }
  const bool changed = Follow && ChooseMapFor(position.get());
  PlaceMarker(position.get());
  if (Follow) Viewer_SetPosition(Viewer.get(), position.get());
  LastFix = std::move(position);
  MapDirty = true;
  return changed;
}

bool MapScene::ChooseMapFor(VmPosition* fix) {
  double lat = 0, lon = 0;
  if (Pinned || !Wgs84Degrees(fix, lat, lon)) return false;
  const std::string current = MapName();
  if (ChosenByHand && Choice.Covers(current, lat, lon)) return false;
  ChosenByHand = false;
  const std::string best = Choice.Finest(lat, lon, current);
  if (best.empty() || best == current) return false;
  ShowMap(best);
  return true;
}

void MapScene::ShowMap(const std::string& name) {
  Own(Viewer_ActiveMapData(Viewer.get(), Widen(name).c_str()), Map_Delete);
  // Zoom and rotation live in each map; the view keeps its own across maps.
  SetZoom(ZoomFactor);
  SetRotation(Degrees);
}

void MapScene::Overlay(const TrackFile& file, size_t colour) {
  Own(Viewer_ActiveLayer(Viewer.get(), u"track"), Layer_Delete);
  DrawTrackFile(Viewer.get(), file, colour);
  MapDirty = true;
}

void MapScene::AddTrack(VmPosition* position) {
  Handle<VmLine> line(Viewer_NewLine(Viewer.get()), Line_Delete);
  Line_SetPen(line.get(), TrackPen.get());
  Line_SetPosition1(line.get(), LastFix.get());
  Line_SetPosition2(line.get(), position);
  Track.push_back(std::move(line));
  if (Track.size() > MaxTrackLines) {
    Viewer_DeleteObject(Viewer.get(), reinterpret_cast<VmMapObject*>(Track.front().get()),
                        LineType);
    Track.pop_front();
  }
}

void MapScene::PlaceMarker(VmPosition* position) {
  if (!MarkerIcon && !MarkerDot) {
    Own(Viewer_ActiveLayer(Viewer.get(), u"position"), Layer_Delete);
    if (!IconName.empty()) MarkerIcon.reset(Viewer_NewIcon(Viewer.get(), Widen(IconName).c_str()));
    if (!MarkerIcon) {
      MarkerDot.reset(Viewer_NewEllipse(Viewer.get()));
      Ellipse_SetWidth(MarkerDot.get(), DotSize);
      Ellipse_SetHeight(MarkerDot.get(), DotSize);
      Handle<VmPen> ring(Pen_New(), Pen_Delete);
      Pen_SetRed(ring.get(), 255);
      Pen_SetGreen(ring.get(), 255);
      Pen_SetBlue(ring.get(), 255);
      Pen_SetWidth(ring.get(), DotRing);
      Ellipse_SetPen(MarkerDot.get(), ring.get());
      Handle<VmBrush> fill(Brush_New(), Brush_Delete);
      Brush_SetRed(fill.get(), 20);
      Brush_SetGreen(fill.get(), 90);
      Brush_SetBlue(fill.get(), 230);
      Brush_SetTransparent(fill.get(), 0);
      Ellipse_SetBrush(MarkerDot.get(), fill.get());
    }
    Own(Viewer_ActiveLayer(Viewer.get(), u"track"), Layer_Delete);
  }
  if (MarkerIcon) {
    Icon_SetPosition(MarkerIcon.get(), position);
  } else {
    Ellipse_SetPosition(MarkerDot.get(), position);
  }
}

std::string MapScene::GridText(VmPosition* position) {
  // The viewer turns the position to the map's grid and zone, or to its datum alone.
  Own(Viewer_Position2Point(Viewer.get(), position), Point_Delete);
  int16_t grid = Position_GetGrid(position);
  std::string name =
      grid == GridUtmNorth || grid == GridUtmSouth ? "UTM" : "grid " + std::to_string(grid);
  if (grid == 0) {
    // Design choice: a map on latitude and longitude has no grid of its own; UTM stands in.
    double lat = 0;
    Position_GetLatitudeDecDeg(position, &lat);
    grid = lat < 0 ? GridUtmSouth : GridUtmNorth;
    Position_SetGrid(position, grid);
    name = "UTM";
  }
  double easting = 0, northing = 0;
  Position_GetEasting(position, &easting);
  Position_GetNorthing(position, &northing);
  if (Error_ErrNum(Position_GetErrHandle(position)) != 0) return name + ": outside the grid";
  const std::string zone = TakeText(Position_GetZone(position, nullptr));
  char text[96];
  std::snprintf(text, sizeof text, "%s%s%s  %.0f E  %.0f N", name.c_str(), zone.empty() ? "" : " ",
                zone.c_str(), std::floor(easting), std::floor(northing));
  return text;
}

// Controls ----------------------------------------------------------------------------------

void MapScene::Settle() {
  // After a zoom or a turn the viewer places itself (and with it its left and top) again only
  // when asked to convert a point.
  Handle<VmPoint> any = NewPoint(0, 0);
  Own(Viewer_Point2Position(Viewer.get(), any.get()), Position_Delete);
}

VmPosition* MapScene::PositionAt(int32_t x, int32_t y) {
  Settle();
  Handle<VmPoint> at = NewPoint(Viewer_GetLeft(Viewer.get()) + x, Viewer_GetTop(Viewer.get()) + y);
  return Viewer_Point2Position(Viewer.get(), at.get());
}

void MapScene::SetZoom(double zoom) {
  ZoomFactor = std::clamp(zoom, MinZoom, MaxZoom);
  Viewer_SetZoom(Viewer.get(), &ZoomFactor);
  MapDirty = true;
}

void MapScene::ZoomBy(double factor, bool aboutPoint, int x, int y) {
  const double zoom = std::clamp(ZoomFactor * factor, MinZoom, MaxZoom);
  if (zoom == ZoomFactor) return;
  // Following keeps the fix at the centre, so only a free view zooms about the pointer.
  Handle<VmPosition> fixed(aboutPoint && !Follow ? PositionAt(x, y) : nullptr, Position_Delete);
  SetZoom(zoom);
  if (!fixed) return;
  Handle<VmPoint> now(Viewer_Position2Point(Viewer.get(), fixed.get()), Point_Delete);
  if (!now) return;
  // The centre that puts the fixed place back under the pointer.
  Handle<VmPoint> centre =
      NewPoint(Point_GetX(now.get()) - x + Width / 2, Point_GetY(now.get()) - y + MapRows / 2);
  Handle<VmPosition> where(Viewer_Point2Position(Viewer.get(), centre.get()), Position_Delete);
  if (where) Viewer_SetPosition(Viewer.get(), where.get());
}

void MapScene::SetRotation(double degrees) {
  // Kept within -180 .. 180 so that the reported value reads naturally.
  Degrees = std::remainder(degrees, 360.0);
  if (Degrees == -180.0) Degrees = 180.0;
  Viewer_SetRotation(Viewer.get(), &Degrees);
  MapDirty = true;
}

void MapScene::RotateBy(double degrees) { SetRotation(Degrees + degrees); }

void MapScene::StartDrag(int x, int y) {
  DragX = x;
  DragY = y;
  Settle();
  DragCentreX = Viewer_GetLeft(Viewer.get()) + Width / 2;
  DragCentreY = Viewer_GetTop(Viewer.get()) + MapRows / 2;
}

void MapScene::DragTo(int x, int y) {
  // Measured from where the drag started, so rounding never adds up along the way.
  Handle<VmPoint> centre = NewPoint(DragCentreX - (x - DragX), DragCentreY - (y - DragY));
  Handle<VmPosition> where(Viewer_Point2Position(Viewer.get(), centre.get()), Position_Delete);
  if (!where) return;
  Follow = false;
  Viewer_SetPosition(Viewer.get(), where.get());
  MapDirty = true;
}

void MapScene::SetFollow(bool follow) {
  Follow = follow;
  if (Follow && LastFix) {
    ChooseMapFor(LastFix.get());
    Viewer_SetPosition(Viewer.get(), LastFix.get());
    MapDirty = true;
  }
}

std::string MapScene::MapName() {
  Handle<VmMap> map(Viewer_ActiveMapData(Viewer.get(), u"_active"), Map_Delete);
  return map ? TakeText(Map_GetName(map.get(), nullptr)) : std::string();
}

std::string MapScene::NextMap() {
  Handle<VmMapLib> lib(Viewer_GetMapLib(Viewer.get()), MapLib_Delete);
  const int32_t count = MapLib_GetMapCount(lib.get());
  const std::string current = MapName();
  int32_t next = 1;
  for (int32_t i = 1; i <= count; ++i) {
    Handle<VmMap> map(MapLib_GetMapByIndex(lib.get(), i), Map_Delete);
    if (TakeText(Map_GetName(map.get(), nullptr)) == current) next = i % count + 1;
  }
  Handle<VmMap> map(MapLib_GetMapByIndex(lib.get(), next), Map_Delete);
  const std::string name = TakeText(Map_GetName(map.get(), nullptr));
  ShowMap(name);
  ChosenByHand = true;
  return name;
}

bool MapScene::Centre(double& lat, double& lon) {
  Handle<VmPosition> centre(Viewer_GetPosition(Viewer.get()), Position_Delete);
  if (!centre) return false;
  Position_GetLatitudeDecDeg(centre.get(), &lat);
  Position_GetLongitudeDecDeg(centre.get(), &lon);
  return true;
}

// Pixels ------------------------------------------------------------------------------------

const uint8_t* MapScene::MapPixels(int& width, int& height, int& stride) const {
  int32_t w = 0, h = 0, s = 0;
  const uint8_t* pixels = VmWindow_GetPixels(Frame, &w, &h, &s);
  width = w;
  height = std::min(h, MapRows);
  stride = s;
  return pixels;
}

const uint8_t* MapScene::StatusPixels(int& width, int& height, int& stride) const {
  int32_t w = 0, h = 0, s = 0;
  const uint8_t* pixels = VmWindow_GetPixels(StatusWindow, &w, &h, &s);
  width = w;
  height = h;
  stride = s;
  return pixels;
}

std::string MapScene::SavePng(const std::string& path) const {
  int w = 0, mapRows = 0, mapStride = 0, sw = 0, statusRows = 0, statusStride = 0;
  const uint8_t* map = MapPixels(w, mapRows, mapStride);
  const uint8_t* status = StatusPixels(sw, statusRows, statusStride);
  if (map == nullptr || status == nullptr || sw != w) return "nothing is drawn yet";
  std::vector<const uint8_t*> rows;
  for (int y = 0; y < mapRows; ++y) rows.push_back(map + static_cast<size_t>(y) * mapStride);
  for (int y = 0; y < statusRows; ++y)
    rows.push_back(status + static_cast<size_t>(y) * statusStride);
  if (!WritePng(path, w, static_cast<int>(rows.size()), rows)) return "cannot write " + path;
  return {};
}

}  // namespace cli
