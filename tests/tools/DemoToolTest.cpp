// velmira demo on the sample drive, as a user runs it: its table against the fixes counted
// here from the log's text, and its picture against where the library's own Position2Point
// places the track and the icons.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "support/GpsMessages.h"
#include "support/PictureFiles.h"
#include "support/SameView.h"
#include "support/ToolRunner.h"

namespace {

using namespace picturefiles;
using velmira::test::ToolResult;

constexpr Rgb TrackColour{220, 20, 60};             // the demo's track pen
constexpr int LabelReachX = 130, LabelReachY = 70;  // the label's box beside the last fix

struct LogFix { std::string Time; double Lat, Lon; };  // time as hh:mm:ss
// The fixes of GGA sentences of quality other than 0; RMC and GLL sentences with status A.
struct LogCounts { std::vector<LogFix> WithAltitude; long WithoutAltitude = 0; long Sentences = 0; };

// Counts the log's sentences as the framing takes them: from a line's last "$", with a
// checksum of two upper-case hex digits that matches.
LogCounts ReadLog() {
  auto degrees = [](const std::string& ddmm, const std::string& side) {  // ddmm.mmmm N, S, E or W
    const double v = std::stod(ddmm), whole = std::floor(v / 100);
    return (whole + (v - whole * 100) / 60) * (side == "S" || side == "W" ? -1 : 1);
  };
  LogCounts c;
  std::ifstream in(VELMIRA_SOURCE_DIR "/examples/drive.nmea", std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t dollar = line.rfind('$'), star = line.find('*', dollar);
    if (dollar == std::string::npos || star == std::string::npos || star + 3 != line.size()) continue;
    const std::string body = line.substr(dollar + 1, star - dollar - 1);
    if (testsupport::Line(body) != line.substr(dollar) + "\r\n") continue;
    std::vector<std::string> f;
    std::istringstream fields(body);
    for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
    ++c.Sentences;
    const std::string kind = f[0].substr(2);
    if (kind == "GGA" && f.size() > 6 && f[6] != "0") {
      c.WithAltitude.push_back({f[1].substr(0, 2) + ":" + f[1].substr(2, 2) + ":" + f[1].substr(4, 2),
                                degrees(f[2], f[3]), degrees(f[4], f[5])});
    }
    c.WithoutAltitude += (kind == "RMC" && f.size() > 2 && f[2] == "A") || (kind == "GLL" && f.size() > 6 && f[6] == "A");
  }
  return c;
}

// The table has one row per fix with altitude, in log order, and counts the rest. The picture,
// its view as the demo reports it set up again on the same library, shows every fix under the
// track's colour at the pixel Position2Point gives it, and both icons where it puts them.
TEST(DemoTool, TableRowsAreTheLogsFixesAndThePictureShowsThemWherePosition2PointPutsThem) {
  const std::string dir = NewFolder("demo") + "out";  // made by the demo
  const ToolResult run = velmira::test::RunTool("demo --out " + dir);
  ASSERT_EQ(run.Status, 0) << run.Errors;
  const LogCounts log = ReadLog();
  std::vector<std::string> rows, expected;
  long without = -1, sentences = -1;
  double lat = 0, lon = 0, zoom = 0, rotation = 0;
  int width = 0, height = 0;
  for (const std::string& line : run.Lines) {
    if (line.size() > 10 && line[2] == ':' && line[5] == ':' && line.compare(8, 2, "  ") == 0) rows.push_back(line.substr(0, 8));
    if (const size_t at = line.find("one row each; "); at != std::string::npos) without = std::stol(line.substr(at + 14));
    if (line.find(" sentences passed") != std::string::npos) sentences = std::stol(line);
    std::sscanf(line.c_str(), "view: %d x %d pixels, centre %lf %lf, zoom %lf, rotation %lf", &width, &height, &lat, &lon, &zoom, &rotation);
  }
  for (const LogFix& f : log.WithAltitude) expected.push_back(f.Time);
  EXPECT_GT(expected.size(), 600u) << "ten minutes at 1 Hz";
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(without, log.WithoutAltitude);
  EXPECT_EQ(sentences, log.Sentences);
  EXPECT_EQ(run.Lines.back(), "wrote " + dir + "/demo.png");

  const Picture demo = ReadPng(dir + "/demo.png");
  ASSERT_TRUE(demo.Width == 800 && demo.Height == 600 && width == 800 && height == 600) << width << " x " << height;
  EXPECT_TRUE(rotation != 0.0 && zoom != 1.0);

  testsupport::SameView view(VELMIRA_SAMPLE_DIR "/sample.vml", "", zoom, rotation, {lat, lon}, width, height);
  auto windowPixel = [&](const LogFix& f) { return view.WindowPixel({f.Lat, f.Lon}); };
  const auto first = windowPixel(log.WithAltitude.front()), last = windowPixel(log.WithAltitude.back());
  int iconReach = 0;
  for (const auto& [file, at] : {std::pair{"/start.png", first}, {"/position.png", last}}) {
    const Picture icon = ReadPng(std::string(VELMIRA_SAMPLE_DIR) + file);
    ASSERT_GT(icon.Width, 0) << file;
    iconReach = std::max(iconReach, icon.Width / 2 + 2);
    // The marker's corner is its transparent colour; the start flag has none and is square.
    const Rgb key = icon.At(0, 0);
    int wrong = 0;
    for (int y = 0; y < icon.Height; ++y) {
      for (int x = 0; x < icon.Width; ++x) {
        const int px = at.first - icon.Width / 2 + x, py = at.second - icon.Height / 2 + y;
        ASSERT_TRUE(demo.Has(px, py)) << file;
        const bool see = std::string(file) == "/position.png" && icon.At(x, y) == key;  // the map through the marker
        wrong += see ? demo.At(px, py) == key : demo.At(px, py) != icon.At(x, y);
      }
    }
    EXPECT_EQ(wrong, 0) << file << " at " << at.first << "," << at.second;
  }

  int checked = 0;
  std::string misses;
  auto near = [](std::pair<int, int> a, std::pair<int, int> b, int rx, int ry) {
    return std::abs(a.first - b.first) <= rx && std::abs(a.second - b.second) <= ry;
  };
  for (const LogFix& f : log.WithAltitude) {
    const auto at = windowPixel(f);
    const bool covered = near(at, first, iconReach, iconReach) || near(at, last, iconReach, iconReach) || near(at, last, LabelReachX, LabelReachY);
    if (!demo.Has(at.first, at.second) || covered) continue;
    ++checked;
    if (demo.At(at.first, at.second) != TrackColour) misses += " " + f.Time;
  }
  EXPECT_GT(checked, 400);
  EXPECT_EQ(misses, "") << "fixes not on the track";
}

}  // namespace
