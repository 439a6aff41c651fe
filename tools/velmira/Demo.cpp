// velmira demo: the library end to end on the sample drive, as an application uses it. The
// log goes through an NmeaParser in event mode into a window's message queue; every fix with
// altitude becomes a row of the fix table (UTM through its Position); then a Viewer opens the
// sample map library, the track is laid on the map as lines with an icon at each end and a
// label at the last fix, and one turned and zoomed view is drawn into the window with
// Viewer_OnDraw and saved as DIR/demo.png.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Commands.h"
#include "TrackSink.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace cli {
namespace {

constexpr const char* Name = "demo";
constexpr int32_t FixWithAltitude = 3;  // from GGA; RMC and GLL give type 2
constexpr int16_t GridUtmNorth = 1, GridUtmSouth = 2;
constexpr int16_t SpeedKmh = 2;
constexpr int SecondsPerDay = 86400;
constexpr int GapSeconds = 5;  // fixes further apart are not joined, and the gap is reported

// The view: the window size, a turn that shows off the rotation, and how much of the window
// the track may fill. The zoom follows from the track's extent.
constexpr int32_t ViewWidth = 800, ViewHeight = 600;
constexpr double ViewRotation = 25.0;  // degrees
constexpr double TrackShare = 0.85;
constexpr double ZoomSteps = 1000.0;  // the zoom is rounded to thousandths, so it prints exactly
constexpr double DegreeSteps = 1e7;   // and the centre to 1e-7 degrees (about a centimetre)
constexpr double MinZoom = 0.1, MaxZoom = 10.0;

constexpr int16_t TrackRed = 220, TrackGreen = 20, TrackBlue = 60, TrackWidth = 4;
constexpr int32_t LabelGap = 6;  // pixels between the position icon and the label
constexpr int32_t AlignTopEdge = 3, AlignBottomEdge = 4;
constexpr int32_t LabelRoom = 80;  // pixels below the marker that the label needs
constexpr double LabelPoints = 10.0;

struct Fix {
  Handle<VmPosition> Where{nullptr, Position_Delete};
  int Seconds = 0;  // of the day
  std::string Time;
};

// What the replay gathers: the 3-D fixes in order and the receiver's latest reports.
struct Replay {
  std::vector<Fix> Track;
  bool RowPending = false;  // the last fix's row waits for the rest of its second
  int FirstSeconds = -1;    // time of the log's first sentence with one
  long Sentences = 0, FixesWithoutAltitude = 0, Gaps = 0, GapTotal = 0;
  double Kmh = 0, TopKmh = 0, Hdop = 0, Metres = 0, LastEasting = 0, LastNorthing = 0;
  int InView = 0;
  std::string LastZone;
  TrackSink* Gpx = nullptr;  // the drive as a GPX file
};

double Read(double* (*getter)(VmPosition*, double*), VmPosition* p) {
  double v = 0;
  getter(p, &v);
  return v;
}

int Since(int earlier, int later) { return (later - earlier + SecondsPerDay) % SecondsPerDay; }

// One row of the fix table, printed once the receiver has moved on to the next second, so that
// speed, satellites and HDOP are those it reported for the fix's own second, in whatever
// order its sentences come.
void PrintRow(const Fix& f, Replay& r) {
  VmPosition* p = f.Where.get();
  const std::string lat = Narrow(Position_GetLatitudeString(p, nullptr, 0));
  const std::string lon = Narrow(Position_GetLongitudeString(p, nullptr, 0));
  // Latitude and longitude stay what the fix says; the grid only adds easting and northing.
  Position_SetGrid(p, Read(Position_GetLatitudeRads, p) < 0 ? GridUtmSouth : GridUtmNorth);
  const double e = Read(Position_GetEasting, p), n = Read(Position_GetNorthing, p);
  const std::string zone = TakeText(Position_GetZone(p, nullptr));
  std::printf("%s  %-14s %-15s %-4s %10.1f %11.1f %6.1f %5d %6.2f\n", f.Time.c_str(), lat.c_str(),
              lon.c_str(), zone.c_str(), e, n, r.Kmh, r.InView, r.Hdop);
  if (!r.LastZone.empty() && zone == r.LastZone) r.Metres += std::hypot(e - r.LastEasting, n - r.LastNorthing);
  r.LastEasting = e;
  r.LastNorthing = n;
  r.LastZone = zone;
}

// A report of another second than the pending row's ends that row.
void NewSecond(int seconds, Replay& r) {
  if (r.FirstSeconds < 0) r.FirstSeconds = seconds;
  if (r.RowPending && r.Track.back().Seconds != seconds) {
    PrintRow(r.Track.back(), r);
    r.RowPending = false;
  }
}

void OnFix(VmGpsFix* fix, Replay& r) {
  const int seconds = GpsFix_GetHour(fix) * 3600 + GpsFix_GetMinute(fix) * 60 + GpsFix_GetSecond(fix);
  NewSecond(seconds, r);
  if (GpsFix_GetFixType(fix) != FixWithAltitude) {
    ++r.FixesWithoutAltitude;
    return;
  }
  Fix f;
  f.Where.reset(GpsFix_GetPosition(fix));
  f.Seconds = seconds;
  char time[24];  // room for three 16-bit values, whatever the receiver sent
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", GpsFix_GetHour(fix), GpsFix_GetMinute(fix),
                GpsFix_GetSecond(fix));
  f.Time = time;
  if (r.Track.empty() && Since(r.FirstSeconds, seconds) > 0) {
    std::printf("          (no fix in the first %d s)\n", Since(r.FirstSeconds, seconds));
  } else if (!r.Track.empty() && Since(r.Track.back().Seconds, seconds) > GapSeconds) {
    const int lost = Since(r.Track.back().Seconds, seconds) - 1;
    std::printf("          (no fix for %d s)\n", lost);
    ++r.Gaps;
    r.GapTotal += lost;
  }
  r.Track.push_back(std::move(f));
  r.RowPending = true;
}

