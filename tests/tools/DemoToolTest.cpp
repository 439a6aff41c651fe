// velmira demo on the sample drive, as a user runs it: its table against the fixes counted
// here from the log's text, and its picture against where the library's own Position2Point
// places the track and the icons.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "support/ToolRunner.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace {

using velmira::test::ToolResult;

constexpr uint8_t TrackColour[3] = {220, 20, 60};  // the demo's track pen
constexpr int LabelReachX = 130, LabelReachY = 70;  // the label's box beside the last fix

// The fields of the sentence a log line holds, as the framing takes it: from the line's last
// "$", with a checksum of two upper-case hex digits that matches; none otherwise.
std::vector<std::string> CheckedFields(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const size_t dollar = line.rfind('$'), star = line.find('*', dollar);
  if (dollar == std::string::npos || star == std::string::npos || star + 3 != line.size()) return {};
  int sum = 0;
  for (size_t i = dollar + 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", sum);
  if (line.compare(star + 1, 2, digits) != 0) return {};
  std::vector<std::string> fields;
  std::istringstream in(line.substr(dollar + 1, star - dollar - 1));
  for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
  return fields;
}

double Degrees(const std::string& ddmm, const std::string& hemisphere) {
  const double v = std::stod(ddmm), degrees = std::floor(v / 100);
  const double value = degrees + (v - degrees * 100) / 60;
  return hemisphere == "S" || hemisphere == "W" ? -value : value;
}

struct LogFix {
  std::string Time;  // hh:mm:ss
  double Lat, Lon;
};

struct LogCounts {
  std::vector<LogFix> WithAltitude;  // GGA of quality other than 0
  long WithoutAltitude = 0;          // RMC and GLL with status A
  long Sentences = 0;
};

LogCounts ReadLog() {
  LogCounts c;
  std::ifstream in(VELMIRA_SOURCE_DIR "/examples/drive.nmea", std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> f = CheckedFields(line);
    if (f.empty()) continue;
    ++c.Sentences;
    const std::string kind = f[0].substr(2);
    if (kind == "GGA" && f.size() > 6 && f[6] != "0") {
      c.WithAltitude.push_back({f[1].substr(0, 2) + ":" + f[1].substr(2, 2) + ":" + f[1].substr(4, 2),
                                Degrees(f[2], f[3]), Degrees(f[4], f[5])});
    }
    c.WithoutAltitude += (kind == "RMC" && f.size() > 2 && f[2] == "A") || (kind == "GLL" && f.size() > 6 && f[6] == "A");
  }
  return c;
}

struct Picture {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Rgb;
  const uint8_t* At(int x, int y) const { return &Rgb[3 * (static_cast<size_t>(y) * Width + x)]; }
  bool Has(int x, int y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
};

Picture ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Picture p;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return p;
  image.format = PNG_FORMAT_RGB;
  p.Rgb.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, p.Rgb.data(), 0, nullptr) == 0) return {};
  p.Width = static_cast<int>(image.width);
  p.Height = static_cast<int>(image.height);
  return p;
}

bool Same(const uint8_t* a, const uint8_t* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

class DemoTool : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Dir = ::testing::TempDir() + "velmira_demo_" + std::to_string(getpid());
    Run = new ToolResult(velmira::test::RunTool("demo --out " + Dir));
  }
  static void TearDownTestSuite() { delete Run; }
  static inline std::string Dir;
  static inline ToolResult* Run = nullptr;
};

TEST_F(DemoTool, TableHasOneRowPerFixWithAltitudeInLogOrderAndCountsTheRest) {
  ASSERT_EQ(Run->Status, 0) << Run->Errors;
  const LogCounts log = ReadLog();
  std::vector<std::string> rows, expected;
  long without = -1, sentences = -1;
  for (const std::string& line : Run->Lines) {
    if (line.size() > 10 && line[2] == ':' && line[5] == ':' && line.compare(8, 2, "  ") == 0) {
      rows.push_back(line.substr(0, 8));
    }
    if (const size_t at = line.find("one row each; "); at != std::string::npos) without = std::stol(line.substr(at + 14));
    if (line.find(" sentences passed") != std::string::npos) sentences = std::stol(line);
  }
  for (const LogFix& f : log.WithAltitude) expected.push_back(f.Time);
  EXPECT_GT(expected.size(), 600u) << "ten minutes at 1 Hz";
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(without, log.WithoutAltitude);
  EXPECT_EQ(sentences, log.Sentences);
  EXPECT_EQ(Run->Lines.back(), "wrote " + Dir + "/demo.png");
}

