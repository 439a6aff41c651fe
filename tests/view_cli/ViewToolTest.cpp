// velmira view without a desktop (SDL's dummy video driver), as a user runs it: a replay of the
// sample drive checked against where the library's own Position2Point puts the fixes, a
// script of keys and mouse steps checked against the views it reports, and the failures a user
// is told about.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/GpsMessages.h"
#include "support/GpsMessages.h"
#include "support/ToolRunner.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace {

using velmira::test::RunTool;
using velmira::test::ToolResult;

const std::string SampleLibrary = VELMIRA_SAMPLE_DIR "/sample.vml";
const std::string SampleLog = VELMIRA_SOURCE_DIR "/examples/drive.nmea";
constexpr uint8_t StripEdge = 150;  // grey outline of the status strip

// Runs the program headless in a folder of its own (where `s` saves its screenshots).
class ViewTool : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    // No desktop, whatever the machine has.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    Folder = ::testing::TempDir() + "velmira_view_" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(Folder);
    Home = std::filesystem::current_path();
    std::filesystem::current_path(Folder);
  }
  void TearDown() override {
    std::filesystem::current_path(Home);
    std::filesystem::remove_all(Folder);
  }
  std::string Folder;
  std::filesystem::path Home;
};

struct Picture {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Rgb;
  const uint8_t* At(int x, int y) const { return &Rgb[3 * (static_cast<size_t>(y) * Width + x)]; }
  bool Same(const Picture& o, int x, int y) const {
    return std::equal(At(x, y), At(x, y) + 3, o.At(x, y));
  }
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

// The map area's height: the status strip starts with a row of its grey outline.
int MapRows(const Picture& p) {
  for (int y = 0; y < p.Height; ++y) {
    int x = 0;
    while (x < p.Width && p.At(x, y)[0] == StripEdge && p.At(x, y)[1] == StripEdge &&
           p.At(x, y)[2] == StripEdge)
      ++x;
    if (x == p.Width) return y;
  }
  return p.Height;
}

VmPosition* NewPosition(double lat, double lon) {
  VmPosition* p = Position_New();
  Position_SetLatitudeDecDeg(p, &lat);
  Position_SetLongitudeDecDeg(p, &lon);
  return p;
}

// The view the program shows, made again in this process: same library, map, zoom, rotation,
// centre and map area, drawn with no objects on it.
class SameView {
 public:
  SameView(const std::string& library, const std::string& map, double zoom, double rotation,
           VmPosition* centre, int width, int height)
      : Viewer(Viewer_New()), Window(VmWindow_New(nullptr, 0, 0, width, height)) {
    Viewer_Open(Viewer, std::u16string(library.begin(), library.end()).c_str());
    Map_Delete(Viewer_ActiveMapData(Viewer, std::u16string(map.begin(), map.end()).c_str()));
    Viewer_SetZoom(Viewer, &zoom);
    Viewer_SetRotation(Viewer, &rotation);
    Viewer_SetPosition(Viewer, centre);
    VmWindow_SetForeground(Window);
    Viewer_OnDraw(Viewer, 0, 0, width, height, 1);
    const uint8_t* bgrx = VmWindow_GetPixels(Window, nullptr, nullptr, nullptr);
    Plain.Width = width;
    Plain.Height = height;
    for (int i = 0; i < width * height; ++i)
      Plain.Rgb.insert(Plain.Rgb.end(), {bgrx[4 * i + 2], bgrx[4 * i + 1], bgrx[4 * i]});
  }
  ~SameView() {
    Viewer_Delete(Viewer);
    VmWindow_Delete(Window);
  }
  // The window pixel where the library puts `place`.
  std::pair<int, int> WindowPixel(VmPosition* place) {
    VmPoint* p = Viewer_Position2Point(Viewer, place);
    std::pair<int, int> at{Point_GetX(p) - Viewer_GetLeft(Viewer),
                           Point_GetY(p) - Viewer_GetTop(Viewer)};
    Point_Delete(p);
    return at;
  }
  VmPosition* PlaceAt(int x, int y) {
    VmPoint* p = Point_New();
    Point_SetX(p, Viewer_GetLeft(Viewer) + x);
    Point_SetY(p, Viewer_GetTop(Viewer) + y);
    VmPosition* place = Viewer_Point2Position(Viewer, p);
    Point_Delete(p);
    return place;
  }
  VmViewer* Viewer;
  HWND Window;
  Picture Plain;
};

// The fixes of a log as the library decodes them.
std::vector<VmPosition*> Fixes(const std::string& path) {
  std::vector<VmPosition*> fixes;
  HWND queue = VmWindow_New(nullptr, 0, 0, 0, 0);
  VmNmeaParser* parser = NmeaParser_New();
  NmeaParser_SetCallbackHWND(parser, queue);
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    NmeaParser_Parse(parser, testsupport::Wide(line + "\n").c_str());
    for (const VmMsg& m : testsupport::Drain(queue)) {
      if (m.wParam == 5) fixes.push_back(GpsFix_GetPosition(reinterpret_cast<VmGpsFix*>(m.lParam)));
      testsupport::DeleteCarried(m);
    }
  }
  NmeaParser_Delete(parser);
  VmWindow_Delete(queue);
  return fixes;
}

