// Libraries of several maps: maplib info's WGS 84 corners and ground resolution against PROJ
// (cs2cs for the grid, geod for distances), and the map that render and view show for a
// position when none is named: the finest of those whose picture holds it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <sstream>

#include "support/GpsMessages.h"
#include "support/PictureFiles.h"
#include "support/ToolRunner.h"

namespace {

using namespace picturefiles;
using velmira::test::RunTool;
using velmira::test::ToolResult;

// The numbers in `text` after `key`, skipping anything else.
std::vector<double> NumbersAfter(const std::string& text, const std::string& key) {
  std::vector<double> numbers;
  if (text.find(key) == std::string::npos) return numbers;
  for (const char* at = text.c_str() + text.find(key) + key.size(); *at != 0;) {
    char* end = nullptr;
    const double v = std::strtod(at, &end);
    end == at ? ++at : (numbers.push_back(v), at = end);
  }
  return numbers;
}

// The numbers of the first line a PROJ tool prints for one input line.
std::vector<double> Proj(const std::vector<double>& input, const std::string& tool) {
  std::ostringstream command;
  command << std::setprecision(12) << "echo";
  for (double v : input) command << " " << v;
  const std::string out = velmira::test::CommandOutput(command.str() + " | " + tool);
  return NumbersAfter(out.substr(0, out.find('\n')), "");
}

TEST(MapLibInfo, CornersAndGroundResolutionAgreeWithProj) {
  const int32_t w = 400, h = 300;
  // PROJ definition of the map's U, V (empty: longitude and latitude on WGS 84 already).
  const struct { const char* Where; const char* Calibration; const char* Proj; } cases[] = {
      {"--grid 1 --zone 32", "48.2,11.5,10,20;48.1,11.7,300,220;48,11.52,40,290", "+proj=utm +zone=32 +datum=WGS84"},
      {"--grid 2 --zone 33", "-33.9,15.2,0,0;-34,15.3,399,299", "+proj=utm +zone=33 +south +datum=WGS84"},
      {"", "60.2,24.9,0,0;60.1,25.1,399,299", ""},
  };
  const std::string folder = NewFolder("info_area"), lib = folder + "lib.vml";
  WritePng(folder + "map.png", {2, 8, 0, false, w, h});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Calibration);
    ASSERT_EQ(RunTool("maplib build -o " + lib + " --map m " + folder + "map.png " + c.Where + " --calib '" + c.Calibration + "'").Status, 0);
    const ToolResult info = RunTool("maplib info " + lib);
    ASSERT_EQ(info.Lines.size(), 6u) << info.Errors;
    // The stored calibration as info prints it, U = a x + b y + c and V alike, taken through PROJ.
    const std::vector<double> u = NumbersAfter(info.Lines[2], ") = "), v = NumbersAfter(info.Lines[3], ") = ");
    ASSERT_TRUE(u.size() == 3 && v.size() == 3) << info.Lines[2];
    auto wgs84 = [&](double x, double y) {  // latitude and longitude of map pixel (x, y)
      const double e = u[0] * x + u[1] * y + u[2], n = v[0] * x + v[1] * y + v[2];
      if (*c.Proj == 0) return std::vector<double>{n * 180 / M_PI, e * 180 / M_PI};
      const std::vector<double> lonLat = Proj({e, n}, "cs2cs -f %.10f " + std::string(c.Proj) + " +to +proj=longlat +datum=WGS84");
      return std::vector<double>{lonLat.at(1), lonLat.at(0)};
    };
    auto metres = [](const std::vector<double>& a, const std::vector<double>& b) {
      return Proj({a[0], a[1], b[0], b[1]}, "geod +ellps=WGS84 -I +units=m -f %.6f").at(2);
    };
    const std::vector<double> corners = NumbersAfter(info.Lines[4], "WGS 84):");
    ASSERT_EQ(corners.size(), 8u) << info.Lines[4];
    // The library's conversions hold U and V as 32-bit floats: half their last place is 3.4e-6
    // degrees for a latitude near 1 radian and 0.25 m for a northing near 6,000 km.
    constexpr double FloatDegrees = 5e-6;
    for (int i = 0; i < 4; ++i) {
      const std::vector<double> want = wgs84(i % 3 == 0 ? 0 : w, i < 2 ? 0 : h);
      EXPECT_NEAR(corners[2 * i], want[0], FloatDegrees) << "corner " << i;
      EXPECT_NEAR(corners[2 * i + 1], want[1], FloatDegrees) << "corner " << i;
    }
    const double across = metres(wgs84(0, h / 2), wgs84(w, h / 2)) / w, down = metres(wgs84(w / 2, 0), wgs84(w / 2, h)) / h;
    const std::vector<double> resolution = NumbersAfter(info.Lines[5], "resolution:");
    ASSERT_EQ(resolution.size(), 3u) << info.Lines[5];
    EXPECT_TRUE(std::abs(resolution[1] / across - 1) < 1e-3 && std::abs(resolution[2] / down - 1) < 1e-3) << across << " " << down;
  }
}

