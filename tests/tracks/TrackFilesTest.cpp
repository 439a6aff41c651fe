// Track files out of velmira nmea, view and demo, and GPX files in. Expected points come from
// the JSON Lines output of the same log (the library's fixes) and from other programs reading
// the files: GDAL's GPX and GeoJSON drivers (ogr2ogr) and gpsbabel.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include "GpxReader.h"
#include "support/GpsMessages.h"
#include "support/PngPicture.h"
#include "support/ToolRunner.h"

namespace {

using velmira::test::CommandOutput;
using velmira::test::RunTool;
using velmira::test::TempFile;

const std::string SampleLog = VELMIRA_SOURCE_DIR "/examples/drive.nmea";
const std::string SampleLibrary = VELMIRA_SAMPLE_DIR "/sample.vml";
constexpr double Degrees = 1e-7;

struct Pt {
  double Lat = 0, Lon = 0;
  int Segment = -1;  // counted from 0; -1 when the reader does not tell
  std::string Time;
};

double Value(const std::string& line, const std::string& key) {
  const size_t at = line.find("\"" + key + "\":");
  return at == std::string::npos ? NAN : std::strtod(line.c_str() + at + key.size() + 3, nullptr);
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, ',');) fields.push_back(!f.empty() && f[0] == '"' ? f.substr(1, f.size() - 2) : f);
  return fields;
}

// The reference: the log's fixes as JSON Lines, one point per epoch (the fixes of one time
// stamp), its date from the epoch's RMC; a new segment after an RMC of status V or more than
// 5 s without a fix.
std::vector<Pt> FromJsonLines(const std::string& log) {
  std::vector<Pt> points;
  double last = -1e9;
  int day[3] = {0, 0, 0};
  bool lost = false;
  for (const std::string& line : RunTool("nmea --sentences " + log).Lines) {
    if (line.find("\"class\":\"SENTENCE\",\"command\":\"RMC\"") != std::string::npos) {
      lost = lost || Fields(line.substr(line.find("\"text\":")))[2] == "V";
    }
    if (line.find("\"class\":\"FIX\"") == std::string::npos) continue;
    const double second = Value(line, "hour") * 3600 + Value(line, "minute") * 60 + Value(line, "second") + Value(line, "ms") / 1000;
    if (Value(line, "year") != 0) day[0] = Value(line, "year"), day[1] = Value(line, "month"), day[2] = Value(line, "day");
    if (second != last) {
      points.push_back({Value(line, "lat"), Value(line, "lon"), points.empty() ? 0 : points.back().Segment + (lost || second - last > 5), ""});
      lost = false;
    }
    char time[40];
    std::snprintf(time, sizeof time, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", day[0], day[1], day[2], int(Value(line, "hour")),
                  int(Value(line, "minute")), int(Value(line, "second")), int(Value(line, "ms")));
    points.back().Time = time;
    last = second;
  }
  return points;
}

std::vector<Pt> FromOurReader(const std::string& path) {
  cli::TrackFile file;
  const std::string problem = cli::GpxReader().Read(path, file);
  EXPECT_EQ(problem, "");
  std::vector<Pt> points;
  for (const cli::TrackLine& line : file.Lines) {
    for (const cli::TrackSegment& s : line.Segments) {
      const int segment = points.empty() ? 0 : points.back().Segment + 1;
      for (const cli::TrackPoint& p : s) points.push_back({p.Lat, p.Lon, segment, p.Time});
    }
  }
  for (const cli::TrackPoint& p : file.Waypoints) points.push_back({p.Lat, p.Lon, -1, p.Time});
  return points;
}

// GDAL's GPX driver: the track_points layer as CSV (X, Y, track_fid, track_seg_id, ...).
std::vector<Pt> FromOgrGpx(const std::string& path) {
  std::vector<Pt> points;
  std::istringstream in(CommandOutput("ogr2ogr -f CSV /vsistdout/ " + path + " track_points -lco GEOMETRY=AS_XY 2>/dev/null"));
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() > 3) points.push_back({std::stod(f[1]), std::stod(f[0]), std::stoi(f[3]), ""});
  }
  return points;
}

// GDAL's GeoJSON driver: the MultiLineString as well-known text, one line per segment.
std::vector<Pt> FromOgrGeoJson(const std::string& path) {
  std::vector<Pt> points;
  const std::string csv = CommandOutput("ogr2ogr -f CSV /vsistdout/ " + path + " -lco GEOMETRY=AS_WKT 2>/dev/null");
  const size_t start = csv.find("((");
  if (start == std::string::npos) return points;
  int segment = 0;
  for (const char* p = csv.c_str() + start + 2; *p != 0 && *p != '"';) {
    char* end = nullptr;
    const double lon = std::strtod(p, &end), lat = std::strtod(end, &end);
    points.push_back({lat, lon, segment, ""});
    while (*end != 0 && *end != ',' && *end != ')') ++end;  // a height, if any
    if (*end == ')') ++segment, end += end[1] == ',' ? 3 : 2;
    p = *end == ',' ? end + 1 : end;
  }
  return points;
}