TEST_F(ViewTool, ReplayedDriveShowsTrackAndMarkerWhereTheLibraryPlacesTheFixesAndAStatusLine) {
  const ToolResult r =
      RunTool("view " + SampleLibrary + " --replay " + SampleLog +
              " --speed 1000000 --seconds 1 --size 800x600 --zoom 1.5 --rotation 30"
              " --screenshot shot.png");
  ASSERT_EQ(r.Status, 0) << r.Errors;
  const Picture shot = ReadPng("shot.png");
  ASSERT_EQ(shot.Width, 800);
  ASSERT_EQ(shot.Height, 600);
  const int rows = MapRows(shot);
  ASSERT_GT(rows, 500) << "no status strip found";
  int ink = 0;  // dark text pixels in the strip
  for (int y = rows; y < shot.Height; ++y) {
    for (int x = 0; x < shot.Width; ++x) ink += shot.At(x, y)[0] < 100 && shot.At(x, y)[1] < 100;
  }
  EXPECT_GT(ink, 300) << "the status strip holds no text";

  const std::vector<VmPosition*> fixes = Fixes(SampleLog);
  ASSERT_GT(fixes.size(), 100u);
  SameView view(SampleLibrary, "_main", 1.5, 30, fixes.back(), shot.Width, rows);
  // The view follows the last fix: the map under the objects is the same picture.
  int same = 0;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < shot.Width; ++x) same += shot.Same(view.Plain, x, y);
  }
  EXPECT_GT(same, shot.Width * rows * 9 / 10);

  // The marker covers the last fix; every earlier fix in view lies on the drawn track.
  const auto [lastX, lastY] = view.WindowPixel(fixes.back());
  EXPECT_FALSE(shot.Same(view.Plain, lastX, lastY)) << lastX << "," << lastY;
  int onTrack = 0, missed = 0;
  for (VmPosition* fix : fixes) {
    const auto [x, y] = view.WindowPixel(fix);
    if (x < 0 || y < 0 || x >= shot.Width || y >= rows) continue;
    if (shot.Same(view.Plain, x, y)) {
      ADD_FAILURE() << "no track at " << x << "," << y;
      if (++missed > 5) break;
    }
    ++onTrack;
  }
  EXPECT_GT(onTrack, 20) << "too few fixes in view to check the track";
  for (VmPosition* fix : fixes) Position_Delete(fix);
}

// One line of the program's control report: "ACTION | zoom Z | rotation R | following |
// centre LAT LON | map NAME".
struct Report {
  std::string Action, Follow, Map;
  double Zoom = 0, Rotation = 0, Lat = 0, Lon = 0;
};

Report ReadReport(const std::string& line) {
  std::vector<std::string> parts;
  for (size_t at = 0, bar; at != std::string::npos; at = bar == std::string::npos ? bar : bar + 3) {
    bar = line.find(" | ", at);
    parts.push_back(line.substr(at, bar == std::string::npos ? bar : bar - at));
  }
  Report r;
  if (parts.size() != 6) return r;
  r.Action = parts[0];
  r.Zoom = std::stod(parts[1].substr(5));
  r.Rotation = std::stod(parts[2].substr(9));
  r.Follow = parts[3];
  std::istringstream(parts[4].substr(7)) >> r.Lat >> r.Lon;
  r.Map = parts[5].substr(4);
  return r;
}