// The view the demo reports is set up again on the same library; every fix must be under the
// track's colour at the pixel Position2Point gives it, and both icons where it puts them.
TEST_F(DemoTool, PictureShowsTrackAndIconsWherePosition2PointPutsThem) {
  ASSERT_EQ(Run->Status, 0) << Run->Errors;
  double lat = 0, lon = 0, zoom = 0, rotation = 0;
  int width = 0, height = 0;
  for (const std::string& line : Run->Lines) {
    std::sscanf(line.c_str(), "view: %d x %d pixels, centre %lf %lf, zoom %lf, rotation %lf", &width,
                &height, &lat, &lon, &zoom, &rotation);
  }
  const Picture demo = ReadPng(Dir + "/demo.png");
  ASSERT_EQ(demo.Width, 800);
  ASSERT_EQ(demo.Height, 600);
  ASSERT_EQ(width, demo.Width);
  ASSERT_EQ(height, demo.Height);
  EXPECT_NE(rotation, 0.0);
  EXPECT_NE(zoom, 1.0);

  VmViewer* viewer = Viewer_New();
  Viewer_Open(viewer, u"" VELMIRA_SAMPLE_DIR "/sample.vml");
  ASSERT_EQ(Error_ErrNum(Viewer_GetErrHandle(viewer)), 0);
  VmPosition* centre = Position_New();
  Position_SetLatitudeDecDeg(centre, &lat);
  Position_SetLongitudeDecDeg(centre, &lon);
  Viewer_SetRotation(viewer, &rotation);
  Viewer_SetZoom(viewer, &zoom);
  Viewer_SetPosition(viewer, centre);
  HWND window = VmWindow_New(nullptr, 0, 0, width, height);
  VmWindow_SetForeground(window);
  Viewer_OnDraw(viewer, 0, 0, width, height, 1);  // gives the viewer its window size
  auto windowPixel = [&](double fixLat, double fixLon) {
    VmPosition* p = Position_New();
    Position_SetLatitudeDecDeg(p, &fixLat);
    Position_SetLongitudeDecDeg(p, &fixLon);
    VmPoint* point = Viewer_Position2Point(viewer, p);
    std::pair<int, int> at{Point_GetX(point) - Viewer_GetLeft(viewer), Point_GetY(point) - Viewer_GetTop(viewer)};
    Point_Delete(point);
    Position_Delete(p);
    return at;
  };

  const LogCounts log = ReadLog();
  const auto first = windowPixel(log.WithAltitude.front().Lat, log.WithAltitude.front().Lon);
  const auto last = windowPixel(log.WithAltitude.back().Lat, log.WithAltitude.back().Lon);
  struct Mark {
    const char* File;
    std::pair<int, int> At;
  };
  int iconReach = 0;
  for (const Mark& m : {Mark{"/start.png", first}, Mark{"/position.png", last}}) {
    const Picture icon = ReadPng(std::string(VELMIRA_SAMPLE_DIR) + m.File);
    ASSERT_GT(icon.Width, 0) << m.File;
    iconReach = std::max(iconReach, icon.Width / 2 + 2);
    // The marker's corner is its transparent colour; the start flag has none and is square.
    const uint8_t* key = icon.At(0, 0);
    const bool transparent = std::string(m.File) == "/position.png";
    int wrong = 0;
    for (int y = 0; y < icon.Height; ++y) {
      for (int x = 0; x < icon.Width; ++x) {
        const int px = m.At.first - icon.Width / 2 + x, py = m.At.second - icon.Height / 2 + y;
        ASSERT_TRUE(demo.Has(px, py)) << m.File;
        const bool see = transparent && Same(icon.At(x, y), key);
        wrong += see ? Same(demo.At(px, py), key) : !Same(demo.At(px, py), icon.At(x, y));
      }
    }
    EXPECT_EQ(wrong, 0) << m.File << " at " << m.At.first << "," << m.At.second;
  }

  int checked = 0;
  std::string misses;
  for (const LogFix& f : log.WithAltitude) {
    const auto [x, y] = windowPixel(f.Lat, f.Lon);
    const bool underIcon = (std::abs(x - first.first) <= iconReach && std::abs(y - first.second) <= iconReach) ||
                           (std::abs(x - last.first) <= iconReach && std::abs(y - last.second) <= iconReach);
    const bool underLabel = std::abs(x - last.first) <= LabelReachX && std::abs(y - last.second) <= LabelReachY;
    if (!demo.Has(x, y) || underIcon || underLabel) continue;
    ++checked;
    if (!Same(demo.At(x, y), TrackColour)) misses += " " + f.Time;
  }
  EXPECT_GT(checked, 400);
  EXPECT_EQ(misses, "") << "fixes not on the track";

  VmWindow_SetForeground(nullptr);
  VmWindow_Delete(window);
  Position_Delete(centre);
  Viewer_Delete(viewer);
}

}  // namespace