// gpsbabel listing a GPX file's tracks (-t), routes (-r) or waypoints (-w) in degrees.
std::vector<Pt> FromGpsbabel(const std::string& path, const std::string& kind = "-t") {
  const std::string style = TempFile("degrees.style", "FIELD_DELIMITER COMMA\nRECORD_DELIMITER NEWLINE\n"
                                                      "IFIELD LAT_DECIMAL,\"\",\"%.9f\"\nIFIELD LON_DECIMAL,\"\",\"%.9f\"\n");
  std::vector<Pt> points;
  std::istringstream in(CommandOutput("gpsbabel " + kind + " -i gpx -f " + path + " -o xcsv,style=" + style + " -F - 2>/dev/null"));
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() == 2) points.push_back({std::stod(f[0]), std::stod(f[1]), -1, ""});
  }
  return points;
}

// The same points, and the same segments and times where both sides tell them.
void ExpectSamePoints(const std::vector<Pt>& got, const std::vector<Pt>& want, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size() && !::testing::Test::HasFailure(); ++i) {
    const Pt &g = got[i], &w = want[i];
    EXPECT_TRUE(std::abs(g.Lat - w.Lat) <= Degrees && std::abs(g.Lon - w.Lon) <= Degrees && (g.Segment < 0 || w.Segment < 0 || g.Segment == w.Segment) &&
                (g.Time.empty() || w.Time.empty() || g.Time == w.Time))
        << what << " point " << i << ": " << g.Lat << " " << g.Lon << " " << g.Segment << " " << g.Time << ", not " << w.Lat << " " << w.Lon
        << " " << w.Segment << " " << w.Time;
  }
}

// The log's GPX and GeoJSON, as our reader, GDAL and gpsbabel read them.
void WrittenTrackReadsBack(const std::string& log, const std::vector<Pt>& want) {
  auto written = [&log](const std::string& format) {
    const velmira::test::ToolResult r = RunTool("nmea --format " + format + " " + log);
    EXPECT_EQ(r.Status, 0) << r.Errors;
    return TempFile("track." + format, r.Text());
  };
  const std::string gpx = written("gpx"), geojson = written("geojson");
  const std::pair<const char*, std::vector<Pt>> readers[] = {{"our reader, GPX", FromOurReader(gpx)}, {"ogr2ogr, GPX", FromOgrGpx(gpx)},
                                                             {"ogr2ogr, GeoJSON", FromOgrGeoJson(geojson)}, {"gpsbabel, GPX", FromGpsbabel(gpx)}};
  for (const auto& [reader, points] : readers) ExpectSamePoints(points, want, log + ", " + reader);
}

TEST(TrackFiles, SampleLogsAsGpxAndGeoJsonReadBackAsTheJsonLinesFixes) {
  // The drive loses its fix for 19 s, the south-western log twice for a second.
  const std::tuple<std::string, size_t, int> logs[] = {{SampleLog, 639, 2}, {VELMIRA_SOURCE_DIR "/examples/south_west.nmea", 45, 3}};
  for (const auto& [log, count, segments] : logs) {
    const std::vector<Pt> want = FromJsonLines(log);
    ASSERT_EQ(want.size(), count) << log;
    ASSERT_EQ(want.back().Segment + 1, segments) << log;
    WrittenTrackReadsBack(log, want);
  }
  // velmira demo writes the drive's track beside its picture.
  const std::string out = ::testing::TempDir() + "velmira_demo_gpx_" + std::to_string(getpid());
  ASSERT_EQ(RunTool("demo --out " + out).Status, 0);
  ExpectSamePoints(FromOurReader(out + "/drive.gpx"), FromJsonLines(SampleLog), "demo");
  std::filesystem::remove_all(out);
}

