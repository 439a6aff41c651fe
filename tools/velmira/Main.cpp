#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Commands.h"
#include "velmira/velmira.h"

namespace cli {
namespace {

constexpr const char* HelpUsage =
    "usage: velmira help [COMMAND]\n"
    "  lists the commands, or prints the usage of COMMAND (as velmira COMMAND --help does)\n";

constexpr const char* DemoUsage =
    "usage: velmira demo [--out DIR]\n"
    "  replays the sample drive examples/drive.nmea through the library: prints a table of its\n"
    "  fixes (time, latitude and longitude, UTM, speed, satellites in view, HDOP), lays the track\n"
    "  on the sample map library (built by the sample_maplib target) and writes the turned and\n"
    "  zoomed view as DIR/demo.png, 800 x 600 pixels, and the track as DIR/drive.gpx\n"
    "  --out DIR      the folder for demo.png and drive.gpx (default: out)\n";

constexpr const char* NmeaUsage =
    "usage: velmira nmea [OPTIONS] (FILE | - | --port N | --device PATH | --source URL)\n"
    "  decodes NMEA 0183 and prints one JSON object per event on standard output\n"
    "  FILE, -        a log file, or standard input\n"
    "  --source URL   gpsd://HOST[:PORT][/DEVICE] (gpsd, port 2947 by default), tcp://HOST:PORT,\n"
    "                 udp://[BIND]:PORT, serial://DEVICE[?baud=RATE] or a file path; network\n"
    "                 sources are connected again whenever the link drops\n"
    "  --port N       serial port COM<N>; 0 detects the receiver on COM1 to COM8\n"
    "  --device PATH  maps the port (COM1 unless --port names one) to this device\n"
    "  --baud R       rate of the port; without it (or with 0) the rate is detected\n"
    "  --polled MS    polls the parser every MS milliseconds instead of taking events (ports\n"
    "                 and network sources)\n"
    "  --datum D      datum of the receiver's coordinates, 1 to 27 (default 1, WGS 84)\n"
    "  --grid G       adds easting, northing and zone on grid G; --zone Z fixes the zone\n"
    "  --sentences    prints every checksummed sentence too\n"
    "  --format F     jsonl (default), or a track of one point per fix epoch: gpx (GPX 1.1),\n"
    "                 geojson (a MultiLineString) or csv\n"
    "  --gap S        a track segment ends after a loss of fix or S seconds without one\n"
    "                 (default 5)\n"
    "  --count N      stops after N objects (track points with --format)\n"
    "  --seconds S    stops after S seconds; on a port or network source, no valid NMEA by\n"
    "                 then is an error\n"
    "  On a port, standard error tells the device of each COM number, the detection, and when\n"
    "  valid NMEA is found or lost; on a network source, when the link comes and goes.\n";

constexpr const char* ConvertUsage =
    "usage: velmira convert --from SPEC --to SPEC < points\n"
    "  SPEC: datum=D | datum=D,grid=G | datum=D,grid=G,zone=Z\n"
    "  input lines: LAT LON [H] (degrees, metres) or EASTING NORTHING [H] (metres) when the\n"
    "  source has a grid; blank lines and lines starting with # are copied through\n";

constexpr const char* MapLibUsage =
    "usage: velmira maplib build -o FILE [-q] [RASTER OPTIONS] ITEM...\n"
    "       velmira maplib info FILE\n"
    "  build writes a map library file; each ITEM is one of\n"
    "    --map NAME RASTER [RASTER OPTIONS]\n"
    "        a map named NAME (at most 15 characters) from any raster GDAL opens (GeoTIFF,\n"
    "        an image with a world file, an OziExplorer .map, BSB/KAP, MBTiles, ...),\n"
    "        calibrated from its own georeferencing: exactly when its CRS is one the library\n"
    "        has; control points are fitted (residuals on standard error); anything else is\n"
    "        warped into a grid of the library (UTM on WGS 84 in the zone of its centre)\n"
    "    --maps-from FOLDER [RASTER OPTIONS]\n"
    "        one map per raster of the folder, named after its file\n"
    "    --map NAME PICTURE [--datum D | --grid G [--zone Z]] --calib CALIBRATION\n"
    "        a map calibrated by hand, whose coordinates are on datum D (default 1, WGS 84)\n"
    "        or on grid G, zone Z (found from the first point when not given); CALIBRATION\n"
    "        is one to three points LAT,LON,X,Y separated by ';': WGS 84 degrees at pixel\n"
    "        X,Y of the picture (origin at its top-left corner); it overrides the raster's own\n"
    "    --icon NAME PICTURE.png [--transparent INDEX]\n"
    "        an icon; INDEX is the palette index drawn transparent (default: the PNG's first\n"
    "        fully transparent palette entry, if any)\n"
    "  RASTER OPTIONS (before the first ITEM they apply to every map):\n"
    "    --no-warp           refuse rasters that would have to be warped\n"
    "    --to-grid G [--zone Z]  warp into grid G, zone Z (else the zone of the raster's\n"
    "                        centre), unless the raster is in it already\n"
    "    --resampling M      near, bilinear, cubic, cubicspline, lanczos, average or mode\n"
    "                        (default: near for palette rasters, bilinear otherwise)\n"
    "  -q: no progress on standard error (shown for builds longer than a second)\n"
    "  pictures: palette ones keep their palette (1, 4 or 8 bits per pixel); all others\n"
    "  become 24-bit RGB, with alpha composited over white; nodata pixels become white\n"
    "  info lists the maps (name, size, datum or grid and zone, calibration, corners in WGS 84\n"
    "  degrees, ground metres per pixel) and the icons\n";

constexpr const char* RenderUsage =
    "usage: velmira render MAPLIB [OPTIONS] -o OUT.png\n"
    "  draws a view of a map of the map library file MAPLIB into a PNG picture\n"
    "  --map NAME          the map (default: the finest map holding --lat/--lon, else the\n"
    "                      first one)\n"
    "  --lat DEG --lon DEG the WGS 84 position at the picture's centre (default: the map's\n"
    "                      centre)\n"
    "  --zoom Z            picture pixels per map pixel, 0.1 to 10 (default 1)\n"
    "  --rotation DEG      turns the view by DEG degrees (default 0)\n"
    "  --size WxH          picture size in pixels, 1 to 8192 each (default 640x480)\n"
    "  --icon NAME         puts the library's icon NAME at the centre\n"
    "  --label TEXT        puts a label with TEXT at the centre (below the icon, if any)\n"
    "  --track FILE        draws a track: a GPX file (tracks, routes, waypoints) or the fixes\n"
    "                      of an NMEA log; repeat it for more tracks, each in its own colour\n";

constexpr const char* ViewUsage =
    "usage: velmira view MAPLIB (--port N | --device PATH | --replay NMEAFILE [--speed X] |\n"
    "                    --source URL) [OPTIONS]\n"
    "  opens a map window that follows the receiver's last fix, draws its track and marks its\n"
    "  position; a status line shows time, position, the map's grid coordinates, speed,\n"
    "  satellites in view, HDOP and the source\n"
    "  --port N          serial port COM<N>; 0 detects the receiver on COM1 to COM8\n"
    "  --device PATH     maps the port (COM1 unless --port names one) to this device\n"
    "  --baud R          rate of the port; without it the rate is detected\n"
    "  --replay FILE     replays an NMEA log at the pace of its time stamps\n"
    "  --source URL      gpsd://HOST[:PORT][/DEVICE], tcp://HOST:PORT, udp://[BIND]:PORT,\n"
    "                    serial://DEVICE[?baud=RATE] or a log file (replayed); the status line\n"
    "                    shows the source and whether its link is up\n"
    "  --speed X         replays X times faster than real time (default 1)\n"
    "  --map NAME        shows only this map (default: the finest map holding the fix while\n"
    "                    following, starting with the library's first)\n"
    "  --datum D         datum of the receiver's coordinates, 1 to 27 (default 1, WGS 84)\n"
    "  --size WxH        window size in pixels (default 1024x768)\n"
    "  --zoom Z          0.1 to 10 (default 1); --rotation DEG turns the view (default 0)\n"
    "  --seconds S       quits after S seconds\n"
    "  --screenshot PNG  writes the last frame to PNG when quitting\n"
    "  --script FILE     plays key and mouse steps from FILE (see the README)\n"
    "  --track FILE      draws a GPX file or the fixes of an NMEA log under the live track;\n"
    "                    repeat it for more, each in its own colour\n"
    "  --record GPX      records the live track as GPX 1.1, a complete file after every fix\n"
    "  controls: drag pans; wheel (about the pointer, unless following) and + - zoom;\n"
    "  [ ] rotate by 15 degrees, 0 resets; f follows the fix or stops; m shows the next map;\n"
    "  s saves velmira-view-N.png; q or closing the window quits. Each control prints the\n"
    "  view it leaves on standard output.\n"
    "  Without a desktop: SDL_VIDEODRIVER=dummy with --seconds and --screenshot.\n";

bool AsksForHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

void PrintOverview(std::FILE* out) {
  std::fprintf(out,
               "velmira %s: GPS input, geodesy and maps\n\n"
               "usage: velmira COMMAND [ARGUMENTS]\n"
               "       velmira COMMAND --help\n"
               "       velmira --version\n\ncommands:\n",
               VELMIRA_VERSION);
  for (const Command& c : Commands()) std::fprintf(out, "  %-10s %s\n", c.Name, c.Summary);
}

const Command* Find(const std::string& name) {
  for (const Command& c : Commands()) {
    if (name == c.Name) return &c;
  }
  return nullptr;
}

}  // namespace

const std::vector<Command>& Commands() {
  static const std::vector<Command> table = {
      {"demo", "replay the sample drive: a table of its fixes and its track on a map", DemoUsage, RunDemo},
      {"help", "show this help, or a command's usage", HelpUsage, RunHelp},
      {"nmea", "decode NMEA from a file, standard input or a serial port as JSON Lines", NmeaUsage,
       RunNmea},
      {"convert", "convert points between datums and grids (stdin to stdout)", ConvertUsage,
       RunConvert},
      {"maplib", "build a map library file from rasters, or list one", MapLibUsage,
       RunMapLib},
      {"render", "draw a view of a map library map into a PNG picture", RenderUsage, RunRender},
      {"view", "show a live map window following a receiver or replaying a log", ViewUsage,
       RunView},
  };
  return table;
}

int RunHelp(const Args& args) {
  if (args.empty()) {
    PrintOverview(stdout);
    return 0;
  }
  const Command* c = args.size() == 1 ? Find(args[0]) : nullptr;
  if (args.size() > 1) return BadUsage("help", "one command at most");
  if (c == nullptr) return BadUsage("help", "unknown command '" + args[0] + "'");
  std::fputs(c->Usage, stdout);
  return 0;
}

int BadUsage(const char* name, const std::string& problem) {
  const Command* c = Find(name);
  std::fprintf(stderr, "velmira %s: %s\n%s", name, problem.c_str(), c != nullptr ? c->Usage : "");
  return 2;
}

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

std::u16string Widen(const std::string& text) {
  // Bytes map to the units of the same value: the library keeps the low byte of each unit.
  std::u16string wide;
  wide.reserve(text.size());
  for (unsigned char c : text) wide.push_back(c);
  return wide;
}

std::string Narrow(const char16_t* wide) {
  std::string text;
  if (wide == nullptr) return text;
  for (; *wide != 0; ++wide) text.push_back(static_cast<char>(*wide & 0xFF));
  return text;
}

std::string TakeText(char16_t* s) {
  std::string text = Narrow(s);
  SysFreeString(s);
  return text;
}

Handle<VmPoint> NewPoint(int32_t x, int32_t y) {
  Handle<VmPoint> p(Point_New(), Point_Delete);
  Point_SetX(p.get(), x);
  Point_SetY(p.get(), y);
  return p;
}

Handle<VmPosition> NewPosition(double lat, double lon) {
  Handle<VmPosition> p(Position_New(), Position_Delete);
  Position_SetLatitudeDecDeg(p.get(), &lat);
  Position_SetLongitudeDecDeg(p.get(), &lon);
  return p;
}

bool ParseNumber(const std::string& text, double& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return *end == '\0' && errno == 0 && std::isfinite(value);
}

bool ParseWhole(const std::string& text, long low, long high, long& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, 10);
  return *end == '\0' && errno == 0 && value >= low && value <= high;
}