// Sentences that carry the time of their second (RMC, GGA: field 1; GLL: field 5) tell when
// the receiver moves on, also in seconds without a fix.
void OnSentence(VmNmeaSentence* sentence, Replay& r) {
  ++r.Sentences;
  const std::string command = Narrow(NmeaSentence_GetCommand(sentence, nullptr));
  const int16_t field = command == "RMC" || command == "GGA" ? 1 : command == "GLL" ? 5 : 0;
  if (field == 0) return;
  const std::string time = Narrow(NmeaSentence_Fields(sentence, field, nullptr));
  if (time.size() < 6 || time.find_first_not_of("0123456789") < 6) return;
  const int hhmmss = std::stoi(time.substr(0, 6));
  NewSecond(hhmmss / 10000 * 3600 + hhmmss / 100 % 100 * 60 + hhmmss % 100, r);
}

void OnEvent(uintptr_t kind, void* object, Replay& r) {
  if (r.Gpx != nullptr) r.Gpx->Take(kind, object);
  switch (kind) {
    case KindSentence: OnSentence(static_cast<VmNmeaSentence*>(object), r); break;
    case KindFix: OnFix(static_cast<VmGpsFix*>(object), r); break;
    case KindSatellites: r.InView = Satellites_GetCount(static_cast<VmSatellites*>(object)); break;
    case KindMovement:
      Movement_GetSpeed(static_cast<VmMovement*>(object), SpeedKmh, &r.Kmh);
      r.TopKmh = std::max(r.TopKmh, r.Kmh);
      break;
    case KindQuality: Quality_GetHDOP(static_cast<VmQuality*>(object), &r.Hdop); break;
    default: break;
  }
  DeleteCarried(kind, object);
}