// A log of 1 Hz epochs: "A" a fix, "V" the receiver says it has none, "-" a silent second.
std::string Log(const std::string& epochs, int startSecond) {
  std::string log;
  for (size_t i = 0; i < epochs.size(); ++i) {
    if (epochs[i] == '-') continue;
    const int s = (startSecond + static_cast<int>(i)) % 86400;
    char time[16], body[128];
    std::snprintf(time, sizeof time, "%02d%02d%02d.00", s / 3600, s / 60 % 60, s % 60);
    const bool fix = epochs[i] == 'A';
    std::snprintf(body, sizeof body, "GPRMC,%s,%c,4807.%03zu,N,01131.000,E,1.0,90.0,%s,,", time, fix ? 'A' : 'V', i,
                  s < startSecond ? "150524" : "140524");
    log += testsupport::Line(body);
    std::snprintf(body, sizeof body, "GPGGA,%s,4807.%03zu,N,01131.000,E,%d,05,1.0,500.0,M,47.0,M,,", time, i, fix ? 1 : 0);
    log += testsupport::Line(body);
  }
  return log;
}

TEST(TrackFiles, SegmentsEndWhereTheFixIsLostOrTheGapIsLongerThanAsked) {
  const struct {
    const char* Name;
    std::string Epochs;
    std::string Options;
    std::vector<size_t> Segments;
    int Start = 43200;
  } cases[] = {
      {"fix lost for one epoch", "AAVAA", "", {2, 2}},
      {"fix lost at the start and the end", "VAAAV", "", {3}},
      {"a lone fix between losses", "AVA", "", {1, 1}},
      {"six silent seconds", "AA------A", "", {2, 1}},
      {"three silent seconds", "AA---A", "", {3}},
      {"three silent seconds, --gap 2", "AA---A", "--gap 2", {2, 1}},
      {"across midnight", "AAAA", "", {4}, 86398},
  };
  for (const auto& c : cases) {
    const std::string gpx = TempFile("segments.gpx", RunTool("nmea --format gpx " + c.Options + " -", Log(c.Epochs, c.Start)).Text());
    cli::TrackFile file;
    ASSERT_EQ(cli::GpxReader().Read(gpx, file), "") << c.Name;
    ASSERT_EQ(file.Lines.size(), 1u) << c.Name;
    std::vector<size_t> sizes;
    for (const cli::TrackSegment& s : file.Lines[0].Segments) sizes.push_back(s.size());
    EXPECT_EQ(sizes, c.Segments) << c.Name;
    EXPECT_EQ(FromOgrGpx(gpx).back().Segment + 1, int(c.Segments.size())) << c.Name;
    // In GeoJSON a lone position is a line to itself: RFC 7946 lines have two positions at least.
    const std::string geojson = RunTool("nmea --format geojson " + c.Options + " -", Log(c.Epochs, c.Start)).Text();
    const std::vector<Pt> lines = FromOgrGeoJson(TempFile("segments.geojson", geojson));
    EXPECT_EQ(lines.empty() ? 0 : lines.back().Segment + 1, int(c.Segments.size())) << c.Name;
  }
  // Past midnight the date moves on with the day's second.
  const std::string csv = RunTool("nmea --format csv -", Log("AAAA", 86398)).Lines.back();
  EXPECT_EQ(Fields(csv)[1], "2024-05-15T00:00:01.000Z");
}

// GPX 1.0 and 1.1 from another program: tracks, routes and waypoints, read by our reader as
// that program reads them, and drawn by render; two files in two colours.
TEST(TrackFiles, GpxOfAnotherProgramIsReadAsItReadsItAndDrawnInDistinctColours) {
  const struct {
    const char* Name;
    const char* Options;
    const char* Kind;
  } cases[] = {{"track, GPX 1.0", "-o gpx,gpxver=1.0", "-t"},
               {"route, GPX 1.1", "-x transform,rte=trk,del -o gpx,gpxver=1.1", "-r"},
               {"waypoints, GPX 1.1", "-x transform,wpt=trk,del -o gpx,gpxver=1.1", "-w"}};
  std::vector<std::string> files;
  for (const auto& c : cases) {
    files.push_back(TempFile("other.gpx", ""));
    CommandOutput(std::string("gpsbabel -i nmea -f ") + SampleLog + " " + c.Options + " -F " + files.back() + " 2>/dev/null");
    const std::vector<Pt> want = FromGpsbabel(files.back(), c.Kind);
    ASSERT_GT(want.size(), 600u) << c.Name;
    ExpectSamePoints(FromOurReader(files.back()), want, c.Name);
  }
  const std::string route = TempFile("route.gpx", "<gpx version=\"1.0\" xmlns=\"http://www.topografix.com/GPX/1/0\"><rte>"
                                                  "<rtept lat=\"48.124\" lon=\"11.545\"/><rtept lat=\"48.13\" lon=\"11.56\"/></rte></gpx>");
  const std::string png = TempFile("two.png", "");
  const velmira::test::ToolResult r = RunTool("render " + SampleLibrary + " --track " + files[0] + " --track " + route +
                                              " --lat 48.128 --lon 11.556 --zoom 0.5 -o " + png);
  ASSERT_EQ(r.Status, 0) << r.Errors;
  auto count = [&png](testsupport::Rgb colour) { return std::ranges::count(testsupport::ReadPng(png).Pixels, colour); };
  EXPECT_TRUE(count({220, 0, 0}) > 100 && count({30, 90, 220}) > 100) << "pixels of the two colours";
  // The view draws a file in the second colour (its own track is red).
  velmira::test::Headless();
  const velmira::test::ToolResult v = RunTool("view " + SampleLibrary + " --replay " + SampleLog + " --speed 1000000 --seconds 1 --zoom 0.5 --track " +
                                              route + " --screenshot " + png);
  ASSERT_EQ(v.Status, 0) << v.Errors;
  EXPECT_GT(count({30, 90, 220}), 100);
}