// Two overlapping maps: "coarse" first in the library (about 120 m a pixel, RGB) and "fine"
// (about 50 m, grey), overlapping in 48.3 .. 48.4 N, 11.7 .. 11.8 E.
const PngKind Coarse{2, 8, 0, false, 600, 300}, Fine{0, 8, 0, false, 600, 300};
const struct { const char* Why; double Lat, Lon; const char* Shown; } Places[] = {
    {"coarse only", 48.1, 11.2, "coarse"},
    {"both", 48.35, 11.75, "fine"},
    {"fine only", 48.45, 11.85, "fine"},
    {"neither", 47.5, 10.5, ""},
};

std::string SeriesLibrary(const std::string& folder) {
  WritePng(folder + "coarse.png", Coarse), WritePng(folder + "fine.png", Fine);
  const std::string lib = folder + "series.vml";
  const ToolResult r = RunTool("maplib build -o " + lib + " --map coarse " + folder + "coarse.png --calib '48.4,11,0,0;48,11.8,600,300' --map fine " +
                               folder + "fine.png --calib '48.5,11.7,0,0;48.3,11.9,600,300'");
  EXPECT_EQ(r.Status, 0) << r.Errors;
  return lib;
}

TEST(MapChoice, RenderShowsTheFinestMapHoldingThePositionUnlessAMapIsNamed) {
  const std::string folder = NewFolder("series_render"), lib = SeriesLibrary(folder), out = folder + "out.png";
  for (const auto& place : Places) {
    for (const std::string named : {"", "coarse"}) {
      SCOPED_TRACE(std::string(place.Why) + " " + named);
      const ToolResult r = RunTool("render " + lib + ViewAt(place.Lat, place.Lon, 41, 31) + (named.empty() ? "" : "--map " + named) + " -o " + out);
      ASSERT_EQ(r.Status, 0) << r.Errors;
      // Where neither map holds the place, the first map is drawn with a note.
      const std::string shown = !named.empty() ? named : *place.Shown ? place.Shown : "coarse";
      int32_t x = 0, y = 0;
      ASSERT_TRUE(Place(lib, shown, place.Lat, place.Lon, x, y));
      const bool inside = x >= 0 && y >= 0 && x < 600 && y < 300;
      EXPECT_EQ(r.Errors.find("outside the map's picture") == std::string::npos, inside) << r.Errors;
      EXPECT_TRUE(!inside || ReadPng(out).At(20, 15) == Expected(shown == "fine" ? Fine : Coarse, x, y)) << shown;
    }
  }
}

TEST(MapChoice, ViewFollowingAFixSwitchesToTheFinestMapHoldingIt) {
  velmira::test::Headless();
  const std::string folder = NewFolder("series_view"), lib = SeriesLibrary(folder);
  std::string log;  // one fix a second through every place, then back to the first
  for (int i = 0; i <= int(std::size(Places)); ++i) log += testsupport::FixAt(Places[i % std::size(Places)].Lat, Places[i % std::size(Places)].Lon, i);
  const std::string path = velmira::test::TempFile("series.nmea", log);
  // The view starts on the first map; "neither" keeps the map it has; a named map stays.
  for (const auto& [args, want] : {std::pair<std::string, std::vector<std::string>>{"", {"fine", "coarse"}}, {" --map coarse", {}}}) {
    const ToolResult r = RunTool("view " + lib + args + " --replay " + path + " --speed 1000 --seconds 3 --size 200x150");
    ASSERT_EQ(r.Status, 0) << r.Errors;
    std::vector<std::string> maps;  // from "map NAME holds the fix | zoom ..."
    for (const std::string& line : r.Lines) {
      if (line.find(" holds the fix |") != std::string::npos) maps.push_back(line.substr(4, line.find(' ', 4) - 4));
    }
    EXPECT_EQ(maps, want) << args;
  }
}

}  // namespace