// Hands the log to the parser a line at a time (its buffer holds 512 bytes) and takes the
// messages after each. NUL bytes are left out: the library takes NUL-terminated text.
void ReplayLog(const std::string& log, HWND window, Replay& r) {
  Handle<VmNmeaParser> parser(NmeaParser_New(), NmeaParser_Delete);
  NmeaParser_SetCallbackHWND(parser.get(), window);
  std::u16string line;
  for (size_t i = 0; i < log.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(log[i]);
    if (c != 0) line.push_back(c);
    if (c != '\n' && i + 1 < log.size()) continue;
    NmeaParser_Parse(parser.get(), line.c_str());
    line.clear();
    VmMsg m;
    while (VmWindow_GetMessage(window, &m, 0) == 1) {
      if (m.message == GpsMessage) OnEvent(m.wParam, reinterpret_cast<void*>(m.lParam), r);
    }
  }
  NmeaParser_SetCallbackHWND(parser.get(), nullptr);
  if (r.RowPending) PrintRow(r.Track.back(), r);
}

void PrintSummary(const Replay& r) {
  const Fix& first = r.Track.front();
  const Fix& last = r.Track.back();
  const int span = Since(first.Seconds, last.Seconds);
  std::printf("\n%zu fixes with altitude (GGA), one row each; %ld fixes without altitude (RMC, GLL)\n",
              r.Track.size(), r.FixesWithoutAltitude);
  std::printf("%ld sentences passed their checksum; the fix was lost %ld time%s, for %ld s in all\n",
              r.Sentences, r.Gaps, r.Gaps == 1 ? "" : "s", r.GapTotal);
  std::printf("%s to %s (%d min %d s): %.2f km, top speed %.1f km/h\n", first.Time.c_str(),
              last.Time.c_str(), span / 60, span % 60, r.Metres / 1000.0, r.TopKmh);
}

// Turns the view, then zooms and centres it so that the whole track fills the window.
std::string Frame(VmViewer* viewer, const std::vector<Fix>& track) {
  const double rotation = ViewRotation;
  Viewer_SetRotation(viewer, &rotation);
  // At zoom 1 view pixels are the map's pixels turned: the track's box in them.
  int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
  for (const Fix& f : track) {
    Handle<VmPoint> p(Viewer_Position2Point(viewer, f.Where.get()), Point_Delete);
    if (!p) return "the map cannot place the fix of " + f.Time + ": " + LibraryError(Viewer_GetErrHandle(viewer));
    minX = std::min(minX, Point_GetX(p.get()));
    maxX = std::max(maxX, Point_GetX(p.get()));
    minY = std::min(minY, Point_GetY(p.get()));
    maxY = std::max(maxY, Point_GetY(p.get()));
  }
  Handle<VmPoint> middle(Point_New(), Point_Delete);
  Point_SetX(middle.get(), minX + (maxX - minX) / 2);
  Point_SetY(middle.get(), minY + (maxY - minY) / 2);
  Handle<VmPosition> centre(Viewer_Point2Position(viewer, middle.get()), Position_Delete);
  if (!centre) return "the map cannot place the track's centre: " + LibraryError(Viewer_GetErrHandle(viewer));
  double lat = std::round(Read(Position_GetLatitudeDecDeg, centre.get()) * DegreeSteps) / DegreeSteps;
  double lon = std::round(Read(Position_GetLongitudeDecDeg, centre.get()) * DegreeSteps) / DegreeSteps;
  Position_SetLatitudeDecDeg(centre.get(), &lat);
  Position_SetLongitudeDecDeg(centre.get(), &lon);
  const double fit = std::min(TrackShare * ViewWidth / (maxX - minX + 1), TrackShare * ViewHeight / (maxY - minY + 1));
  const double zoom = std::clamp(std::floor(fit * ZoomSteps) / ZoomSteps, MinZoom, MaxZoom);
  Viewer_SetZoom(viewer, &zoom);
  Viewer_SetPosition(viewer, centre.get());
  std::printf("view: %d x %d pixels, centre %.7f %.7f, zoom %.3f, rotation %.1f degrees\n", ViewWidth,
              ViewHeight, lat, lon, zoom, rotation);
  return {};
}