// A file of `size` bytes: `head`, then `fill` repeated, then `tail`.
std::string Hostile(const std::string& head, const std::string& fill, size_t size, const std::string& tail) {
  const std::string path = TempFile("hostile.gpx", head);
  std::ofstream out(path, std::ios::binary | std::ios::app);
  std::string block;
  while (block.size() < (1 << 20)) block += fill;
  for (size_t n = 0; n < size; n += block.size()) out << block;
  out << tail;
  return path;
}

TEST(TrackFiles, HostileGpxIsRefusedNamingTheFile) {
  std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [\n<!ENTITY l0 \"lol\">\n";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">\n";
  }
  laughs += "]>\n<gpx>&l9;</gpx>\n";
  const std::string gpx = "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\">";
  const std::pair<std::string, std::string> cases[] = {
      {TempFile("laughs.gpx", laughs), "line 3: declares entities"},
      {TempFile("external.gpx", "<!DOCTYPE gpx [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><gpx>&x;</gpx>"), "declares entities"},
      {Hostile(gpx + "<wpt lat=\"1\" lon=\"2\"><desc>", "a", 100 << 20, "</desc></wpt></gpx>"), "text is longer than 1048576 bytes"},
      {Hostile(gpx + "<wpt lat=\"1\" lon=\"2\" note=\"", "a", 8 << 20, "\"/></gpx>"), "a single tag is longer than 1048576 bytes"},
      {Hostile(gpx, "<a>", 1 << 20, ""), "nest deeper than 256"},
      {TempFile("utf8.gpx", gpx + "<wpt lat=\"1\" lon=\"2\"><name>\xC3\x28</name></wpt></gpx>"), "line 1: not well-formed"},
      {TempFile("kml.gpx", "<kml><Placemark/></kml>"), "its root is not <gpx>"},
      {TempFile("lat.gpx", gpx + "<wpt lat=\"91\" lon=\"2\"/></gpx>"), "without a valid lat"},
      {TempFile("cut.gpx", gpx + "<trk><trkseg><trkpt lat=\"1\" lon=\"2\">"), "line 1: no element found"},
  };
  for (const auto& [path, said] : cases) {
    const velmira::test::ToolResult r = RunTool("render " + SampleLibrary + " --track " + path + " -o " + path + ".png");
    EXPECT_EQ(r.Status, 1) << said;
    EXPECT_NE(r.Errors.find("velmira render: " + path + ": "), std::string::npos) << r.Errors;
    EXPECT_NE(r.Errors.find(said), std::string::npos) << r.Errors;
    std::filesystem::remove(path);
  }
}

// The record is a complete GPX file whenever the program dies: killed mid-run, it holds the
// fixes up to the last second, as every reader agrees.
TEST(TrackFiles, RecordIsValidGpxAfterTheProgramIsKilled) {
  const std::string record = TempFile("record.gpx", "");
  velmira::test::Headless();
  const pid_t pid = velmira::test::Spawn(
      {velmira::test::ToolPath(), "view", SampleLibrary, "--replay", SampleLog, "--speed", "50", "--seconds", "60", "--record", record});
  ASSERT_GT(pid, 0);
  // Killed once a hundred points are in (the bound only keeps a broken program from hanging the test).
  auto points = [&record] { return std::stoi("0" + CommandOutput("grep -c '<trkpt' " + record)); };
  for (int i = 0; i < 600 && points() < 100; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the program ended before it was killed";
  const std::vector<Pt> got = FromOurReader(record);
  std::vector<Pt> want = FromJsonLines(SampleLog);
  ASSERT_GE(got.size(), 100u);
  ASSERT_LT(got.size(), want.size());
  want.resize(got.size());
  ExpectSamePoints(got, want, "our reader");
  ExpectSamePoints(FromOgrGpx(record), want, "ogr2ogr");
  ExpectSamePoints(FromGpsbabel(record), want, "gpsbabel");
}

}  // namespace
