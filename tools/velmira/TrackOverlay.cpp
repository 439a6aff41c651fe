#include "TrackOverlay.h"

#include <cmath>
#include <cstdio>

#include "Commands.h"
#include "GpxReader.h"
#include "TrackBuilder.h"
#include "velmira/platform.h"

namespace cli {
namespace {

constexpr double LogGapSeconds = 5;  // as velmira nmea's default
constexpr size_t MaxPiece = 4096;    // as velmira nmea's
constexpr int16_t LineWidth = 3;
constexpr int32_t WaypointSize = 9;
constexpr int16_t WaypointRing = 2;

// Design choice: strong colours that stay apart on light map pictures; the first is the red
// render has always drawn a track in.
struct Colour {
  int16_t Red, Green, Blue;
};
constexpr Colour Palette[] = {{220, 0, 0},   {30, 90, 220},  {20, 150, 60},  {230, 130, 0},
                              {140, 50, 170}, {0, 150, 160}, {160, 90, 40}, {220, 0, 180}};

// The fixes of an NMEA log as one track; the library decodes the log (a parser in event mode
// posting to a window of our own), the events become points as in velmira nmea's track output.
std::string ReadLog(const std::string& path, TrackFile& out) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return "cannot open " + path;
  TrackLine line;
  line.Name = path;
  TrackBuilder builder(LogGapSeconds, [&line](const TrackPoint& p) {
    if (p.NewSegment || line.Segments.empty()) line.Segments.emplace_back();
    line.Segments.back().push_back(p);
  });
  HWND window = VmWindow_New(nullptr, 0, 0, 0, 0);
  Handle<VmNmeaParser> parser(NmeaParser_New(), NmeaParser_Delete);
  NmeaParser_SetCallbackHWND(parser.get(), window);
  std::string text;
  for (int c = 0; c != EOF;) {
    c = std::fgetc(in);
    const bool lineEnd = c == '\n' || c == '\r' || c == EOF;
    if (!lineEnd && c != 0) text.push_back(static_cast<char>(c));  // the library takes NUL-ended text
    // A line longer than any sentence (a binary file) goes to the parser in pieces, so that
    // memory stays bounded.
    if (text.empty() || (!lineEnd && text.size() < MaxPiece)) continue;
    NmeaParser_Parse(parser.get(), Widen(lineEnd ? text + "\r\n" : text).c_str());
    text.clear();
    VmMsg m;
    while (VmWindow_GetMessage(window, &m, 0) == 1) {
      if (m.message != GpsMessage) continue;
      builder.Take(m.wParam, reinterpret_cast<void*>(m.lParam));
      DeleteCarried(m.wParam, reinterpret_cast<void*>(m.lParam));
    }
  }
  builder.Finish();
  NmeaParser_SetCallbackHWND(parser.get(), nullptr);
  parser.reset();
  VmWindow_Delete(window);
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) return "cannot read " + path;
  if (!line.Segments.empty()) out.Lines.push_back(std::move(line));
  return {};
}

Handle<VmPen> NewPen(const Colour& c, int16_t width) {
  Handle<VmPen> pen(Pen_New(), Pen_Delete);
  Pen_SetRed(pen.get(), c.Red);
  Pen_SetGreen(pen.get(), c.Green);
  Pen_SetBlue(pen.get(), c.Blue);
  Pen_SetWidth(pen.get(), width);
  return pen;
}

}  // namespace

std::string ReadTrackFile(const std::string& path, TrackFile& out) {
  out = TrackFile();
  if (GpxReader::LooksLikeXml(path)) return GpxReader().Read(path, out);
  return ReadLog(path, out);
}

void DrawTrackFile(VmViewer* viewer, const TrackFile& file, size_t colour) {
  const Colour& c = Palette[colour % std::size(Palette)];
  Handle<VmPen> pen = NewPen(c, LineWidth);
  for (const TrackLine& line : file.Lines) {
    for (const TrackSegment& segment : line.Segments) {
      for (size_t i = 1; i < segment.size(); ++i) {
        const TrackPoint &a = segment[i - 1], &b = segment[i];
        if (a.Lat == b.Lat && a.Lon == b.Lon) continue;  // nothing to draw
        Handle<VmLine> drawn(Viewer_NewLine(viewer), Line_Delete);
        Line_SetPen(drawn.get(), pen.get());
        Line_SetPosition1(drawn.get(), NewPosition(a.Lat, a.Lon).get());
        Line_SetPosition2(drawn.get(), NewPosition(b.Lat, b.Lon).get());
      }
    }
  }
  Handle<VmPen> ring = NewPen(c, WaypointRing);
  for (const TrackPoint& w : file.Waypoints) {
    Handle<VmEllipse> mark(Viewer_NewEllipse(viewer), Ellipse_Delete);
    Ellipse_SetWidth(mark.get(), WaypointSize);
    Ellipse_SetHeight(mark.get(), WaypointSize);
    Ellipse_SetPen(mark.get(), ring.get());
    Ellipse_SetPosition(mark.get(), NewPosition(w.Lat, w.Lon).get());
  }
}

}  // namespace cli
