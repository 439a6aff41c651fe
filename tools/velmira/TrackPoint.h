// A point of a track as the program writes and reads it: WGS 84 degrees, metres above mean sea
// level, UTC time as ISO 8601 text, and what the receiver said about the fix. Values it did
// not give are NaN (numbers), -1 (satellites) or empty (text).
#pragma once

#include <limits>
#include <string>
#include <vector>

namespace cli {

constexpr double Unknown = std::numeric_limits<double>::quiet_NaN();

struct TrackPoint {
  double Lat = 0, Lon = 0;
  double Ele = Unknown;
  std::string Time;  // "2024-05-14T07:41:57Z", with ".sss" before the Z when given
  std::string Fix;   // GPX's words: "2d", "3d", "dgps", "pps"
  int Sat = -1;
  double Hdop = Unknown, Vdop = Unknown, Pdop = Unknown;
  std::string Name;  // waypoints and route points
  bool NewSegment = false;  // the first point after a loss of fix or a gap
};

using TrackSegment = std::vector<TrackPoint>;

// A track or a route: its points in order, in one or more segments (a route has one).
struct TrackLine {
  std::string Name;
  bool Route = false;
  std::vector<TrackSegment> Segments;
};

// What a track file holds: lines and loose waypoints.
struct TrackFile {
  std::vector<TrackLine> Lines;
  TrackSegment Waypoints;
  size_t PointCount() const {
    size_t n = Waypoints.size();
    for (const TrackLine& l : Lines) {
      for (const TrackSegment& s : l.Segments) n += s.size();
    }
    return n;
  }
};

}  // namespace cli