bool ParseSize(const std::string& text, int32_t& width, int32_t& height) {
  const size_t x = text.find('x');
  long w = 0, h = 0;
  if (x == std::string::npos || !ParseWhole(text.substr(0, x), 1, MaxWindowSide, w) ||
      !ParseWhole(text.substr(x + 1), 1, MaxWindowSide, h)) {
    return false;
  }
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
  return true;
}

void DeleteCarried(uintptr_t kind, void* object) {
  switch (kind) {
    case KindSentence: NmeaSentence_Delete(static_cast<VmNmeaSentence*>(object)); break;
    case KindFix: GpsFix_Delete(static_cast<VmGpsFix*>(object)); break;
    case KindSatellites: Satellites_Delete(static_cast<VmSatellites*>(object)); break;
    case KindMovement: Movement_Delete(static_cast<VmMovement*>(object)); break;
    case KindQuality: Quality_Delete(static_cast<VmQuality*>(object)); break;
    case KindStatus: ComStatus_Delete(static_cast<VmComStatus*>(object)); break;
    default: break;
  }
}

std::string LibraryError(VmError* record) {
  const int code = Error_ErrNum(record);
  if (code == 0) return {};
  return Narrow(Error_ErrDesc(record, nullptr)) + " (error " + std::to_string(code) + ")";
}

}  // namespace cli

int main(int argc, char** argv) {
  if (argc < 2) {
    cli::PrintOverview(stderr);
    return 2;
  }
  const std::string first = argv[1];
  if (cli::AsksForHelp(first)) return cli::RunHelp({});
  if (first == "--version") {
    std::printf("velmira %s\n", VELMIRA_VERSION);
    return 0;
  }
  const cli::Args args(argv + 2, argv + argc);
  if (const cli::Command* c = cli::Find(first)) {
    for (const std::string& a : args) {
      if (cli::AsksForHelp(a)) {
        std::fputs(c->Usage, stdout);
        return 0;
      }
    }
    return c->Run(args);
  }
  std::fprintf(stderr, "velmira: unknown %s '%s'\n\n", cli::IsOption(first) ? "option" : "command",
               first.c_str());
  cli::PrintOverview(stderr);
  return 2;
}
