// velmira maplib: the build and info subcommands. info opens the file in a viewer as an
// application would and lists its maps from the library, each with the WGS 84 corners and
// ground resolution that the library's own conversions give (MapChoice.h); the exports give
// no list of icons, so their names come from the file's icon chunks (the format of
// MapLibWriter.h) and each is confirmed by making it through the viewer.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Commands.h"
#include "MapChoice.h"
#include "MapLibWriter.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace cli {

int RunMapLibBuild(const Args& args);

namespace {

constexpr const char* Name = "maplib";
constexpr int32_t IconType = 1;
constexpr size_t ChunkHeaderSize = 8;
constexpr size_t NameOffset = 10;
constexpr size_t NameField = 16;

uint32_t Get32(const uint8_t* at) {
  return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}
int16_t Get16(const uint8_t* at) { return static_cast<int16_t>(at[0] | at[1] << 8); }
double GetDouble(const uint8_t* at) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= uint64_t{at[i]} << (8 * i);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
std::string GetText(const uint8_t* at, size_t field) {
  return std::string(reinterpret_cast<const char*>(at),
                     strnlen(reinterpret_cast<const char*>(at), field));
}

void PrintMap(VmMap* map) {
  uint8_t r[maplib::MapRecordSize];
  VmMap_GetRecord(map, r);
  Handle<VmPoint> size(Map_GetSize(map), Point_Delete);
  std::printf("map \"%s\": %d x %d pixels, ", TakeText(Map_GetName(map, nullptr)).c_str(),
              Point_GetX(size.get()), Point_GetY(size.get()));
  const int16_t grid = Get16(r + 68);
  const char* u = "longitude, radians";
  const char* v = "latitude, radians";
  if (grid != 0) {
    std::printf("grid %d, zone \"%s\"\n", grid, GetText(r + 70, 12).c_str());
    u = "easting, metres";
    v = "northing, metres";
  } else {
    std::printf("datum %d\n", Get16(r + 66));
  }
  // Record offsets: origin U, V at 82 and 90; U per x, U per y, V per x, V per y from 98 on.
  std::printf("  U (%s) = %.12g x + %.12g y + %.12g\n", u, GetDouble(r + 98), GetDouble(r + 106),
              GetDouble(r + 82));
  std::printf("  V (%s) = %.12g x + %.12g y + %.12g\n", v, GetDouble(r + 114), GetDouble(r + 122),
              GetDouble(r + 90));
}

// The outer corners of the picture in WGS 84 and the metres one pixel covers on the ground.
void PrintArea(const MapArea& area) {
  if (!area.Placed) {
    const char* why = area.Name.empty() ? "not shown (another map has its name)"
                                        : "unknown (the library cannot place them)";
    std::printf("  corners: %s\n  ground resolution: %s\n", why, why);
    return;
  }
  std::printf("  corners (latitude, longitude on WGS 84):");
  const char* corner[4] = {"top-left", "top-right", "bottom-right", "bottom-left"};
  for (int i = 0; i < 4; ++i) {
    std::printf("%s %s %.7f, %.7f", i == 0 ? "" : ";", corner[i], area.Lat[i], area.Lon[i]);
  }
  std::printf("\n  ground resolution: %.4g m per pixel (%.4g across, %.4g down)\n",
              area.MetresPerPixel(), area.Across, area.Down);
}

// Makes the icon through the viewer for its size; false when the library refuses it.
bool PrintIcon(VmViewer* viewer, const std::string& name) {
  VmIcon* icon = Viewer_NewIcon(viewer, Widen(name).c_str());
  if (icon == nullptr) {
    std::fprintf(stderr, "velmira %s: icon \"%s\": %s\n", Name, name.c_str(),
                 LibraryError(Viewer_GetErrHandle(viewer)).c_str());
    return false;
  }
  std::printf("icon \"%s\": %d x %d pixels\n", name.c_str(), Icon_GetWidth(icon),
              Icon_GetHeight(icon));
  Viewer_DeleteObject(viewer, reinterpret_cast<VmMapObject*>(icon), IconType);
  Icon_Delete(icon);
  return true;
}

int RunInfo(const Args& args) {
  if (args.size() != 1 || IsOption(args[0])) return BadUsage(Name, "info takes one FILE");
  const std::string& path = args[0];
  Handle<VmViewer> viewer(Viewer_New(), Viewer_Delete);
  Viewer_Open(viewer.get(), Widen(path).c_str());
  if (std::string why = LibraryError(Viewer_GetErrHandle(viewer.get())); !why.empty()) {
    std::fprintf(stderr, "velmira %s: %s: %s\n", Name, path.c_str(), why.c_str());
    return 1;
  }
  Handle<VmMapLib> lib(Viewer_GetMapLib(viewer.get()), MapLib_Delete);
  const int32_t maps = MapLib_GetMapCount(lib.get());
  const std::vector<std::string> icons = IconNames(path);
  std::printf("%s: %d map%s, %zu icon%s\n", path.c_str(), maps, maps == 1 ? "" : "s", icons.size(),
              icons.size() == 1 ? "" : "s");
  MapChoice areas;
  const std::string why = areas.Open(path);
  for (int32_t i = 1; i <= maps; ++i) {
    Handle<VmMap> map(MapLib_GetMapByIndex(lib.get(), i), Map_Delete);
    PrintMap(map.get());
    if (why.empty() && static_cast<size_t>(i) <= areas.Maps().size()) {
      PrintArea(areas.Maps()[i - 1]);
    }
  }
  bool ok = true;
  for (const std::string& name : icons) ok = PrintIcon(viewer.get(), name) && ok;
  return ok ? 0 : 1;
}

}  // namespace

// The names of the icon chunks, in file order. The library has read the file already, so this
// walk only needs to stop safely where the chunks end.
std::vector<std::string> IconNames(const std::string& path) {
  std::vector<std::string> names;
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return names;
  uint8_t head[ChunkHeaderSize];
  while (std::fread(head, 1, sizeof head, in) == sizeof head) {
    const int64_t size = static_cast<int32_t>(Get32(head + 4));
    if (size < 0) break;
    int64_t skip = size;
    if (Get32(head) == maplib::Tag("ICOH") &&
        size >= static_cast<int64_t>(NameOffset + NameField)) {
      uint8_t record[NameOffset + NameField];
      if (std::fread(record, 1, sizeof record, in) != sizeof record) break;
      names.push_back(GetText(record + NameOffset, NameField));
      skip -= static_cast<int64_t>(sizeof record);
    }
    if (fseeko(in, skip, SEEK_CUR) != 0) break;
  }
  std::fclose(in);
  return names;
}

int RunMapLib(const Args& args) {
  if (args.empty()) return BadUsage(Name, "build or info is needed");
  const Args rest(args.begin() + 1, args.end());
  if (args[0] == "build") return RunMapLibBuild(rest);
  if (args[0] == "info") return RunInfo(rest);
  return BadUsage(
      Name, (IsOption(args[0]) ? "unknown option '" : "unknown subcommand '") + args[0] + "'");
}

}  // namespace cli
