// Track files on a map: a file given with --track is read as GPX when its content is XML and
// as an NMEA log otherwise, and drawn on a viewer as lines (one per segment) and waypoint
// rings in one colour of a small palette, so that several files tell apart.
#pragma once

#include <cstddef>
#include <string>

#include "TrackPoint.h"
#include "velmira/velmira.h"

namespace cli {

// Reads `path` into `out`; the problem, naming the file, or empty.
std::string ReadTrackFile(const std::string& path, TrackFile& out);

// Draws the file's lines and waypoints on the viewer's active layer in palette colour
// `colour` (taken modulo the palette's size).
void DrawTrackFile(VmViewer* viewer, const TrackFile& file, size_t colour);

}  // namespace cli
