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
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/PngPicture.h"
#include "support/ToolRunner.h"
#include "velmira/velmira.h"

namespace {

using velmira::test::RunTool;
using Xy = std::pair<double, double>;

constexpr int Width = 600, Height = 400;
// Pixels whose centres are the places: corners, middle and one off every axis.
const std::vector<std::pair<int, int>> Pixels = {{0, 0}, {599, 0}, {0, 399}, {599, 399}, {300, 200}, {123, 321}};

std::string NewFolder(const std::string& name) {
  const std::string folder = ::testing::TempDir() + "velmira_import_" + std::to_string(getpid()) + "_" + name + "/";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

testsupport::Rgb Code(int x, int y) {
  return {uint8_t(x & 255), uint8_t(y & 255), uint8_t((x >> 8) | (y >> 8) << 4)};
}

// A raw picture with an ENVI header GDAL reads, of `bands` bytes per pixel from `pixel`.
template <class Pixel>
void WriteRaw(const std::string& path, int bands, Pixel pixel) {
  std::ofstream raw(path + ".raw", std::ios::binary);
  for (int y = 0; y < Height; ++y) {
    for (int x = 0; x < Width; ++x) raw.write(reinterpret_cast<const char*>(pixel(x, y).data()), bands);
  }
  std::ofstream(path + ".hdr") << "ENVI\nsamples = " << Width << "\nlines = " << Height << "\nbands = " << bands
                               << "\nheader offset = 0\nfile type = ENVI Standard\n"
                                  "data type = 1\ninterleave = bip\nbyte order = 0\n";
}

// The source picture: red = column mod 256, green = row mod 256, blue = column / 256 + 16 x
// (row / 256).
void WriteSource(const std::string& folder) {
  WriteRaw(folder + "base", 3, [](int x, int y) {
    const testsupport::Rgb c = Code(x, y);
    return std::array<uint8_t, 3>{c.R, c.G, c.B};
  });
}

// An OziExplorer calibration of ozi.png: WGS 84 latitude/longitude at the four corners.
void WriteOziMap(const std::string& folder) {
  std::ofstream map(folder + "ozi.map");
  map << "OziExplorer Map Data File Version 2.2\nozi\nozi.png\n1 ,Map Code,\n"
         "WGS 84,WGS 84,   0.0000,   0.0000,WGS 84\nReserved 1\nReserved 2\nMagnetic Variation,,,E\n"
         "Map Projection,Latitude/Longitude,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No\n";
  const char* points[] = {"0,0,50,6.0,N,9,0.0,E", "600,0,50,6.0,N,9,3.6,E", "0,400,50,3.6,N,9,0.0,E",
                          "600,400,50,3.6,N,9,3.6,E"};
  int n = 0;
  for (const char* p : points) {
    std::string f(p);
    for (char& c : f) c = c == ',' ? ' ' : c;
    int x, y, latDeg, lonDeg;
    double latMin, lonMin;
    char ns, ew;
    std::sscanf(f.c_str(), "%d %d %d %lf %c %d %lf %c", &x, &y, &latDeg, &latMin, &ns, &lonDeg, &lonMin, &ew);
    char line[200];
    std::snprintf(line, sizeof line, "Point%02d,xy,%5d,%5d,in, deg,%4d,%6.1f,%c,%4d,%6.1f,%c, grid,   ,           ,           ,N\n",
                  ++n, x, y, latDeg, latMin, ns, lonDeg, lonMin, ew);
    map << line;
  }
  map << "Projection Setup,,,,,,,,,,\nMM0,Yes\nIWH,Map Image Width/Height," << Width << "," << Height << "\n";
}

bool Shell(const std::string& folder, const std::string& command) {
  return std::system(("cd " + folder + " && (" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

// gdaltransform ARGS on the points (GDAL's pixel/line to coordinates, longitude first).
std::vector<Xy> GdalTransform(const std::string& folder, const std::string& args, const std::vector<Xy>& in) {
  {
    std::ofstream points(folder + "points.txt");
    points.precision(17);
    for (const Xy& p : in) points << p.first << " " << p.second << "\n";
  }
  std::vector<Xy> out;
  FILE* pipe = popen(("cd " + folder + " && gdaltransform -output_xy " + args + " < points.txt").c_str(), "r");
  for (double a, b; pipe != nullptr && std::fscanf(pipe, "%lf %lf", &a, &b) == 2;) out.emplace_back(a, b);
  if (pipe != nullptr) pclose(pipe);
  return out;
}

// The map pixel where the library puts a position given on `datum`.
bool Place(const std::string& file, int16_t datum, const Xy& lonLat, int32_t& x, int32_t& y) {
  VmViewer* viewer = Viewer_New();
  const std::u16string name(file.begin(), file.end()), map(u"m");
  Viewer_Open(viewer, name.c_str());
  Map_Delete(Viewer_ActiveMapData(viewer, map.c_str()));
  VmPosition* p = Position_New();
  Position_SetDatum(p, datum);
  Position_SetLatitudeDecDeg(p, &lonLat.second);
  Position_SetLongitudeDecDeg(p, &lonLat.first);
  VmPoint* point = Viewer_Position2Point(viewer, p);
  const bool placed = point != nullptr && Error_ErrNum(Viewer_GetErrHandle(viewer)) == 0;
  x = placed ? Point_GetX(point) : -1;
  y = placed ? Point_GetY(point) : -1;
  Point_Delete(point);
  Position_Delete(p);
  Viewer_Delete(viewer);
  return placed;
}

// The source pixel whose colour `velmira render` shows at a WGS 84 place: the centre pixel of
// a 3 x 3 view.
bool Shown(const std::string& folder, const std::string& file, const Xy& lonLat, int& x, int& y) {
  char where[128];
  std::snprintf(where, sizeof where, " --lat %.10f --lon %.10f --size 3x3 -o ", lonLat.second, lonLat.first);
  if (RunTool("render " + file + where + folder + "one.png").Status != 0) return false;
  const testsupport::Picture p = testsupport::ReadPng(folder + "one.png");
  if (p.Pixels.size() != 9) return false;
  const testsupport::Rgb c = p.At(1, 1);
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

struct Fixture {
  const char* Name;
  std::string Make;     // shell commands in the folder; base.raw is the source picture
  const char* Input;    // the file given to velmira
  const char* Options;  // more options of the map
  const char* Places;   // the raster whose pixels are the places
  const char* PlaceCrs; // latitude/longitude CRS of the places
  int16_t Datum;        // the library's datum of that CRS
  bool Warped;
};

const Fixture Fixtures[] = {
    {"UTM 32N", "gdal_translate -a_srs EPSG:32632 -a_ullr 480000 5550000 486000 5546000 base.raw in.tif",
     "in.tif", "", "in.tif", "EPSG:4326", 1, false},
    {"British National Grid", "gdal_translate -a_srs EPSG:27700 -a_ullr 530000 181000 536000 177000 base.raw in.tif",
     "in.tif", "", "in.tif", "EPSG:4277", 3, false},
    {"Swiss LV03", "gdal_translate -a_srs EPSG:21781 -a_ullr 600000 200000 603000 198000 base.raw in.tif",
     "in.tif", "", "in.tif", "EPSG:4149", 4, false},
    {"Dutch RD", "gdal_translate -a_srs EPSG:28992 -a_ullr 120000 490000 126000 486000 base.raw in.tif",
     "in.tif", "", "in.tif", "EPSG:4289", 24, false},
    {"geographic WGS 84", "gdal_translate -a_srs EPSG:4326 -a_ullr 9.0 50.1 9.06 50.06 base.raw in.tif",
     "in.tif", "", "in.tif", "EPSG:4326", 1, false},
    {"State Plane California 3, US feet",
     "gdal_translate -a_srs EPSG:2227 -a_ullr 6000000 2100000 6012000 2092000 base.raw in.tif",
     "in.tif", "", "in.tif", "EPSG:4269", 19, false},
    {"Gauss-Krueger zone 3 with its zone prefix",
     "gdal_translate -a_srs EPSG:31467 -a_ullr 3480000 5550000 3486000 5546000 base.raw in.tif",
     "in.tif", "", "in.tif", "EPSG:4314", 18, false},
    {"GeoTIFF PixelIsPoint",
     "gdal_translate -mo AREA_OR_POINT=Point -a_srs EPSG:32632 -a_ullr 480000 5550000 486000 5546000 base.raw in.tif",
     "in.tif", "", "in.tif", "EPSG:4326", 1, false},
    {"world file with rotation (pixel centres)",
     "gdal_translate -of PNG -a_srs EPSG:32632 base.raw in.png && printf '8\\n6\\n6\\n-8\\n480007\\n5549999\\n' > in.wld",
     "in.png", "", "in.png", "EPSG:4326", 1, false},
    {"control points fitting an affine transform",
     "gdal_translate -a_srs EPSG:32632 -gcp 0 0 480000 5550000 -gcp 600 0 486000 5550000"
     " -gcp 0 400 480000 5546000 -gcp 600 400 486000 5546000 -gcp 300 200 483000 5548000 base.raw in.tif",
     "in.tif", "", "in.tif", "EPSG:4326", 1, false},
    {"world file", "gdal_translate -a_srs EPSG:32632 -a_ullr 480000 5550000 486000 5546000 base.raw ref.tif"
     " && gdal_translate -of PNG -co WORLDFILE=YES ref.tif in.png",
     "in.png", "", "ref.tif", "EPSG:4326", 1, false},
    {"OziExplorer .map", "gdal_translate -of PNG base.raw ozi.png", "ozi.map", "", "ozi.map", "EPSG:4326", 1, false},
    {"Web Mercator GeoTIFF", "gdal_translate -a_srs EPSG:3857 -a_ullr 1000000 6500000 1006000 6496000 base.raw in.tif",
     "in.tif", "--resampling near", "in.tif", "EPSG:4326", 1, true},
    {"MBTiles", "gdal_translate -a_srs EPSG:32632 -a_ullr 480000 5550000 486000 5546000 base.raw ref.tif"
     " && gdal_translate -of MBTILES -co RESAMPLING=NEAREST -co ZOOM_LEVEL_STRATEGY=UPPER ref.tif in.mbtiles",
     "in.mbtiles", "--resampling near", "ref.tif", "EPSG:4326", 1, true},
    {"control points no affine transform fits", MercatorControlPoints(), "in.tif", "--resampling near", "in.tif",
     "EPSG:4326", 1, true},
    {"control points into UTM 31 as asked",
     "gdal_translate -a_srs EPSG:32632 -gcp 0 0 480000 5550000 -gcp 600 0 486000 5550000"
     " -gcp 0 400 480000 5546000 -gcp 300 200 483000 5548000 base.raw in.tif",
     "in.tif", "--to-grid 1 --zone 31 --resampling near", "in.tif", "EPSG:4326", 1, true},
};

TEST(GeoImport, EveryGeoreferencedRasterPutsGdalsPlacesOnTheirPixels) {
  for (const Fixture& f : Fixtures) {
    SCOPED_TRACE(f.Name);
    const std::string folder = NewFolder("fixture");
    WriteSource(folder);
    if (std::string(f.Input) == "ozi.map") WriteOziMap(folder);
    ASSERT_TRUE(Shell(folder, f.Make)) << f.Make;
    const std::string file = folder + "out.vml";
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
    const std::vector<Xy> places = GdalTransform(folder, std::string("-t_srs ") + f.PlaceCrs + " " + f.Places, centres);
    ASSERT_EQ(places.size(), centres.size());
    for (size_t i = 0; i < places.size(); ++i) {
      const auto [px, py] = pixels[i];
      int32_t x = 0, y = 0;
      int sx = 0, sy = 0;
      if (f.Warped) {
        // Two nearest-neighbour resamplings may each move a place by half a pixel.
        ASSERT_TRUE(Shown(folder, file, places[i], sx, sy)) << "pixel " << px << "," << py;
        EXPECT_LE(std::abs(sx - px), 1) << "pixel " << px << "," << py << " shows source pixel " << sx << "," << sy;
        EXPECT_LE(std::abs(sy - py), 1) << "pixel " << px << "," << py << " shows source pixel " << sx << "," << sy;
      } else {
        ASSERT_TRUE(Place(file, f.Datum, places[i], x, y)) << "pixel " << px << "," << py;
        EXPECT_TRUE(x == px && y == py) << "the centre of pixel " << px << "," << py << " is placed at " << x << "," << y;
      }
    }
    std::filesystem::remove_all(folder);
  }
}

TEST(GeoImport, BadRastersAreRefusedNamingTheFileWithoutOutput) {
  const struct {
    const char* Name;
    const char* Make;
    const char* Input;
    const char* Options;
    const char* Says;
  } cases[] = {
      {"no georeferencing and no --calib", "gdal_translate base.raw in.tif", "in.tif", "", "no georeferencing"},
      {"a CRS the library lacks, with --no-warp",
       "gdal_translate -a_srs EPSG:3857 -a_ullr 1000000 6500000 1006000 6496000 base.raw in.tif", "in.tif",
       "--no-warp", "not warped"},
      {"a truncated GeoTIFF",
       "gdal_translate -a_srs EPSG:32632 -a_ullr 480000 5550000 486000 5546000 base.raw whole.tif && head -c $(( $(stat -c %s whole.tif) / 2 )) whole.tif > in.tif",
       "in.tif", "", "cannot read"},
      {"a missing file", "true", "in.tif", "", "No such file"},
      {"a header claiming two billion columns",
       "echo '<VRTDataset rasterXSize=\"2000000000\" rasterYSize=\"3\"><SRS>EPSG:32632</SRS>"
       "<GeoTransform>480000, 0.00001, 0, 5550000, 0, -0.00001</GeoTransform>"
       "<VRTRasterBand dataType=\"Byte\" band=\"1\"/></VRTDataset>' > in.vrt",
       "in.vrt", "", "at most 1000000 on a side"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string folder = NewFolder("bad");
    WriteSource(folder);
    ASSERT_TRUE(Shell(folder, c.Make));
    const auto r = RunTool("maplib build -o " + folder + "out.vml --map m " + folder + c.Input + " " + c.Options);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Errors.find(folder + c.Input), std::string::npos) << r.Errors;
    EXPECT_NE(r.Errors.find(c.Says), std::string::npos) << r.Errors;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      EXPECT_EQ(e.path().filename().string().rfind("out.vml", 0), std::string::npos) << e.path();
    }
    std::filesystem::remove_all(folder);
  }
}

// What each kind of raster is stored as: its depth and the colour of every pixel, from the
// conversion rules (alpha over white, 16-bit samples scaled, grey to all colours, nodata white).
uint8_t OverWhite(int c, int a) { return uint8_t((c * a + 255 * (255 - a) + 127) / 255); }
testsupport::Rgb Entry(int i) { return {uint8_t(i * 37 & 255), uint8_t(255 - i), uint8_t(i * 5 & 255)}; }

// A palette of `colours` entries over indices (x + y) mod colours, as a VRT on a raw picture.
std::string PaletteRaster(const std::string& folder, int colours) {
  WriteRaw(folder + "index", 1, [colours](int x, int y) { return std::array<uint8_t, 1>{uint8_t((x + y) % colours)}; });
  std::ofstream vrt(folder + "in.vrt");
  vrt << "<VRTDataset rasterXSize='" << Width << "' rasterYSize='" << Height << "'><SRS>EPSG:32632</SRS>"
      << "<GeoTransform>480000, 10, 0, 5550000, 0, -10</GeoTransform><VRTRasterBand dataType='Byte' band='1'>"
      << "<ColorInterp>Palette</ColorInterp><ColorTable>";
  for (int i = 0; i < colours; ++i) {
    const testsupport::Rgb c = Entry(i);
    vrt << "<Entry c1='" << int(c.R) << "' c2='" << int(c.G) << "' c3='" << int(c.B) << "' c4='255'/>";
  }
  vrt << "</ColorTable><SimpleSource><SourceFilename relativeToVRT='1'>index.raw</SourceFilename>"
      << "<SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>";
  return "true";
}

TEST(GeoImport, EveryKindOfRasterIsStoredInTheColoursOfItsRules) {
  using testsupport::Rgb;
  const std::string georef = " -a_srs EPSG:32632 -a_ullr 480000 5550000 486000 5546000 base.raw in.tif";
  const struct {
    const char* Name;
    std::string Make;  // empty: a palette of Colours entries
    int Colours, Bits;
    std::function<Rgb(int, int)> Expected;
  } kinds[] = {
      {"RGB", "gdal_translate" + georef, 0, 24, Code},
      {"grey", "gdal_translate -b 2" + georef, 0, 24, [](int x, int y) { const uint8_t g = Code(x, y).G; return Rgb{g, g, g}; }},
      {"grey, 16 bits", "gdal_translate -b 2 -ot UInt16 -scale 0 255 0 65535" + georef, 0, 24,
       [](int x, int y) { const uint8_t g = Code(x, y).G; return Rgb{g, g, g}; }},
      {"RGBA", "gdal_translate -b 1 -b 2 -b 3 -b 2 -colorinterp_4 alpha" + georef, 0, 24, [](int x, int y) {
         const Rgb c = Code(x, y);
         return Rgb{OverWhite(c.R, c.G), OverWhite(c.G, c.G), OverWhite(c.B, c.G)};
       }},
      {"16-bit RGB with an 8-bit alpha band (a VRT)",
       "gdal_translate -of VRT -ot UInt16 -scale_1 0 255 0 65535 -scale_2 0 255 0 65535 -scale_3 0 255 0 65535"
       " -b 1 -b 2 -b 3 -b 2 -colorinterp_4 alpha" + georef +
           " && sed -i 's/dataType=\"UInt16\" band=\"4\"/dataType=\"Byte\" band=\"4\"/' in.tif",
       0, 24, [](int x, int y) {
         const Rgb c = Code(x, y);
         return Rgb{OverWhite(c.R, c.G), OverWhite(c.G, c.G), OverWhite(c.B, c.G)};
       }},
      {"RGB with nodata 0", "gdal_translate -a_nodata 0" + georef, 0, 24,
       [](int x, int y) { return x == 0 && y == 0 ? testsupport::White : Code(x, y); }},
      {"palette of 2", "", 2, 1, [](int x, int y) { return Entry((x + y) % 2); }},
      {"palette of 16", "", 16, 4, [](int x, int y) { return Entry((x + y) % 16); }},
      {"palette of 256", "", 256, 8, [](int x, int y) { return Entry((x + y) % 256); }},
  };
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.Name);
    const std::string folder = NewFolder("kind"), file = folder + "out.vml";
    WriteSource(folder);
    const std::string input = k.Make.empty() ? (PaletteRaster(folder, k.Colours), "in.vrt") : "in.tif";
    ASSERT_TRUE(k.Make.empty() || Shell(folder, k.Make)) << k.Make;
    ASSERT_EQ(RunTool("maplib build -o " + file + " --map m " + folder + input).Status, 0);
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 176u);
    EXPECT_EQ(bytes[12 + 8 + 134 + 8 + 14], k.Bits) << "the depth in the picture header after the map record";
    // The centre of pixel (300, 200) on the centre pixel of a view as large as the map: view
    // pixels are map pixels.
    const std::vector<Xy> centre = GdalTransform(folder, "-t_srs EPSG:4326 " + folder + input, {{300.5, 200.5}});
    ASSERT_EQ(centre.size(), 1u);
    char where[128];
    std::snprintf(where, sizeof where, " --lat %.10f --lon %.10f --size %dx%d -o ", centre[0].second,
                  centre[0].first, Width, Height);
    ASSERT_EQ(RunTool("render " + file + where + folder + "view.png").Status, 0);
    const testsupport::Picture view = testsupport::ReadPng(folder + "view.png");
    ASSERT_EQ(view.Pixels.size(), size_t(Width) * Height);
    int wrong = 0;
    for (int y = 0; y < Height; ++y) {
      for (int x = 0; x < Width; ++x) {
        if (view.At(x, y) != k.Expected(x, y) && wrong++ < 3) {
          ADD_FAILURE() << "pixel " << x << "," << y << " is " << view.At(x, y) << ", not " << k.Expected(x, y);
        }
      }
    }
    EXPECT_EQ(wrong, 0);
    std::filesystem::remove_all(folder);
  }
}

}  // namespace