void AddTrack(VmViewer* viewer, const std::vector<Fix>& track) {
  Handle<VmPen> pen(Pen_New(), Pen_Delete);
  Pen_SetRed(pen.get(), TrackRed);
  Pen_SetGreen(pen.get(), TrackGreen);
  Pen_SetBlue(pen.get(), TrackBlue);
  Pen_SetWidth(pen.get(), TrackWidth);
  for (size_t i = 1; i < track.size(); ++i) {
    if (Since(track[i - 1].Seconds, track[i].Seconds) > GapSeconds) continue;  // no fix, no track
    Handle<VmLine> line(Viewer_NewLine(viewer), Line_Delete);
    Line_SetPen(line.get(), pen.get());
    Line_SetPosition1(line.get(), track[i - 1].Where.get());
    Line_SetPosition2(line.get(), track[i].Where.get());
  }
}

// Degrees, minutes and seconds to a tenth, rounded as a whole so that 59.96 seconds carry.
std::string Dms(VmPosition* p, bool latitude) {
  int16_t degrees = 0, minutes = 0;
  double seconds = 0;
  const std::string hemisphere =
      Narrow(latitude ? Position_GetLatitudeDMS(p, &degrees, &minutes, &seconds, nullptr)
                      : Position_GetLongitudeDMS(p, &degrees, &minutes, &seconds, nullptr));
  const long tenths = std::lround(((degrees * 60.0 + minutes) * 60.0 + seconds) * 10.0);
  char text[48];
  std::snprintf(text, sizeof text, "%ld\xB0%02ld'%02ld.%ld\" %s", tenths / 36000, tenths / 600 % 60,
                tenths / 10 % 60, tenths % 10, hemisphere.c_str());
  return text;
}

// The start flag at the first fix, the position marker at the last and, below the marker (above
// it when there is no room below), a boxed label with the last fix's time and place.
std::string AddMarks(VmViewer* viewer, const Fix& first, const Fix& last) {
  Handle<VmIcon> start(Viewer_NewIcon(viewer, u"start"), Icon_Delete);
  Handle<VmIcon> marker(Viewer_NewIcon(viewer, u"position"), Icon_Delete);
  if (!start || !marker) return "the sample map library lacks its icons: " + LibraryError(Viewer_GetErrHandle(viewer));
  Icon_SetPosition(start.get(), first.Where.get());
  Icon_SetPosition(marker.get(), last.Where.get());

  Handle<VmLabel> label(Viewer_NewLabel(viewer), Label_Delete);
  const std::string text = "last fix " + last.Time + " UTC\n" + Dms(last.Where.get(), true) + "  " +
                           Dms(last.Where.get(), false);
  Label_SetText(label.get(), Widen(text).c_str());
  Handle<VmTextFont> font(TextFont_New(), TextFont_Delete);
  TextFont_SetFace(font.get(), u"DejaVu Sans");
  TextFont_SetSize(font.get(), &LabelPoints);
  TextFont_SetBold(font.get(), 1);
  Label_SetTextFont(label.get(), font.get());
  Handle<VmBrush> box(Brush_New(), Brush_Delete);
  Brush_SetRed(box.get(), 255);
  Brush_SetGreen(box.get(), 255);
  Brush_SetBlue(box.get(), 255);
  Brush_SetTransparent(box.get(), 0);
  Label_SetBrush(label.get(), box.get());
  Handle<VmPen> frame(Pen_New(), Pen_Delete);
  Pen_SetRed(frame.get(), 60);
  Pen_SetGreen(frame.get(), 60);
  Pen_SetBlue(frame.get(), 60);
  Label_SetPen(label.get(), frame.get());

  Handle<VmPosition> centre(Viewer_GetPosition(viewer), Position_Delete);
  Handle<VmPoint> middle(Viewer_Position2Point(viewer, centre.get()), Point_Delete);
  Handle<VmPoint> at(Viewer_Position2Point(viewer, last.Where.get()), Point_Delete);
  const bool below = Point_GetY(at.get()) - Point_GetY(middle.get()) < ViewHeight / 2 - LabelRoom;
  const int32_t offset = Icon_GetHeight(marker.get()) / 2 + LabelGap;
  Label_SetAlignY(label.get(), below ? AlignTopEdge : AlignBottomEdge);
  Label_SetOffsetY(label.get(), below ? offset : -offset);
  Label_SetPosition(label.get(), last.Where.get());
  return {};
}

