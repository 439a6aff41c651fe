// What velmira view shows, built on the library's exports as any application would: a frame
// window holding the map (a Viewer with the track, the position marker and the view controls)
// and below it a status strip (a second Viewer whose map is a blank page carrying one Label).
// Both draw with Viewer_OnDraw into library windows whose pixels the program shows.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "Commands.h"
#include "MapChoice.h"
#include "TrackPoint.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace cli {

class MapScene {
 public:
  MapScene();
  MapScene(const MapScene&) = delete;
  MapScene& operator=(const MapScene&) = delete;
  ~MapScene();

  // Opens the map library, shows `mapName` (the first map when empty) centred on its picture
  // and prepares the marker; the problem for the user, else empty. A named map stays; without
  // one the view picks the map for each fix while following (ChooseMapFor).
  std::string Open(const std::string& library, const std::string& mapName);
  // Lays the library windows out for a desktop window of width x height pixels.
  void Resize(int width, int height);

  // A new fix: extends the track, moves the marker and, when following, the view. Returns
  // whether following it changed the map shown.
  bool OnFix(Handle<VmPosition> position);
  // Draws a track file under the live track in palette colour `colour`.
  void Overlay(const TrackFile& file, size_t colour);
  // The map's grid, zone and coordinates of `position` as text; UTM for a map without a grid.
  // The position is converted in place.
  std::string GridText(VmPosition* position);

  // Controls. Zoom and rotation belong to the view and stay when the map changes.
  void ZoomBy(double factor, bool aboutPoint, int x, int y);
  void SetZoom(double zoom);
  void RotateBy(double degrees);
  void SetRotation(double degrees);
  void StartDrag(int x, int y);
  void DragTo(int x, int y);
  void SetFollow(bool follow);
  // Shows the library's next map after the current one (wrapping); its name. A map picked so
  // stays while it holds the fix; then the choice by fix takes over again.
  std::string NextMap();

  bool Following() const { return Follow; }
  double Zoom() const { return ZoomFactor; }
  double Rotation() const { return Degrees; }
  std::string MapName();
  // The geographic centre of the view in WGS 84 degrees; false when it has none.
  bool Centre(double& lat, double& lon);

  // Replaces the status strip's text. The strip grows (and the map area shrinks) when the text
  // wraps into more lines than it has at the window's width, and shrinks back to two lines.
  void SetStatus(const std::string& text);

  // Draws what changed since the last call into the library windows.
  struct Drawn {
    bool Map = false, Status = false;
  };
  Drawn Draw();
  bool Dirty() const { return MapDirty || StatusDirty; }
  // Library drawing failures, for the user (empty when none).
  const std::string& Problem() const { return LastProblem; }

  int MapHeight() const { return MapRows; }
  int StatusHeight() const { return StatusRows; }
  // The pixels of the map area and of the status strip (blue, green, red, unused).
  const uint8_t* MapPixels(int& width, int& height, int& stride) const;
  const uint8_t* StatusPixels(int& width, int& height, int& stride) const;
  // Writes what the window shows as a PNG picture; the problem, else empty.
  std::string SavePng(const std::string& path) const;

 private:
  void MakeStatusPage();
  // Rows the status text needs at the current width, two lines at least.
  int StatusRowsNeeded();
  void PlaceMarker(VmPosition* position);
  void AddTrack(VmPosition* position);
  void ApplyView();
  void CentreOnPicture();
  void Settle();
  // Shows the map holding the fix with the finest ground resolution when that is not the
  // current one (the current one wins ties); whether the map changed.
  bool ChooseMapFor(VmPosition* fix);
  void ShowMap(const std::string& name);
  // The view pixel shown at window pixel (x, y) of the map area, and back.
  VmPosition* PositionAt(int32_t x, int32_t y);

  Handle<VmViewer> Viewer;
  Handle<VmViewer> StatusViewer;
  Handle<VmLabel> StatusLabel;
  Handle<VmIcon> MarkerIcon;
  Handle<VmEllipse> MarkerDot;
  Handle<VmPen> TrackPen;
  Handle<VmPosition> LastFix;
  std::deque<Handle<VmLine>> Track;
  std::string IconName;  // the library's first icon marks the position; none: a drawn dot
  HWND Frame = nullptr;
  HWND StatusWindow = nullptr;
  int Width = 0, WindowRows = 0, MapRows = 0, StatusRows = 0, MinStatusRows = 0;
  double ZoomFactor = 1, Degrees = 0;
  bool Follow = true;
  MapChoice Choice;
  bool Pinned = false;       // a map named when opening: no choice by fix
  bool ChosenByHand = false;  // `m` picked the current map
  bool MapDirty = true, StatusDirty = true;
  std::string StatusText;
  std::string LastProblem;
  // Drag: the window point where it started and the view pixel then at the window's centre.
  int DragX = 0, DragY = 0;
  int32_t DragCentreX = 0, DragCentreY = 0;
};

}  // namespace cli
