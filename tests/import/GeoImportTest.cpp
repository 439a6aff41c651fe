// velmira maplib build from georeferenced rasters that GDAL's own tools make at run time from
// one small picture: each place is the centre of a pixel of the source raster, its coordinates
// given by gdaltransform, and the built map must put it on that pixel. Maps taken as they
// stand are checked with the library's Position2Point on the raster's own datum (so that the
// places need no datum shift); warped maps through `velmira render`, whose one-pixel view of a
// WGS 84 place shows the colour of the source pixel there (each pixel's colour encodes its
// column and row).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/PictureFiles.h"
#include "support/ToolRunner.h"

namespace {

using namespace picturefiles;
using velmira::test::RunTool;
using Xy = std::pair<double, double>;

constexpr int Width = 600, Height = 400;
// Pixels whose centres are the places: corners, middle and one off every axis.
const std::vector<std::pair<int, int>> Pixels = {{0, 0}, {599, 0}, {0, 399}, {599, 399}, {300, 200}, {123, 321}};

Rgb Code(int x, int y) { return {uint8_t(x & 255), uint8_t(y & 255), uint8_t((x >> 8) | (y >> 8) << 4)}; }

// A raw picture with an ENVI header GDAL reads, of `bands` bytes per pixel from `pixel`.
template <class Pixel>
void WriteRaw(const std::string& path, int bands, Pixel pixel) {
  std::ofstream raw(path + ".raw", std::ios::binary);
  for (int i = 0; i < Width * Height; ++i) raw.write(reinterpret_cast<const char*>(pixel(i % Width, i / Width).data()), bands);
  std::ofstream(path + ".hdr") << "ENVI\nsamples = " << Width << "\nlines = " << Height << "\nbands = " << bands
                               << "\nheader offset = 0\nfile type = ENVI Standard\n"
                                  "data type = 1\ninterleave = bip\nbyte order = 0\n";
}

// The source picture base.raw in a new folder: red = column mod 256, green = row mod 256,
// blue = column / 256 + 16 x (row / 256).
std::string SourceFolder(const std::string& name) {
  const std::string folder = NewFolder("import_" + name);
  WriteRaw(folder + "base", 3, [](int x, int y) { return std::array<uint8_t, 3>{Code(x, y).R, Code(x, y).G, Code(x, y).B}; });
  return folder;
}

// An OziExplorer calibration of ozi.png: WGS 84 latitude/longitude at the four corners.
void WriteOziMap(const std::string& folder) {
  std::ofstream map(folder + "ozi.map");
  map << "OziExplorer Map Data File Version 2.2\nozi\nozi.png\n1 ,Map Code,\n"
         "WGS 84,WGS 84,   0.0000,   0.0000,WGS 84\nReserved 1\nReserved 2\nMagnetic Variation,,,E\n"
         "Map Projection,Latitude/Longitude,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No\n";
  const struct { int X, Y; double LatMinutes, LonMinutes; } corners[] = {{0, 0, 6, 0}, {600, 0, 6, 3.6}, {0, 400, 3.6, 0}, {600, 400, 3.6, 3.6}};
  for (const auto& c : corners) {
    char line[200];
    std::snprintf(line, sizeof line, "Point%02d,xy,%5d,%5d,in, deg,  50,%6.1f,N,   9,%6.1f,E, grid,   ,           ,           ,N\n",
                  int(&c - corners) + 1, c.X, c.Y, c.LatMinutes, c.LonMinutes);
    map << line;
  }
  map << "Projection Setup,,,,,,,,,,\nMM0,Yes\nIWH,Map Image Width/Height," << Width << "," << Height << "\n";
}

bool Shell(const std::string& folder, const std::string& command) {
  return std::system(("cd " + folder + " && (" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

// gdaltransform ARGS on the points (GDAL's pixel/line to coordinates, longitude first).
std::vector<Xy> GdalTransform(const std::string& folder, const std::string& args, const std::vector<Xy>& in) {
  std::ofstream points(folder + "points.txt");
  points.precision(17);
  for (const Xy& p : in) points << p.first << " " << p.second << "\n";
  points.close();
  std::istringstream text(velmira::test::CommandOutput("cd " + folder + " && gdaltransform -output_xy " + args + " < points.txt"));
  std::vector<Xy> out;
  for (double a, b; text >> a >> b;) out.emplace_back(a, b);
  return out;
}

// The source pixel whose colour `velmira render` shows at a WGS 84 place: the centre pixel of
// a 3 x 3 view.
bool Shown(const std::string& folder, const std::string& file, const Xy& lonLat, int32_t& x, int32_t& y) {
  if (RunTool("render " + file + ViewAt(lonLat.second, lonLat.first, 3, 3) + "-o " + folder + "one.png").Status != 0) return false;
  const Picture p = ReadPng(folder + "one.png");
  if (p.Pixels.size() != 9) return false;
  const Rgb c = p.At(1, 1);
  x = c.R | (c.B & 15) << 8;
  y = c.G | (c.B >> 4) << 8;
  return true;
}

// gdal_translate with nine control points in WGS 84 latitude/longitude of a Web Mercator
// picture of 4 x 4 degrees: no affine transform fits them within a pixel.
std::string MercatorControlPoints() {
  constexpr double Pi = 3.14159265358979323846, Lon0 = 8, Lon1 = 12, Lat0 = 52, Lat1 = 48;
  const auto mercatorY = [](double lat) { return std::log(std::tan(Pi / 4 + lat * Pi / 360)); };
  std::string command = "gdal_translate -a_srs EPSG:4326";
  for (int px : {0, Width / 2, Width}) {
    for (int py : {0, Height / 2, Height}) {
      const double y = mercatorY(Lat0) + (mercatorY(Lat1) - mercatorY(Lat0)) * py / Height;
      char gcp[96];
      std::snprintf(gcp, sizeof gcp, " -gcp %d %d %.9f %.9f", px, py, Lon0 + (Lon1 - Lon0) * px / Width,
                    (2 * std::atan(std::exp(y)) - Pi / 2) * 180 / Pi);
      command += gcp;
    }
  }
  return command + " base.raw in.tif";
}

// gdal_translate of the source picture with these options.
std::string Translate(const std::string& options, const std::string& out = "in.tif") { return "gdal_translate " + options + " base.raw " + out; }
const std::string Utm32 = "-a_srs EPSG:32632 -a_ullr 480000 5550000 486000 5546000";
const std::string Utm32Gcps = "-a_srs EPSG:32632 -gcp 0 0 480000 5550000 -gcp 600 0 486000 5550000 -gcp 300 200 483000 5548000";

struct Fixture {
  const char* Name;
  std::string Make;                    // shell commands in the folder; base.raw is the source picture
  const char* PlaceCrs = "EPSG:4326";  // latitude/longitude CRS of the places
  int16_t Datum = 1;                   // the library's datum of that CRS
  const char* Input = "in.tif";        // the file given to velmira
  const char* Places = nullptr;        // the raster whose pixels are the places, if not the input
  const char* Options = "";            // more options of the map
  bool Warped = false;
};

const Fixture Fixtures[] = {
    {"UTM 32N", Translate(Utm32)},
    {"British National Grid", Translate("-a_srs EPSG:27700 -a_ullr 530000 181000 536000 177000"), "EPSG:4277", 3},
    {"Swiss LV03", Translate("-a_srs EPSG:21781 -a_ullr 600000 200000 603000 198000"), "EPSG:4149", 4},
    {"Dutch RD", Translate("-a_srs EPSG:28992 -a_ullr 120000 490000 126000 486000"), "EPSG:4289", 24},
    {"geographic WGS 84", Translate("-a_srs EPSG:4326 -a_ullr 9.0 50.1 9.06 50.06")},
    {"State Plane California 3, US feet", Translate("-a_srs EPSG:2227 -a_ullr 6000000 2100000 6012000 2092000"), "EPSG:4269", 19},
    {"Gauss-Krueger zone 3 with its zone prefix", Translate("-a_srs EPSG:31467 -a_ullr 3480000 5550000 3486000 5546000"), "EPSG:4314", 18},
    {"GeoTIFF PixelIsPoint", Translate("-mo AREA_OR_POINT=Point " + Utm32)},
    {"world file with rotation (pixel centres)",
     Translate("-of PNG -a_srs EPSG:32632", "in.png") + " && printf '8\\n6\\n6\\n-8\\n480007\\n5549999\\n' > in.wld", "EPSG:4326", 1, "in.png"},
    {"control points fitting an affine transform", Translate(Utm32Gcps + " -gcp 0 400 480000 5546000 -gcp 600 400 486000 5546000")},
    {"world file", Translate(Utm32, "ref.tif") + " && gdal_translate -of PNG -co WORLDFILE=YES ref.tif in.png", "EPSG:4326", 1, "in.png", "ref.tif"},
    {"OziExplorer .map", Translate("-of PNG", "ozi.png"), "EPSG:4326", 1, "ozi.map"},
    {"Web Mercator GeoTIFF", Translate("-a_srs EPSG:3857 -a_ullr 1000000 6500000 1006000 6496000"), "EPSG:4326", 1, "in.tif", nullptr,
     "--resampling near", true},
    {"MBTiles", Translate(Utm32, "ref.tif") + " && gdal_translate -of MBTILES -co RESAMPLING=NEAREST -co ZOOM_LEVEL_STRATEGY=UPPER ref.tif in.mbtiles",
     "EPSG:4326", 1, "in.mbtiles", "ref.tif", "--resampling near", true},
    {"control points no affine transform fits", MercatorControlPoints(), "EPSG:4326", 1, "in.tif", nullptr, "--resampling near", true},
    {"control points into UTM 31 as asked", Translate(Utm32Gcps + " -gcp 0 400 480000 5546000"), "EPSG:4326", 1, "in.tif", nullptr,
     "--to-grid 1 --zone 31 --resampling near", true},
};

TEST(GeoImport, EveryGeoreferencedRasterPutsGdalsPlacesOnTheirPixels) {
  for (const Fixture& f : Fixtures) {
    SCOPED_TRACE(f.Name);
    const std::string folder = SourceFolder("fixture"), file = folder + "out.vml";
    if (std::string(f.Input) == "ozi.map") WriteOziMap(folder);
    ASSERT_TRUE(Shell(folder, f.Make)) << f.Make;
    const auto built = RunTool("maplib build -o " + file + " --map m " + folder + f.Input + " " + f.Options);
    ASSERT_EQ(built.Status, 0) << built.Errors;
    EXPECT_EQ(built.Errors.find("warped") != std::string::npos, f.Warped) << built.Errors;
    // A warped pixel at the edge may be mostly outside the source, and white: warped maps are
    // checked a few pixels inside.
    const int inset = f.Warped ? 3 : 0;
    std::vector<std::pair<int, int>> pixels;
    std::vector<Xy> centres;
    for (const auto& [x, y] : Pixels) {
      pixels.emplace_back(std::clamp(x, inset, Width - 1 - inset), std::clamp(y, inset, Height - 1 - inset));
      centres.emplace_back(pixels.back().first + 0.5, pixels.back().second + 0.5);
    }
    const std::vector<Xy> places = GdalTransform(folder, std::string("-t_srs ") + f.PlaceCrs + " " + (f.Places ? f.Places : f.Input), centres);
    ASSERT_EQ(places.size(), centres.size());
    for (size_t i = 0; i < places.size(); ++i) {
      const auto [px, py] = pixels[i];
      int32_t x = 0, y = 0;
      // Warped: the source pixel shown there, where two nearest-neighbour resamplings may each
      // move a place by half a pixel. Else the map pixel the library puts the place on.
      ASSERT_TRUE(f.Warped ? Shown(folder, file, places[i], x, y) : LibraryView(file, "m").Pixel(places[i].second, places[i].first, x, y, f.Datum))
          << "pixel " << px << "," << py;
      EXPECT_LE(std::max(std::abs(x - px), std::abs(y - py)), f.Warped ? 1 : 0) << "the centre of pixel " << px << "," << py << " is at " << x << "," << y;
    }
  }
}

TEST(GeoImport, BadRastersAreRefusedNamingTheFileWithoutOutput) {
  const struct { const char* Name; std::string Make; const char* Options; const char* Says; } cases[] = {
      {"no georeferencing and no --calib", Translate(""), "", "no georeferencing"},
      {"a CRS the library lacks, with --no-warp", Translate("-a_srs EPSG:3857 -a_ullr 1000000 6500000 1006000 6496000"), "--no-warp", "not warped"},
      {"a truncated GeoTIFF", Translate(Utm32, "whole.tif") + " && head -c $(( $(stat -c %s whole.tif) / 2 )) whole.tif > in.tif", "", "cannot read"},
      {"a missing file", "true", "", "No such file"},
      {"a header claiming two billion columns (a VRT)",
       "echo '<VRTDataset rasterXSize=\"2000000000\" rasterYSize=\"3\"><SRS>EPSG:32632</SRS>"
       "<GeoTransform>480000, 0.00001, 0, 5550000, 0, -0.00001</GeoTransform>"
       "<VRTRasterBand dataType=\"Byte\" band=\"1\"/></VRTDataset>' > in.tif",
       "", "at most 1000000 on a side"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string folder = SourceFolder("bad");
    ASSERT_TRUE(Shell(folder, c.Make));
    const auto r = RunTool("maplib build -o " + folder + "out.vml --map m " + folder + "in.tif " + c.Options);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Errors.find(folder + "in.tif"), std::string::npos) << r.Errors;
    EXPECT_NE(r.Errors.find(c.Says), std::string::npos) << r.Errors;
    for (const std::string& name : FilesIn(folder)) EXPECT_FALSE(name.starts_with("out.vml")) << name;
  }
}

// What each kind of raster is stored as: its depth and the colour of every pixel, from the
// conversion rules (alpha over white, 16-bit samples scaled, grey to all colours, nodata white).
uint8_t OverWhite(int c, int a) { return uint8_t((c * a + 255 * (255 - a) + 127) / 255); }
Rgb Entry(int i) { return {uint8_t(i * 37 & 255), uint8_t(255 - i), uint8_t(i * 5 & 255)}; }
Rgb Grey(int x, int y) { return {Code(x, y).G, Code(x, y).G, Code(x, y).G}; }

// A palette of `colours` entries over indices (x + y) mod colours, as a VRT on a raw picture.
void WritePaletteRaster(const std::string& folder, int colours) {
  WriteRaw(folder + "index", 1, [colours](int x, int y) { return std::array<uint8_t, 1>{uint8_t((x + y) % colours)}; });
  std::ofstream vrt(folder + "in.vrt");
  vrt << "<VRTDataset rasterXSize='" << Width << "' rasterYSize='" << Height << "'><SRS>EPSG:32632</SRS>"
      << "<GeoTransform>480000, 10, 0, 5550000, 0, -10</GeoTransform><VRTRasterBand dataType='Byte' band='1'>"
      << "<ColorInterp>Palette</ColorInterp><ColorTable>";
  for (int i = 0; i < colours; ++i) vrt << "<Entry c1='" << int(Entry(i).R) << "' c2='" << int(Entry(i).G) << "' c3='" << int(Entry(i).B) << "' c4='255'/>";
  vrt << "</ColorTable><SimpleSource><SourceFilename relativeToVRT='1'>index.raw</SourceFilename>"
      << "<SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>";
}

TEST(GeoImport, EveryKindOfRasterIsStoredInTheColoursOfItsRules) {
  const struct {
    const char* Name;
    std::string Make;  // empty: a palette of Colours entries
    int Colours, Bits;
    std::function<Rgb(int, int)> Expected = {};  // none: the palette's
  } kinds[] = {
      {"RGB", Translate(Utm32), 0, 24, Code},
      {"grey", Translate("-b 2 " + Utm32), 0, 24, Grey},
      {"grey, 16 bits", Translate("-b 2 -ot UInt16 -scale 0 255 0 65535 " + Utm32), 0, 24, Grey},
      {"RGBA", Translate("-b 1 -b 2 -b 3 -b 2 -colorinterp_4 alpha " + Utm32), 0, 24, [](int x, int y) {
         const Rgb c = Code(x, y);
         return Rgb{OverWhite(c.R, c.G), OverWhite(c.G, c.G), OverWhite(c.B, c.G)};
       }},
      {"16-bit RGB with an 8-bit alpha band (a VRT)",
       Translate("-of VRT -ot UInt16 -scale_1 0 255 0 65535 -scale_2 0 255 0 65535 -scale_3 0 255 0 65535"
                 " -b 1 -b 2 -b 3 -b 2 -colorinterp_4 alpha " + Utm32) +
           " && sed -i 's/dataType=\"UInt16\" band=\"4\"/dataType=\"Byte\" band=\"4\"/' in.tif",
       0, 24, [](int x, int y) {
         const Rgb c = Code(x, y);
         return Rgb{OverWhite(c.R, c.G), OverWhite(c.G, c.G), OverWhite(c.B, c.G)};
       }},
      {"RGB with nodata 0", Translate("-a_nodata 0 " + Utm32), 0, 24, [](int x, int y) { return x == 0 && y == 0 ? White : Code(x, y); }},
      {"palette of 2", "", 2, 1}, {"palette of 16", "", 16, 4}, {"palette of 256", "", 256, 8},
  };
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.Name);
    const std::string folder = SourceFolder("kind"), file = folder + "out.vml", input = k.Make.empty() ? "in.vrt" : "in.tif";
    if (k.Make.empty()) WritePaletteRaster(folder, k.Colours);
    ASSERT_TRUE(k.Make.empty() || Shell(folder, k.Make)) << k.Make;
    ASSERT_EQ(RunTool("maplib build -o " + file + " --map m " + folder + input).Status, 0);
    EXPECT_EQ(StoredDepth(file), k.Bits);
    // The centre of pixel (300, 200) on the centre pixel of a view as large as the map: view
    // pixels are map pixels.
    const std::vector<Xy> centre = GdalTransform(folder, "-t_srs EPSG:4326 " + folder + input, {{300.5, 200.5}});
    ASSERT_EQ(centre.size(), 1u);
    ASSERT_EQ(RunTool("render " + file + ViewAt(centre[0].second, centre[0].first, Width, Height) + "-o " + folder + "view.png").Status, 0);
    const Picture view = ReadPng(folder + "view.png");
    ASSERT_EQ(view.Pixels.size(), size_t(Width) * Height);
    int wrong = 0;
    for (int i = 0, x = 0, y = 0; i < Width * Height; ++i, x = i % Width, y = i / Width) {
      const Rgb want = k.Expected ? k.Expected(x, y) : Entry((x + y) % k.Colours);
      if (view.At(x, y) != want && wrong++ < 3) ADD_FAILURE() << "pixel " << x << "," << y << " is " << view.At(x, y) << ", not " << want;
    }
    EXPECT_EQ(wrong, 0);
  }
}

}  // namespace