std::string Draw(VmViewer* viewer, HWND window, const std::string& png) {
  VmWindow_SetForeground(window);
  Viewer_OnDraw(viewer, 0, 0, ViewWidth, ViewHeight, 1);
  VmWindow_SetForeground(nullptr);
  if (std::string why = LibraryError(Viewer_GetErrHandle(viewer)); !why.empty()) return "cannot draw the view: " + why;
  if (VmWindow_SavePng(window, png.c_str()) != 1) return "cannot write " + png;
  return {};
}

std::string ShowOnMap(const Replay& r, HWND window, const std::string& png) {
  Handle<VmViewer> viewer(Viewer_New(), Viewer_Delete);
  Viewer_Open(viewer.get(), Widen(VELMIRA_SAMPLE_MAPLIB).c_str());
  if (std::string why = LibraryError(Viewer_GetErrHandle(viewer.get())); !why.empty()) {
    return std::string(VELMIRA_SAMPLE_MAPLIB) + ": " + why;
  }
  if (std::string why = Frame(viewer.get(), r.Track); !why.empty()) return why;
  AddTrack(viewer.get(), r.Track);
  if (std::string why = AddMarks(viewer.get(), r.Track.front(), r.Track.back()); !why.empty()) return why;
  return Draw(viewer.get(), window, png);
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "velmira %s: %s\n", Name, why.c_str());
  return 1;
}

}  // namespace

int RunDemo(const Args& args) {
  std::string dir = "out";
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--out") return BadUsage(Name, "unexpected '" + args[i] + "'");
    if (i + 1 == args.size() || args[i + 1].empty()) return BadUsage(Name, "--out needs a folder");
    dir = args[++i];
  }
  const std::string logPath = std::string(VELMIRA_EXAMPLES_DIR) + "/drive.nmea";
  std::ifstream in(logPath, std::ios::binary);
  if (!in) return Fail("cannot read " + logPath);
  if (!std::filesystem::exists(VELMIRA_SAMPLE_MAPLIB)) {
    return Fail(std::string("the sample map library ") + VELMIRA_SAMPLE_MAPLIB +
                " is missing; build it with `ninja -C build sample_maplib` (scripts/demo.sh does)");
  }
  std::error_code made;
  std::filesystem::create_directories(dir, made);
  if (made) return Fail("cannot make the folder " + dir + ": " + made.message());
  const std::string log((std::istreambuf_iterator<char>(in)), {});

  std::printf("velmira demo: %s\n\n", logPath.c_str());
  std::printf("%-8s  %-14s %-15s %-4s %10s %11s %6s %5s %6s\n", "time", "latitude", "longitude", "zone",
              "easting", "northing", "km/h", "sats", "HDOP");
  const std::string gpxPath = (std::filesystem::path(dir) / "drive.gpx").string();
  std::FILE* gpxFile = std::fopen(gpxPath.c_str(), "wb");
  if (gpxFile == nullptr) return Fail("cannot write " + gpxPath);
  HWND window = VmWindow_New(nullptr, 0, 0, ViewWidth, ViewHeight);
  Replay r;
  TrackSink gpx(TrackFormat::Gpx, gpxFile, false, "drive.nmea", GapSeconds, false);
  r.Gpx = &gpx;
  ReplayLog(log, window, r);
  const bool gpxWritten = gpx.Finish() && std::fclose(gpxFile) == 0;
  if (!gpxWritten) {
    VmWindow_Delete(window);
    return Fail("cannot write " + gpxPath);
  }
  if (r.Track.empty()) {
    VmWindow_Delete(window);
    return Fail(logPath + " holds no fix with altitude");
  }
  PrintSummary(r);

  const std::string png = (std::filesystem::path(dir) / "demo.png").string();
  const std::string why = ShowOnMap(r, window, png);
  VmWindow_Delete(window);
  if (!why.empty()) return Fail(why);
  std::printf("wrote %s\n", gpxPath.c_str());
  std::printf("wrote %s\n", png.c_str());
  return 0;
}

}  // namespace cli