// A library of two maps of one checkered picture around the sample drive, the second at half
// the first one's scale; no icons, so the position is the program's own dot.
std::string TwoMapLibrary() {
  constexpr int Side = 512;
  std::vector<uint8_t> rgb(3 * Side * Side);
  for (int i = 0; i < Side * Side; ++i) {
    const bool dark = ((i % Side) / 32 + (i / Side) / 32) % 2 != 0;
    rgb[3 * i] = dark ? 120 : 230;
    rgb[3 * i + 1] = dark ? 160 : 230;
    rgb[3 * i + 2] = dark ? 120 : 200;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = image.height = Side;
  image.format = PNG_FORMAT_RGB;
  png_image_write_to_file(&image, "squares.png", 0, rgb.data(), 0, nullptr);
  const ToolResult built = RunTool(
      "maplib build -o two.vml --map first squares.png --calib "
      "'48.145,11.53,0,0;48.115,11.58,512,512'"
      " --map second squares.png --calib '48.16,11.505,0,0;48.10,11.605,512,512'");
  EXPECT_EQ(built.Status, 0) << built.Errors;
  return "two.vml";
}

TEST_F(ViewTool, ScriptedKeysAndMouseZoomTurnPanFollowCycleMapsSaveAndQuit) {
  const std::string library = TwoMapLibrary();
  struct Step {
    std::string Line, Action, Follow, Map;
    double Zoom, Rotation;
  };
  const std::vector<Step> steps = {
      {"key +", "zoom in", "following", "first", 1.25, 0},
      {"key ]", "rotate right", "following", "first", 1.25, 15},
      {"key ]", "rotate right", "following", "first", 1.25, 30},
      {"key [", "rotate left", "following", "first", 1.25, 15},
      {"key f", "not following", "not following", "first", 1.25, 15},
      {"wheel 1 120 90", "wheel in", "not following", "first", 1.5625, 15},
      {"drag 300 200 240 150", "pan", "not following", "first", 1.5625, 15},
      {"wheel -2 500 300", "wheel out", "not following", "first", 1, 15},
      {"key 0", "rotation reset", "not following", "first", 1, 0},
      {"key f", "following", "following", "first", 1, 0},
      {"key m", "map second", "following", "second", 1, 0},
      {"key m", "map first", "following", "first", 1, 0},
      {"key s", "screenshot velmira-view-1.png", "following", "first", 1, 0},
      {"key -\nkey -\nkey -\nkey -\nkey -\nkey -\nkey -\nkey -\nkey -\nkey -\nkey -", "zoom out",
       "following", "first", 0.1, 0},  // the viewer's least zoom
      {"resize 500 400", "resized to 500x400", "following", "first", 0.1, 0},
      {"key q", "quit", "following", "first", 0.1, 0},
  };
  std::string script;
  for (const Step& s : steps) script += s.Line + "\n";
  const std::string path = velmira::test::TempFile("steps.txt", script + "key +\n");
  const ToolResult r = RunTool("view " + library + " --replay " + SampleLog +
                               " --speed 1000000 --seconds 60 --size 640x480 --script " + path +
                               " --screenshot last.png");
  ASSERT_EQ(r.Status, 0) << r.Errors;
  std::vector<Report> reports;
  for (const std::string& line : r.Lines) reports.push_back(ReadReport(line));
  ASSERT_EQ(reports.size(), 26u) << "one report a control, none after quitting";
  reports.erase(reports.begin() + 13, reports.begin() + 23);  // the first ten of eleven zoom-outs
  for (size_t i = 0; i < steps.size(); ++i) {
    const Report& got = reports[i];
    EXPECT_EQ(got.Action, steps[i].Action) << steps[i].Line;
    EXPECT_NEAR(got.Zoom, steps[i].Zoom, 1e-4) << steps[i].Line;
    EXPECT_EQ(got.Rotation, steps[i].Rotation) << steps[i].Line;
    EXPECT_EQ(got.Follow, steps[i].Follow) << steps[i].Line;
    EXPECT_EQ(got.Map, steps[i].Map) << steps[i].Line;
  }
  const Picture saved = ReadPng("velmira-view-1.png"), last = ReadPng("last.png");
  EXPECT_EQ(std::make_pair(saved.Width, saved.Height), std::make_pair(640, 480));
  EXPECT_EQ(std::make_pair(last.Width, last.Height), std::make_pair(500, 400));

  // The wheel keeps the place under the pointer there; a drag carries the place where it
  // starts to where it ends. Both from the views the reports describe.
  const int rows = MapRows(saved);
  auto carried = [&](const Report& from, int x1, int y1, const Report& to, int x2, int y2) {
    VmPosition* a = NewPosition(from.Lat, from.Lon);
    VmPosition* b = NewPosition(to.Lat, to.Lon);
    SameView before(library, from.Map, from.Zoom, from.Rotation, a, 640, rows);
    VmPosition* place = before.PlaceAt(x1, y1);
    SameView after(library, to.Map, to.Zoom, to.Rotation, b, 640, rows);
    const auto [x, y] = after.WindowPixel(place);
    EXPECT_NEAR(x, x2, 1) << to.Action;
    EXPECT_NEAR(y, y2, 1) << to.Action;
    for (VmPosition* p : {a, b, place}) Position_Delete(p);
  };
  carried(reports[4], 120, 90, reports[5], 120, 90);
  carried(reports[5], 300, 200, reports[6], 240, 150);
  carried(reports[6], 500, 300, reports[7], 500, 300);
  // Following again puts the last fix back at the centre.
  std::vector<VmPosition*> fixes = Fixes(SampleLog);
  double lat = 0, lon = 0;
  Position_GetLatitudeDecDeg(fixes.back(), &lat);
  Position_GetLongitudeDecDeg(fixes.back(), &lon);
  EXPECT_NEAR(reports[9].Lat, lat, 1e-6);
  EXPECT_NEAR(reports[9].Lon, lon, 1e-6);
  EXPECT_NE(reports[8].Lat, reports[9].Lat);
  for (VmPosition* fix : fixes) Position_Delete(fix);
}

TEST_F(ViewTool, FailuresAUserCanActOnAreNamedBeforeAnyWindowAndExitOne) {
  // A receiver that answers but has no fix: quality 0, status V.
  const std::string noFix = velmira::test::TempFile(
      "nofix.nmea", testsupport::Line("GPGGA,123519,4807.038,N,01131.000,E,0,00,99.9,,M,,M,,") +
                        testsupport::Line("GPRMC,123519,V,,,,,,,230394,,"));
  struct Case {
    std::string Args, Driver;
    int Status;
    std::string Says;
  };
  const std::vector<Case> cases = {
      {"/no/such.vml --replay " + SampleLog, "dummy", 1, "/no/such.vml: "},
      {SampleLibrary + " --map nosuch --replay " + SampleLog, "dummy", 1, "no map named 'nosuch'"},
      {SampleLibrary + " --replay /no/such.nmea", "dummy", 1, "cannot read /no/such.nmea"},
      {SampleLibrary + " --replay " + noFix, "dummy", 1, "has no fix"},
      {SampleLibrary + " --device /no/such/tty", "dummy", 1,
       "/no/such/tty, which cannot be opened"},
      {SampleLibrary + " --replay " + SampleLog + " --seconds 0", "x11", 1,
       "SDL_VIDEODRIVER=dummy"},
      {SampleLibrary + " --replay " + SampleLog + " --seconds 0", "", 1, "SDL_VIDEODRIVER=dummy"},
      {SampleLibrary, "dummy", 2, "give one input"},
  };
  for (const Case& c : cases) {
    if (c.Driver.empty()) {
      unsetenv("SDL_VIDEODRIVER");  // SDL's own choice
    } else {
      setenv("SDL_VIDEODRIVER", c.Driver.c_str(), 1);
    }
    const ToolResult r = RunTool("view " + c.Args);
    EXPECT_EQ(r.Status, c.Status) << c.Args << "\n" << r.Errors;
    EXPECT_NE(r.Errors.find(c.Says), std::string::npos) << c.Args << "\n" << r.Errors;
    EXPECT_TRUE(r.Lines.empty()) << c.Args;
  }
}

}  // namespace
