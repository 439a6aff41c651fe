// velmira view without a desktop (SDL's dummy video driver), its pictures and reports checked
// against the same views made again through the library.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/GpsMessages.h"
#include "support/MapFiles.h"
#include "support/PngPicture.h"
#include "support/SameView.h"
#include "support/ToolRunner.h"

namespace velmira {
namespace {

using velmira::test::RunTool;
using velmira::test::ToolResult;
using testsupport::LatLon;
using testsupport::Picture;
using testsupport::ReadPng;
using testsupport::SameView;

const std::string SampleLibrary = VELMIRA_SAMPLE_DIR "/sample.vml";
const std::string SampleLog = VELMIRA_SOURCE_DIR "/examples/drive.nmea";

// Runs the program headless in a folder of its own (where `s` saves its screenshots).
class ViewTool : public ::testing::Test {
 protected:
  void SetUp() override {
    velmira::test::Headless();
    std::filesystem::create_directories(Folder);
    std::filesystem::current_path(Folder);
  }
  void TearDown() override {
    std::filesystem::current_path(Home);
    std::filesystem::remove_all(Folder);
  }
  const std::string Folder = ::testing::TempDir() + "velmira_view_" + std::to_string(getpid()) + "_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::filesystem::path Home = std::filesystem::current_path();
};

// The map area's height: the status strip starts with a row of its grey outline (150).
int MapRows(const Picture& p) {
  for (int y = 0; y < p.Height; ++y) {
    int x = 0;
    while (x < p.Width && p.At(x, y) == testsupport::Rgb{150, 150, 150}) ++x;
    if (x == p.Width) return y;
  }
  return p.Height;
}

// The dark text pixels of the status strip.
int StatusInk(const Picture& p) {
  int ink = 0;
  for (size_t i = size_t(MapRows(p)) * p.Width; i < p.Pixels.size(); ++i) ink += p.Pixels[i].R < 100 && p.Pixels[i].G < 100;
  return ink;
}

// The text after `key` in a line of the program's control report: "ACTION | zoom Z |
// rotation R | following | centre LAT LON | map NAME".
std::string After(const std::string& line, const std::string& key) {
  const size_t at = line.find(key);
  return at == std::string::npos ? "" : line.substr(at + key.size());
}

// The view a control report describes.
SameView ReportedView(const std::string& library, const std::string& report, int width, int height) {
  return SameView(library, After(report, "| map "), std::stod(After(report, "| zoom ")), std::stod(After(report, "| rotation ")),
                  {std::stod(After(report, "centre ")), std::stod(After(After(report, "centre "), " "))}, width, height);
}

// The fixes of a log as the library decodes them.
std::vector<LatLon> Fixes(const std::string& path) {
  std::vector<LatLon> fixes;
  testsupport::ParserWindow parser;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    parser.Parse(line + "\n");
    for (VmMsg m; VmWindow_GetMessage(parser.Window, &m, 0); testsupport::DeleteCarried(m)) {
      if (m.wParam == 5) fixes.push_back(testsupport::LatLonOf(reinterpret_cast<VmGpsFix*>(m.lParam)));
    }
  }
  return fixes;
}

TEST_F(ViewTool, ReplayedDriveShowsTrackAndMarkerWhereTheLibraryPlacesTheFixesAndAStatusLine) {
  const ToolResult r = RunTool("view " + SampleLibrary + " --replay " + SampleLog +
                               " --speed 1000000 --seconds 1 --size 800x600 --zoom 1.5 --rotation 30 --screenshot shot.png");
  ASSERT_EQ(r.Status, 0) << r.Errors;
  const Picture shot = ReadPng("shot.png");
  ASSERT_EQ(std::make_pair(shot.Width, shot.Height), std::make_pair(800, 600));
  const int rows = MapRows(shot);
  ASSERT_GT(rows, 500) << "no status strip found";

  const std::vector<LatLon> fixes = Fixes(SampleLog);
  ASSERT_GT(fixes.size(), 100u);
  SameView view(SampleLibrary, "_main", 1.5, 30, fixes.back(), shot.Width, rows);
  // The view follows the last fix: the map under the objects is the same picture.
  int same = 0;
  for (int i = 0; i < shot.Width * rows; ++i) same += view.Plain(shot, i % shot.Width, i / shot.Width);
  EXPECT_GT(same, shot.Width * rows * 9 / 10);

  // The marker covers the last fix; every earlier fix in view lies on the drawn track.
  const auto [lastX, lastY] = view.WindowPixel(fixes.back());
  EXPECT_FALSE(view.Plain(shot, lastX, lastY)) << lastX << "," << lastY;
  int inView = 0, missed = 0;
  for (LatLon fix : fixes) {
    const auto [x, y] = view.WindowPixel(fix);
    const bool seen = x >= 0 && y >= 0 && x < shot.Width && y < rows;
    inView += seen, missed += seen && view.Plain(shot, x, y);
  }
  EXPECT_TRUE(inView > 20 && missed == 0) << missed << " of " << inView << " fixes in view have no track";
}

TEST_F(ViewTool, ScriptedKeysAndMouseZoomTurnPanFollowCycleMapsSaveAndQuit) {
  // Two maps of one picture around the sample drive, the second at half the first one's
  // scale; no icons, so the position is the program's own dot.
  auto map = [](const char* name, double lat, double lon, double scale) {
    maplib::MapFields f = testfiles::SmallMap(name, 512, 512);
    f.UOrigin = lon * M_PI / 180, f.VOrigin = lat * M_PI / 180;
    f.UPerX = scale * 0.05 / 512 * M_PI / 180, f.VPerY = -scale * 0.03 / 512 * M_PI / 180;
    return testfiles::MapChunks(f, 1);
  };
  testfiles::TempFiles files;
  const std::string library = files.Write(testfiles::Join(
      {testfiles::Header(), map("first", 48.145, 11.53, 1), map("second", 48.16, 11.505, 2)}));
  // Each step and its report, without the centre.
  const std::vector<std::pair<std::string, std::string>> steps = {
      {"key +", "zoom in | zoom 1.25 | rotation 0 | following | map first"},
      {"key ]", "rotate right | zoom 1.25 | rotation 15 | following | map first"},
      {"key ]", "rotate right | zoom 1.25 | rotation 30 | following | map first"},
      {"key [", "rotate left | zoom 1.25 | rotation 15 | following | map first"},
      {"key f", "not following | zoom 1.25 | rotation 15 | not following | map first"},
      {"wheel 1 120 90", "wheel in | zoom 1.5625 | rotation 15 | not following | map first"},
      {"drag 300 200 240 150", "pan | zoom 1.5625 | rotation 15 | not following | map first"},
      {"wheel -2 500 300", "wheel out | zoom 1 | rotation 15 | not following | map first"},
      {"key 0", "rotation reset | zoom 1 | rotation 0 | not following | map first"},
      {"wait 2000\nkey f", "following | zoom 1 | rotation 0 | following | map first"},  // the replay's last fix is in
      {"key m", "map second | zoom 1 | rotation 0 | following | map second"},
      {"key m", "map first | zoom 1 | rotation 0 | following | map first"},
      {"key s", "screenshot velmira-view-1.png | zoom 1 | rotation 0 | following | map first"},
      {"key -\nkey -\nkey -\nkey -\nkey -\nkey -\nkey -\nkey -\nkey -\nkey -\nkey -",  // the least zoom
       "zoom out | zoom 0.1 | rotation 0 | following | map first"},
      {"resize 500 400", "resized to 500x400 | zoom 0.1 | rotation 0 | following | map first"},
      {"key q", "quit | zoom 0.1 | rotation 0 | following | map first"},
  };
  std::string script;
  for (const auto& [line, report] : steps) script += line + "\n";
  const std::string path = velmira::test::TempFile("steps.txt", script + "key +\n");
  const ToolResult r = RunTool("view " + library + " --replay " + SampleLog +
                               " --speed 1000000 --seconds 60 --size 640x480 --script " + path + " --screenshot last.png");
  ASSERT_EQ(r.Status, 0) << r.Errors;
  ASSERT_EQ(r.Lines.size(), 26u) << "one report a control, none after quitting";
  std::vector<std::string> reports(r.Lines.begin(), r.Lines.begin() + 13);  // skips ten of eleven zoom-outs
  reports.insert(reports.end(), r.Lines.begin() + 23, r.Lines.end());
  for (size_t i = 0; i < steps.size(); ++i) {
    const std::string& line = reports[i];
    const size_t centre = line.find(" | centre "), map = line.find(" | map ");
    EXPECT_EQ(centre < map ? line.substr(0, centre) + line.substr(map) : line, steps[i].second) << steps[i].first;
  }
  const Picture saved = ReadPng("velmira-view-1.png"), last = ReadPng("last.png");
  EXPECT_EQ(std::make_pair(saved.Width, saved.Height), std::make_pair(640, 480));
  EXPECT_EQ(std::make_pair(last.Width, last.Height), std::make_pair(500, 400));

  // The wheel keeps the place under the pointer there; a drag carries the place where it
  // starts to where it ends. Both from the views the reports describe.
  const int rows = MapRows(saved);
  auto carried = [&](size_t from, int x1, int y1, int x2, int y2) {
    const LatLon place = ReportedView(library, reports[from], 640, rows).PlaceAt(x1, y1);
    const auto [x, y] = ReportedView(library, reports[from + 1], 640, rows).WindowPixel(place);
    EXPECT_NEAR(x, x2, 1) << steps[from + 1].first;
    EXPECT_NEAR(y, y2, 1) << steps[from + 1].first;
  };
  carried(4, 120, 90, 120, 90);
  carried(5, 300, 200, 240, 150);
  carried(6, 500, 300, 500, 300);
  // Following again puts the last fix back at the centre.
  const LatLon fix = Fixes(SampleLog).back();
  EXPECT_NEAR(std::stod(After(reports[9], "centre ")), fix.first, 1e-6);
  EXPECT_NEAR(std::stod(After(After(reports[9], "centre "), " ")), fix.second, 1e-6);
  EXPECT_NE(After(reports[8], "centre "), After(reports[9], "centre "));
}

// The status strip takes as many lines as its text needs at the window's width: the last status
// of a replay shows as much text at 320 to 1024 pixels as on a window wide enough for two lines
// (at 640 a third line once fell below the strip). The log comes as a --source path.
TEST_F(ViewTool, StatusStripShowsAllItsTextAtEveryWidth) {
  auto statusInk = [](int width) {
    const ToolResult r = RunTool("view " + SampleLibrary + " --source " + SampleLog + " --speed 1000000 --seconds 1 --size " +
                                 std::to_string(width) + "x400 --screenshot shot.png");
    EXPECT_EQ(r.Status, 0) << r.Errors;
    return StatusInk(ReadPng("shot.png"));
  };
  const int whole = statusInk(1600);
  ASSERT_GT(whole, 300) << "the status strip holds no text";
  for (int width : {320, 400, 480, 640, 800, 1024}) {
    EXPECT_NEAR(statusInk(width), whole, whole / 20) << width << " pixels wide";
  }
}

TEST_F(ViewTool, FailuresAUserCanActOnAreNamedBeforeAnyWindowAndExitOne) {
  // A receiver that answers but has no fix: quality 0, status V.
  const std::string noFix = velmira::test::TempFile(
      "nofix.nmea", testsupport::Line("GPGGA,123519,4807.038,N,01131.000,E,0,00,99.9,,M,,M,,") +
                        testsupport::Line("GPRMC,123519,V,,,,,,,230394,,"));
  struct Case { std::string Args, Driver; int Status; std::string Says; };
  const std::vector<Case> cases = {
      {"/no/such.vml --replay " + SampleLog, "dummy", 1, "/no/such.vml: "},
      {SampleLibrary + " --map nosuch --replay " + SampleLog, "dummy", 1, "no map named 'nosuch'"},
      {SampleLibrary + " --replay /no/such.nmea", "dummy", 1, "cannot read /no/such.nmea"},
      {SampleLibrary + " --replay " + noFix, "dummy", 1, "has no fix"},
      {SampleLibrary + " --device /no/such/tty", "dummy", 1, "/no/such/tty, which cannot be opened"},
      {SampleLibrary + " --replay " + SampleLog + " --seconds 0", "x11", 1, "SDL_VIDEODRIVER=dummy"},
      {SampleLibrary + " --replay " + SampleLog + " --seconds 0", "", 1, "SDL_VIDEODRIVER=dummy"},
      {SampleLibrary, "dummy", 2, "give one input"},
      {SampleLibrary + " --source ftp://host/x", "dummy", 2, "unknown kind of source"},
      {SampleLibrary + " --source tcp://host", "dummy", 1, "Unknown source URL!"},
      {SampleLibrary + " --source TCP://host", "dummy", 1, "Unknown source URL!"},  // schemes in any case
      {SampleLibrary + " --replay " + SampleLog + " --baud 4800", "dummy", 2, "--baud is for ports"},
      {SampleLibrary + " --device /no/such/tty --baud 4801", "dummy", 1, "Unknown baudrate!"},
  };
  for (const Case& c : cases) {
    c.Driver.empty() ? unsetenv("SDL_VIDEODRIVER") : setenv("SDL_VIDEODRIVER", c.Driver.c_str(), 1);  // none: SDL's choice
    const ToolResult r = RunTool("view " + c.Args);
    EXPECT_EQ(r.Status, c.Status) << c.Args << "\n" << r.Errors;
    EXPECT_NE(r.Errors.find(c.Says), std::string::npos) << c.Args << "\n" << r.Errors;
    EXPECT_TRUE(r.Lines.empty()) << c.Args;
  }
}

}  // namespace
}  // namespace velmira
