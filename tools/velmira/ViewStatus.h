// The status line of velmira view: what the receiver said last, as two lines of text.
#pragma once

#include <string>

struct VmGpsFix;
struct VmPosition;

namespace cli {

struct ViewStatus {
  // Takes the time from a fix, and latitude and longitude from its position.
  void SetFix(VmGpsFix* fix, VmPosition* position);

  bool HaveFix = false;
  std::string Date, Time, Latitude, Longitude;
  std::string Grid;  // the map's grid, zone and coordinates
  bool HaveSpeed = false;
  double Kmh = 0;
  int InView = -1;  // unknown
  bool HaveHdop = false;
  double Hdop = 0;
  std::string Port;  // the source and its state: a port and its rate, a link, or the replay

  // Line one: time, position and grid coordinates, or "no fix" (with the last fix, if any).
  // Line two: speed, satellites, HDOP, the source and whether the view follows. A narrow window
  // wraps them between fields.
  std::string Text(bool lost, bool following) const;
};

}  // namespace cli
