// velmira maplib build: writes a map library file from PNG pictures. Calibrations go through
// the library's own Map_SetScale, so each map record holds exactly what the library computes
// from the given points; pictures stream through the map library writer a band of 256 rows
// at a time, so pictures larger than memory work. Nothing is left behind on failure: the file
// is written under a temporary name beside the target and renamed at the end.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Commands.h"
#include "MapLibWriter.h"
#include "PngInput.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace cli {
namespace {

constexpr const char* Name = "maplib";
constexpr size_t MaxNameLength = 15;  // the record's name field keeps 15 characters and a NUL
constexpr size_t MaxPairs = 3;
// Design choice: an icon is decoded whole and drawn whole on every view, so its picture is
// limited to what an icon can sensibly be.
constexpr int32_t MaxIconSide = 4096;
constexpr int16_t Wgs84 = 1;

struct CalibrationPair {
  double Lat = 0, Lon = 0;
  int32_t X = 0, Y = 0;
};

// One --map or --icon with the options that follow it.
struct Item {
  bool IsMap = true;
  std::string Name, Picture;
  bool HasDatum = false, HasGrid = false, HasZone = false;
  int16_t Datum = Wgs84, Grid = 0, Zone = 0;
  std::vector<CalibrationPair> Calibration;
  bool HasTransparent = false;
  uint32_t Transparent = 0;
};

struct BuildOptions {
  std::string Output;
  std::vector<Item> Items;
};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1) {
    parts.push_back(text.substr(start, at - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

bool ParseCalibration(const std::string& text, std::vector<CalibrationPair>& pairs) {
  const std::vector<std::string> groups = Split(text, ';');
  if (groups.size() > MaxPairs) return false;
  for (const std::string& group : groups) {
    const std::vector<std::string> v = Split(group, ',');
    CalibrationPair pair;
    long x = 0, y = 0;
    if (v.size() != 4 || !ParseNumber(v[0], pair.Lat) || !ParseNumber(v[1], pair.Lon) ||
        !ParseWhole(v[2], INT32_MIN, INT32_MAX, x) || !ParseWhole(v[3], INT32_MIN, INT32_MAX, y)) {
      return false;
    }
    pair.X = static_cast<int32_t>(x);
    pair.Y = static_cast<int32_t>(y);
    pairs.push_back(pair);
  }
  return true;
}

bool ParseId(const std::string& text, int16_t& id) {
  long value = 0;
  if (!ParseWhole(text, INT16_MIN, INT16_MAX, value)) return false;
  id = static_cast<int16_t>(value);
  return true;
}

// Returns "" when the arguments make a build, else what is wrong with them.
std::string ParseBuild(const Args& args, BuildOptions& o) {
  static const std::vector<std::string> known = {"-o",     "--map",  "--icon",  "--datum",
                                                 "--grid", "--zone", "--calib", "--transparent"};
  for (size_t i = 0; i < args.size();) {
    const std::string& a = args[i];
    if (!IsOption(a)) return "unexpected '" + a + "'";
    if (std::find(known.begin(), known.end(), a) == known.end())
      return "unknown option '" + a + "'";
    const size_t values = a == "--map" || a == "--icon" ? 2 : 1;
    if (i + values >= args.size()) return a + " needs " + (values == 2 ? "two values" : "a value");
    const std::string& v = args[i + 1];
    Item* last = o.Items.empty() ? nullptr : &o.Items.back();
    Item* map = last != nullptr && last->IsMap ? last : nullptr;
    Item* icon = last != nullptr && !last->IsMap ? last : nullptr;
    if (a == "-o" && o.Output.empty()) {
      o.Output = v;
    } else if (a == "--map" || a == "--icon") {
      if (v.empty() || v.size() > MaxNameLength) return a + " name must have 1 to 15 characters";
      Item item;
      item.IsMap = a == "--map";
      item.Name = v;
      item.Picture = args[i + 2];
      o.Items.push_back(item);
    } else if (a == "--datum" && map != nullptr && !map->HasDatum && !map->HasGrid) {
      if (!ParseId(v, map->Datum)) return "bad --datum '" + v + "'";
      map->HasDatum = true;
    } else if (a == "--grid" && map != nullptr && !map->HasDatum && !map->HasGrid) {
      if (!ParseId(v, map->Grid)) return "bad --grid '" + v + "'";
      map->HasGrid = true;
    } else if (a == "--zone" && map != nullptr && map->HasGrid && !map->HasZone) {
      if (!ParseId(v, map->Zone)) return "bad --zone '" + v + "'";
      map->HasZone = true;
    } else if (a == "--calib" && map != nullptr && map->Calibration.empty()) {
      if (!ParseCalibration(v, map->Calibration)) return "bad --calib '" + v + "'";
    } else if (a == "--transparent" && icon != nullptr && !icon->HasTransparent) {
      long index = 0;
      if (!ParseWhole(v, 0, 255, index)) return "bad --transparent '" + v + "'";
      icon->Transparent = static_cast<uint32_t>(index);
      icon->HasTransparent = true;
    } else {
      return a + " is misplaced or repeated";
    }
    i += values + 1;
  }
  if (o.Output.empty()) return "-o FILE is needed";
  if (o.Items.empty()) return "nothing to build: give --map or --icon";
  for (size_t i = 0; i < o.Items.size(); ++i) {
    const Item& item = o.Items[i];
    if (item.IsMap && item.Calibration.empty()) return "map '" + item.Name + "' needs --calib";
    for (size_t j = 0; j < i; ++j) {
      if (!item.IsMap && !o.Items[j].IsMap && o.Items[j].Name == item.Name) {
        return "two icons named '" + item.Name + "'";
      }
    }
  }
  return {};
}

// The output under a temporary name in the target's folder until Commit renames it; removed
// when dropped uncommitted.
class PendingFile {
 public:
  explicit PendingFile(const std::string& target) : Target(target) {}
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() {
    if (!Temp.empty()) std::remove(Temp.c_str());
  }

  std::string Make() {
    std::string name = Target + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) return "cannot create " + Target + ": " + std::strerror(errno);
    Temp = name;
    const mode_t mask = umask(0);  // mkstemp makes 0600; the file gets what a plain create gives
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    return {};
  }
  const std::string& Path() const { return Temp; }
  std::string Commit() {
    if (std::rename(Temp.c_str(), Target.c_str()) != 0) {
      return "cannot write " + Target + ": " + std::strerror(errno);
    }
    Temp.clear();
    return {};
  }

 private:
  std::string Target, Temp;
};

std::string PositionError(VmPosition* p, size_t pair) {
  const std::string why = LibraryError(Position_GetErrHandle(p));
  return why.empty() ? why : "calibration point " + std::to_string(pair + 1) + ": " + why;
}

// A WGS 84 position moved to the map's datum, or to its grid and zone, as Map_SetScale reads it.
std::string MakePosition(const Item& item, const CalibrationPair& pair, size_t index,
                         Handle<VmPosition>& out) {
  out.reset(Position_New());
  VmPosition* p = out.get();
  Position_SetDatum(p, Wgs84);
  Position_SetLatitudeDecDeg(p, &pair.Lat);
  if (std::string why = PositionError(p, index); !why.empty()) return why;
  Position_SetLongitudeDecDeg(p, &pair.Lon);
  if (std::string why = PositionError(p, index); !why.empty()) return why;
  if (!item.HasGrid) {
    Position_SetDatum(p, item.Datum);
    return PositionError(p, index);
  }
  Position_SetGrid(p, item.Grid);
  if (std::string why = PositionError(p, index); !why.empty()) return why;
  if (item.HasZone) {
    Position_SetZone(p, item.Zone);
    if (std::string why = PositionError(p, index); !why.empty()) return why;
  }
  double value = 0;
  Position_GetEasting(p, &value);  // "Position outside grid" shows here, not in Map_SetScale
  if (std::string why = PositionError(p, index); !why.empty()) return why;
  Position_GetNorthing(p, &value);
  return PositionError(p, index);
}

void Put32(uint8_t* at, int32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

// The map's record as the library computes it from the calibration, with the picture's size.
std::string Calibrate(VmMapLib* lib, const Item& item, int32_t width, int32_t height,
                      std::array<uint8_t, maplib::MapRecordSize>& record) {
  Handle<VmMap> map(MapLib_NewMap(lib, Widen(item.Name).c_str()), Map_Delete);
  if (!map) return "map '" + item.Name + "': " + LibraryError(MapLib_GetErrHandle(lib));
  Handle<VmPosition> positions[MaxPairs] = {
      {nullptr, Position_Delete}, {nullptr, Position_Delete}, {nullptr, Position_Delete}};
  Handle<VmPoint> points[MaxPairs] = {
      {nullptr, Point_Delete}, {nullptr, Point_Delete}, {nullptr, Point_Delete}};
  for (size_t k = 0; k < item.Calibration.size(); ++k) {
    if (std::string why = MakePosition(item, item.Calibration[k], k, positions[k]); !why.empty()) {
      return "map '" + item.Name + "': " + why;
    }
    points[k].reset(Point_New());
    Point_SetX(points[k].get(), item.Calibration[k].X);
    Point_SetY(points[k].get(), item.Calibration[k].Y);
  }
  Map_SetScale(map.get(), positions[0].get(), points[0].get(), positions[1].get(), points[1].get(),
               positions[2].get(), points[2].get());
  if (std::string why = LibraryError(Map_GetErrHandle(map.get())); !why.empty()) {
    return "map '" + item.Name + "': calibration refused: " + why;
  }
  VmMap_GetRecord(map.get(), record.data());
  Put32(&record[58], width);
  Put32(&record[62], height);
  return {};
}

maplib::PictureFormat FormatOf(const PngInput& png) {
  maplib::PictureFormat f;
  f.Width = png.Width();
  f.Height = png.Height();
  f.BitsPerPixel = png.BitsPerPixel();
  f.Palette = png.Palette();
  return f;
}

std::string WriteMap(maplib::MapLibWriter& writer, VmMapLib* lib, const Item& item) {
  PngInput png;
  if (!png.Open(item.Picture)) return png.Error();
  std::array<uint8_t, maplib::MapRecordSize> record{};
  if (std::string why = Calibrate(lib, item, png.Width(), png.Height(), record); !why.empty()) {
    return why;
  }
  if (!writer.BeginMap(record, FormatOf(png))) return writer.ErrorText();
  const size_t pitch = png.RowBytes();
  std::vector<uint8_t> band(pitch * maplib::TileSize);
  for (int32_t done = 0; done < png.Height();) {
    const int32_t count = std::min(png.Height() - done, maplib::TileSize);
    if (!png.ReadRows(band.data(), pitch, count)) return png.Error();
    if (!writer.AddRows(band.data(), pitch, count)) return writer.ErrorText();
    done += count;
  }
  if (!png.Finish()) return png.Error();
  return writer.EndMap() ? std::string() : writer.ErrorText();
}

std::string WriteIcon(maplib::MapLibWriter& writer, const Item& item) {
  PngInput png;
  if (!png.Open(item.Picture, PngInput::PaletteAlpha::Key)) return png.Error();
  if (png.Width() > MaxIconSide || png.Height() > MaxIconSide) {
    return "icon '" + item.Name + "': pictures of icons are at most 4096 x 4096 pixels";
  }
  maplib::PictureFormat format = FormatOf(png);
  if (item.HasTransparent) {
    if (png.PaletteSize() == 0) {
      return "icon '" + item.Name + "': --transparent needs a palette picture";
    }
    if (item.Transparent >= static_cast<uint32_t>(png.PaletteSize())) {
      return "icon '" + item.Name + "': --transparent " + std::to_string(item.Transparent) +
             " is outside the palette of " + std::to_string(png.PaletteSize()) + " colours";
    }
    format.WithTransparency = true;
    format.Transparent = 1;
    format.TransparentIndex = item.Transparent;
  } else if (png.TransparentIndex() >= 0) {  // the PNG's own transparent entry
    format.WithTransparency = true;
    format.Transparent = 1;
    format.TransparentIndex = static_cast<uint32_t>(png.TransparentIndex());
  }
  const size_t pitch = png.RowBytes();
  std::vector<uint8_t> rows(pitch * static_cast<size_t>(png.Height()));
  if (!png.ReadRows(rows.data(), pitch, png.Height()) || !png.Finish()) return png.Error();
  const auto record = maplib::MakeIconRecord({item.Name, "", png.Width(), png.Height()});
  return writer.AddIcon(record, format, rows.data(), pitch) ? std::string() : writer.ErrorText();
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "velmira %s: %s\n", Name, why.c_str());
  return 1;
}

}  // namespace

int RunMapLibBuild(const Args& args) {
  BuildOptions o;
  if (std::string why = ParseBuild(args, o); !why.empty()) return BadUsage(Name, why);
  PendingFile output(o.Output);
  if (std::string why = output.Make(); !why.empty()) return Fail(why);
  maplib::MapLibWriter writer;
  if (!writer.Create(output.Path())) return Fail(writer.ErrorText());
  // The maps are made in one library, which also refuses a name used twice.
  Handle<VmViewer> viewer(Viewer_New(), Viewer_Delete);
  Handle<VmMapLib> lib(Viewer_GetMapLib(viewer.get()), MapLib_Delete);
  for (const Item& item : o.Items) {
    const std::string why =
        item.IsMap ? WriteMap(writer, lib.get(), item) : WriteIcon(writer, item);
    if (!why.empty()) return Fail(why);
  }
  if (!writer.Close()) return Fail(writer.ErrorText());
  if (std::string why = output.Commit(); !why.empty()) return Fail(why);
  return 0;
}

}  // namespace cli
