// velmira maplib build: writes a map library file from PNG pictures with calibration points,
// or from any raster GDAL opens, calibrated from its own georeferencing (warped into a grid of
// the library when it cannot be taken as it stands). Calibrations go through the library's own
// Map_SetScale, so each map record holds exactly what the library computes from the given
// points; pictures stream through the map library writer a band of 256 rows at a time, so
// pictures larger than memory work. Nothing is left behind on failure: the file is written
// under a temporary name beside the target and renamed at the end.
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BuildProgress.h"
#include "Commands.h"
#include "GdalInput.h"
#include "GeoCalibration.h"
#include "MapLibWriter.h"
#include "PngInput.h"
#include "RasterWarp.h"
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
  // Rasters with georeferencing of their own.
  std::string Folder;  // --maps-from: one map per raster of the folder, named after its file
  bool NoWarp = false;
  WarpRequest Warp;
};

struct BuildOptions {
  std::string Output;
  std::vector<Item> Items;
  Item Defaults;  // what the options before the first item set for every map
  bool Quiet = false;
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
  static const std::vector<std::string> known = {
      "-o",    "--map",  "--icon",    "--datum",      "--grid",       "--zone",   "--calib",
      "--transparent", "-q", "--no-warp", "--resampling", "--to-grid", "--maps-from"};
  for (size_t i = 0; i < args.size();) {
    const std::string& a = args[i];
    if (!IsOption(a)) return "unexpected '" + a + "'";
    if (std::find(known.begin(), known.end(), a) == known.end())
      return "unknown option '" + a + "'";
    const size_t values = a == "--map" || a == "--icon" ? 2 : a == "-q" || a == "--no-warp" ? 0 : 1;
    if (i + values >= args.size() && values > 0) {
      return a + " needs " + (values == 2 ? "two values" : "a value");
    }
    const std::string& v = values > 0 ? args[i + 1] : a;
    Item* last = o.Items.empty() ? nullptr : &o.Items.back();
    Item* map = last != nullptr && last->IsMap ? last : nullptr;
    Item* icon = last != nullptr && !last->IsMap ? last : nullptr;
    // Options of georeferenced rasters follow their map, or come before every item.
    Item* raster = map != nullptr ? map : last == nullptr ? &o.Defaults : nullptr;
    if (a == "-o" && o.Output.empty()) {
      o.Output = v;
    } else if (a == "-q") {
      o.Quiet = true;
    } else if (a == "--map" || a == "--icon" || a == "--maps-from") {
      if (a != "--maps-from" && (v.empty() || v.size() > MaxNameLength)) {
        return a + " name must have 1 to 15 characters";
      }
      Item item = o.Defaults;
      item.IsMap = a != "--icon";
      (a == "--maps-from" ? item.Folder : item.Name) = v;
      if (a != "--maps-from") item.Picture = args[i + 2];
      o.Items.push_back(item);
    } else if (a == "--no-warp" && raster != nullptr && !raster->NoWarp) {
      raster->NoWarp = true;
    } else if (a == "--resampling" && raster != nullptr && raster->Warp.Resampling.empty()) {
      if (!KnownResampling(v)) return "unknown --resampling '" + v + "'";
      raster->Warp.Resampling = v;
    } else if (a == "--to-grid" && raster != nullptr && raster->Warp.Grid == 0 && !raster->HasGrid) {
      if (!ParseId(v, raster->Warp.Grid) || raster->Warp.Grid <= 0) return "bad --to-grid '" + v + "'";
    } else if (a == "--zone" && raster != nullptr && raster->Warp.Grid != 0 && raster->Warp.Zone == 0) {
      if (!ParseId(v, raster->Warp.Zone) || raster->Warp.Zone <= 0) return "bad --zone '" + v + "'";
    } else if (a == "--datum" && map != nullptr && !map->HasDatum && !map->HasGrid && map->Folder.empty()) {
      if (!ParseId(v, map->Datum)) return "bad --datum '" + v + "'";
      map->HasDatum = true;
    } else if (a == "--grid" && map != nullptr && !map->HasDatum && !map->HasGrid &&
               map->Warp.Grid == 0 && map->Folder.empty()) {
      if (!ParseId(v, map->Grid)) return "bad --grid '" + v + "'";
      map->HasGrid = true;
    } else if (a == "--zone" && map != nullptr && map->HasGrid && !map->HasZone) {
      if (!ParseId(v, map->Zone)) return "bad --zone '" + v + "'";
      map->HasZone = true;
    } else if (a == "--calib" && map != nullptr && map->Calibration.empty() && map->Folder.empty()) {
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
  if (o.Items.empty()) return "nothing to build: give --map, --maps-from or --icon";
  for (size_t i = 0; i < o.Items.size(); ++i) {
    const Item& item = o.Items[i];
    if (item.IsMap && item.Calibration.empty() && (item.HasDatum || item.HasGrid)) {
      return "map '" + item.Name + "': --datum and --grid go with --calib";
    }
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

constexpr size_t RecordGrid = 68, RecordZone = 70, RecordZoneSize = 12;
constexpr int16_t StatePlane27 = 30, StatePlane83 = 31;

// Up to three calibration pairs for Map_SetScale.
struct Pairs {
  Handle<VmPosition> Positions[MaxPairs] = {
      {nullptr, Position_Delete}, {nullptr, Position_Delete}, {nullptr, Position_Delete}};
  Handle<VmPoint> Points[MaxPairs] = {
      {nullptr, Point_Delete}, {nullptr, Point_Delete}, {nullptr, Point_Delete}};
  int16_t Zone = 0;  // the zone asked for, kept for the State Plane grids
  void SetPoint(size_t k, int32_t x, int32_t y) { Points[k] = NewPoint(x, y); }
};

// The pairs given with --calib.
std::string HandPairs(const Item& item, Pairs& pairs) {
  for (size_t k = 0; k < item.Calibration.size(); ++k) {
    if (std::string why = MakePosition(item, item.Calibration[k], k, pairs.Positions[k]); !why.empty()) {
      return "map '" + item.Name + "': " + why;
    }
    pairs.SetPoint(k, item.Calibration[k].X, item.Calibration[k].Y);
  }
  pairs.Zone = item.HasGrid && item.HasZone ? item.Zone : 0;
  return {};
}

// The map's record as the library computes it from the calibration, with the picture's size.
std::string Calibrate(VmMapLib* lib, const std::string& name, Pairs& pairs, int32_t width,
                      int32_t height, std::array<uint8_t, maplib::MapRecordSize>& record) {
  Handle<VmMap> map(MapLib_NewMap(lib, Widen(name).c_str()), Map_Delete);
  if (!map) return "map '" + name + "': " + LibraryError(MapLib_GetErrHandle(lib));
  Map_SetScale(map.get(), pairs.Positions[0].get(), pairs.Points[0].get(), pairs.Positions[1].get(),
               pairs.Points[1].get(), pairs.Positions[2].get(), pairs.Points[2].get());
  if (std::string why = LibraryError(Map_GetErrHandle(map.get())); !why.empty()) {
    return "map '" + name + "': calibration refused: " + why;
  }
  VmMap_GetRecord(map.get(), record.data());
  Put32(&record[58], width);
  Put32(&record[62], height);
  // A State Plane zone has no zone text; the record keeps its code instead, which the
  // library reads back as the map's zone number when it loads the map.
  const int16_t grid = static_cast<int16_t>(record[RecordGrid] | record[RecordGrid + 1] << 8);
  if ((grid == StatePlane27 || grid == StatePlane83) && record[RecordZone] == 0 && pairs.Zone > 0) {
    std::snprintf(reinterpret_cast<char*>(&record[RecordZone]), RecordZoneSize, "%d", pairs.Zone);
  }
  return {};
}

void Note(const std::string& text) { std::fprintf(stderr, "velmira %s: %s\n", Name, text.c_str()); }

// The pairs from the raster's own georeferencing; warps the raster first when the library
// cannot take it as it stands.
std::string GeoPairs(const Item& item, GdalInput& in, Pairs& pairs) {
  GeoCalibration geo;
  std::string why = geo.FromDataset(in.Dataset());
  for (const std::string& line : geo.Notes()) Note(item.Picture + ": " + line);
  const WarpRequest& asked = item.Warp;
  const bool elsewhere = why.empty() && asked.Grid != 0 &&
                         (geo.Frame().Grid != asked.Grid || geo.Frame().Zone != asked.Zone);
  if (!why.empty() && !geo.NeedsWarp()) return item.Picture + ": " + why;
  if (!why.empty() || elsewhere) {
    if (elsewhere) why = "it is in " + geo.Frame().Describe() + ", not in the grid asked";
    if (item.NoWarp) return item.Picture + ": " + why + "; not warped (--no-warp)";
    if (in.IsPalette() && !asked.Resampling.empty() && asked.Resampling != "near" &&
        asked.Resampling != "mode") {
      return item.Picture + ": palette rasters warp with near or mode resampling only";
    }
    RasterWarp warp;
    GDALDatasetH warped = warp.Make(in.Source(), asked, in.IsPalette());
    if (warped == nullptr) return item.Picture + ": " + why + "; " + warp.Error();
    if (!in.UseWarped(warped, "warp it")) return in.Error();
    Note(item.Picture + ": " + why + "; warped into " + warp.Done());
    if (std::string again = geo.FromDataset(in.Dataset()); !again.empty()) {
      return item.Picture + ": after warping: " + again;
    }
  }
  for (size_t k = 0; k < MaxPairs; ++k) {
    pairs.Positions[k].reset(LibraryCrs::NewPosition(geo.Frame(), geo.World()[k]));
    pairs.SetPoint(k, geo.Pixels()[k][0], geo.Pixels()[k][1]);
  }
  pairs.Zone = geo.Frame().Zone;
  return {};
}

// Streams the picture through the writer a band of tile rows at a time.
template <class Input>
std::string WritePicture(maplib::MapLibWriter& writer, Input& in, const Item& item, bool quiet,
                         const std::array<uint8_t, maplib::MapRecordSize>& record) {
  maplib::PictureFormat format;
  format.Width = in.Width();
  format.Height = in.Height();
  format.BitsPerPixel = in.BitsPerPixel();
  format.Palette = in.Palette();
  if (!writer.BeginMap(record, format)) return writer.ErrorText();
  const size_t pitch = in.RowBytes();
  std::vector<uint8_t> band(pitch * maplib::TileSize);
  BuildProgress progress(quiet, "map '" + item.Name + "'");
  for (int32_t done = 0; done < in.Height();) {
    const int32_t count = std::min(in.Height() - done, maplib::TileSize);
    if (!in.ReadRows(band.data(), pitch, count)) return in.Error();
    if (!writer.AddRows(band.data(), pitch, count)) return writer.ErrorText();
    done += count;
    progress.Update(done, in.Height());
  }
  if (!in.Finish()) return in.Error();
  return writer.EndMap() ? std::string() : writer.ErrorText();
}

bool IsPng(const std::string& path) {
  static constexpr unsigned char Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  unsigned char head[8] = {};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  const bool png = f != nullptr && std::fread(head, 1, 8, f) == 8 && std::memcmp(head, Signature, 8) == 0;
  if (f != nullptr) std::fclose(f);
  return png;
}

std::string WriteMap(maplib::MapLibWriter& writer, VmMapLib* lib, const Item& item, bool quiet) {
  std::array<uint8_t, maplib::MapRecordSize> record{};
  Pairs pairs;
  // PNG pictures with calibration points keep their own reader and its conversion rules.
  if (!item.Calibration.empty() && IsPng(item.Picture)) {
    PngInput png;
    if (!png.Open(item.Picture)) return png.Error();
    if (std::string why = HandPairs(item, pairs); !why.empty()) return why;
    if (std::string why = Calibrate(lib, item.Name, pairs, png.Width(), png.Height(), record);
        !why.empty()) {
      return why;
    }
    return WritePicture(writer, png, item, quiet, record);
  }
  GdalInput in;
  if (!in.Open(item.Picture)) return in.Error();
  std::string why = item.Calibration.empty() ? GeoPairs(item, in, pairs) : HandPairs(item, pairs);
  if (why.empty()) why = Calibrate(lib, item.Name, pairs, in.Width(), in.Height(), record);
  return why.empty() ? WritePicture(writer, in, item, quiet, record) : why;
}

maplib::PictureFormat FormatOf(const PngInput& png) {
  maplib::PictureFormat f;
  f.Width = png.Width();
  f.Height = png.Height();
  f.BitsPerPixel = png.BitsPerPixel();
  f.Palette = png.Palette();
  return f;
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

// The rasters of a folder, in name order: files GDAL opens, less those that belong to another
// raster of the folder (world files, the picture of an OziExplorer .map, overviews).
std::string ExpandFolder(const Item& folder, std::vector<Item>& maps) {
  namespace fs = std::filesystem;
  std::error_code error;
  std::vector<fs::path> files;
  // Every step takes the error code: the throwing forms would end the program on a folder
  // that changes or refuses access while it is read.
  fs::directory_iterator at(folder.Folder, error);
  for (; !error && at != fs::directory_iterator(); at.increment(error)) {
    std::error_code kind;
    if (at->is_regular_file(kind) && at->path().filename().string()[0] != '.') files.push_back(at->path());
  }
  if (error) return "cannot read the folder " + folder.Folder + ": " + error.message();
  std::sort(files.begin(), files.end());
  std::vector<fs::path> rasters, parts;
  GDALAllRegister();
  for (const fs::path& file : files) {
    GDALDatasetH ds = GDALOpenEx(file.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (ds == nullptr) continue;
    char** list = GDALGetFileList(ds);
    for (char** at = list; at != nullptr && *at != nullptr; ++at) {
      if (fs::path(*at) != file) parts.push_back(fs::weakly_canonical(*at, error));
    }
    CSLDestroy(list);
    GDALClose(ds);
    rasters.push_back(file);
  }
  for (const fs::path& file : rasters) {
    if (std::find(parts.begin(), parts.end(), fs::weakly_canonical(file, error)) != parts.end()) continue;
    Item map = folder;
    map.Folder.clear();
    map.Picture = file.string();
    map.Name = file.stem().string().substr(0, MaxNameLength);
    maps.push_back(map);
  }
  if (maps.empty()) return "no raster GDAL can open in the folder " + folder.Folder;
  return {};
}

}  // namespace

int RunMapLibBuild(const Args& args) {
  BuildOptions o;
  if (std::string why = ParseBuild(args, o); !why.empty()) return BadUsage(Name, why);
  // GDAL's own complaints reach the user inside our messages, which name the file.
  CPLPushErrorHandler(CPLQuietErrorHandler);
  std::vector<Item> items;
  for (const Item& item : o.Items) {
    if (item.Folder.empty()) {
      items.push_back(item);
    } else if (std::string why = ExpandFolder(item, items); !why.empty()) {
      return Fail(why);
    }
  }
  o.Items = items;
  PendingFile output(o.Output);
  if (std::string why = output.Make(); !why.empty()) return Fail(why);
  maplib::MapLibWriter writer;
  if (!writer.Create(output.Path())) return Fail(writer.ErrorText());
  // The maps are made in one library, which also refuses a name used twice.
  Handle<VmViewer> viewer(Viewer_New(), Viewer_Delete);
  Handle<VmMapLib> lib(Viewer_GetMapLib(viewer.get()), MapLib_Delete);
  for (const Item& item : o.Items) {
    const std::string why =
        item.IsMap ? WriteMap(writer, lib.get(), item, o.Quiet) : WriteIcon(writer, item);
    if (!why.empty()) return Fail(why);
  }
  if (!writer.Close()) return Fail(writer.ErrorText());
  if (std::string why = output.Commit(); !why.empty()) return Fail(why);
  return 0;
}

}  // namespace cli
