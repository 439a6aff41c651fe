// velmira maplib build and info, and velmira render, as a user runs them: PNG pictures of every
// kind become maps, stored at their depth, with calibrations that the library places where they
// were given, that render at zoom 1 without rotation as the picture moved so that the asked
// position lies on the centre pixel; refusals of maplib and render leave no file behind; icons
// keep their transparent pixels, a track runs between the fixes of an NMEA log.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "support/GpsMessages.h"
#include "support/PictureFiles.h"
#include "support/ToolRunner.h"

namespace {

using namespace picturefiles;
using velmira::test::RunTool;
using velmira::test::ToolResult;

// Where the picture, centred on map pixel (cx, cy), differs from the map of PNG kind k (beyond
// it white, but for palette maps, which show their all-ones index there): the count and the first.
std::string Differences(const Picture& p, const PngKind& k, int32_t cx, int32_t cy) {
  int wrong = 0;
  std::string first;
  for (int32_t oy = 0; oy < p.Height; ++oy) {
    for (int32_t ox = 0; ox < p.Width; ++ox) {
      const int32_t x = ox - p.Width / 2 + cx, y = oy - p.Height / 2 + cy;
      const bool inside = x >= 0 && y >= 0 && x < k.Width && y < k.Height;
      if ((inside || k.Colours == 0) && p.At(ox, oy) != (inside ? Expected(k, x, y) : White) && wrong++ == 0) first = std::to_string(ox) + "," + std::to_string(oy);
    }
  }
  return wrong == 0 ? "" : std::to_string(wrong) + " pixels differ, first " + first;
}

TEST(MapLibTool, EveryKindOfPngBecomesAFileThatReadsBackPixelForPixelWithItsCalibration) {
  // Calibration: at most three points LAT,LON,X,Y
  const struct { PngKind Kind; int StoredBits; const char* Where; const char* Calibration; } cases[] = {
      {{3, 1, 2, false, 300, 260}, 1, "", "48.2,11.5,100,80"},
      {{3, 2, 3, false, 40, 300}, 4, "--datum 3", "48.2,11.5,0,0;48.1,11.7,39,299"},
      {{3, 4, 12, true, 257, 513}, 4, "--grid 1 --zone 32", "48.2,11.5,10,20;48.1,11.7,300,220;48,11.52,40,420"},
      {{3, 8, 200, false, 513, 100}, 8, "--grid 1", "48.2,11.5,0,0;48.1,11.7,512,99"},
      {{2, 8, 0, false, 600, 270}, 24, "", "48.2,11.5,0,0;48.1,11.7,599,269"},
      {{6, 16, 0, false, 100, 90}, 24, "", "48.2,11.5,0,0;48.1,11.7,99,89"},
      {{0, 4, 0, false, 31, 257}, 24, "", "-33.9,151.2,0,0;-34,151.3,30,256"},
      {{4, 8, 0, false, 70, 20}, 24, "", "0.5,-0.5,0,0;-0.5,0.5,69,19"},
  };
  for (const auto& c : cases) {
    const PngKind& k = c.Kind;
    SCOPED_TRACE("colour type " + std::to_string(k.ColourType) + ", " + std::to_string(k.BitDepth) + " bits");
    const std::string folder = NewFolder("maplib_build"), png = folder + "picture.png", file = folder + "library.vml";
    WritePng(png, k);
    const ToolResult r = RunTool("maplib build -o " + file + " --map m " + png + " " + c.Where + " --calib '" + c.Calibration + "'");
    ASSERT_EQ(r.Status, 0) << r.Errors;
    EXPECT_EQ(StoredDepth(file), c.StoredBits);
    for (const char* at = c.Calibration; at != nullptr; at = std::strchr(at, ';'), at = at ? at + 1 : at) {
      double lat = 0, lon = 0;
      int32_t px = 0, py = 0, x = 0, y = 0;
      ASSERT_EQ(std::sscanf(at, "%lf,%lf,%d,%d", &lat, &lon, &px, &py), 4);
      ASSERT_TRUE(Place(file, "m", lat, lon, x, y));
      // The library truncates floats.
      EXPECT_TRUE(std::abs(x - px) <= 1 && std::abs(y - py) <= 1) << at << " is placed at " << x << "," << y;
      if (at != c.Calibration) continue;  // the whole map around the first point, at zoom 1
      ASSERT_EQ(RunTool("render " + file + ViewAt(lat, lon, 2 * k.Width, 2 * k.Height) + "-o " + folder + "out.png").Status, 0);
      EXPECT_EQ(Differences(ReadPng(folder + "out.png"), k, x, y), "");
    }
    const ToolResult info = RunTool("maplib info " + file);
    ASSERT_EQ(info.Lines.size(), 6u) << info.Errors;  // a summary, the map in five lines
    EXPECT_EQ(info.Lines[1].rfind("map \"m\": " + std::to_string(k.Width) + " x " + std::to_string(k.Height) + " pixels, ", 0), 0u)
        << info.Lines[1];
  }
}

TEST(MapLibTool, EveryRefusalOfBuildAndRenderLeavesNoFileBehind) {
  const std::string folder = NewFolder("refusals"), lib = folder + "lib.vml", build = "maplib build -o " + folder + "out.vml ";
  const std::string good = folder + "good.png", palette = folder + "palette.png", text = folder + "text.png";
  const std::string cut = folder + "cut.png", crc = folder + "crc.png";
  WritePng(good, {2, 8, 0, false, 300, 200});
  WritePng(palette, {3, 2, 3, false, 5, 5});
  std::ofstream(text) << "not a picture";
  std::ifstream in(good, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  bytes[bytes.size() / 2] ^= 0x55;  // inside the image data: its check sum no longer fits
  std::ofstream(crc, std::ios::binary) << bytes;

  const std::string calib = " --calib 48,11,5,5", out = " -o " + folder + "out.png";
  // "dk" on a grid that ends outside Denmark (the first map: render's default) and "m".
  ASSERT_EQ(RunTool("maplib build -o " + lib + " --map dk " + good + " --grid 49 --calib '55.8,12.4,0,0;55.7,12.6,299,199' --map m " +
                    good + calib).Status, 0);
  const struct { const char* Why; std::string Args; int Status; } cases[] = {
      {"missing picture", build + "--map m " + folder + "none.png" + calib, 1},
      {"not a PNG", build + "--map m " + text + calib, 1},
      {"PNG cut short", build + "--map m " + cut + calib, 1},
      {"PNG with a broken check sum", build + "--map m " + crc + calib, 1},
      {"two points with equal X", build + "--map m " + good + " --calib '48,11,5,5;47,12,5,9'", 1},
      {"points on one line", build + "--map m " + good + " --calib '48,11,0,0;47,12,10,10;46,13,20,20'", 1},
      {"point outside the grid", build + "--map m " + good + " --grid 49 --calib 0,0,1,1", 1},
      {"unknown datum", build + "--map m " + good + " --datum 99" + calib, 1},
      {"latitude beyond the pole", build + "--map m " + good + " --calib 95,11,5,5", 1},
      {"name used twice, after a map was written", build + "--map m " + good + calib + " --map m " + good + calib, 1},
      {"transparent index of an RGB picture", build + "--icon i " + good + " --transparent 0", 1},
      {"transparent index beyond the palette", build + "--icon i " + palette + " --transparent 3", 1},
      {"no calibration and no georeferencing", build + "--map m " + good, 1},
      {"zone without grid", build + "--map m " + good + " --zone 32" + calib, 2},
      {"four calibration points", build + "--map m " + good + " --calib '1,1,1,1;2,2,2,2;3,3,3,3;4,4,4,4'", 2},
      {"name of 16 characters", build + "--map abcdefghijklmnop " + good + calib, 2},
      {"nothing to build", build, 2},
      {"missing map library", "render " + folder + "none.vml" + out, 1},
      {"not a map library", "render " + text + out, 1},
      {"unknown map", "render " + lib + " --map nope" + out, 1},
      {"position the map cannot place", "render " + lib + " --map dk --lat 0 --lon 0" + out, 1},
      {"icon not in the library", "render " + lib + " --icon nope" + out, 1},
      {"unwritable output", "render " + lib + " -o " + folder + "no/out.png", 1},
      {"zoom beyond 10", "render " + lib + " --zoom 20" + out, 2},
      {"empty side", "render " + lib + " --size 0x10" + out, 2},
      {"latitude without longitude", "render " + lib + " --lat 48" + out, 2},
      {"no output", "render " + lib, 2},
  };
  const std::vector<std::string> before = FilesIn(folder);
  for (const auto& c : cases) {
    const ToolResult r = RunTool(c.Args);
    EXPECT_TRUE(r.Status == c.Status && r.Errors.rfind("velmira " + c.Args.substr(0, c.Args.find(' ')) + ": ", 0) == 0)
        << c.Why << ": " << r.Errors;
    EXPECT_EQ(FilesIn(folder), before) << c.Why;
  }
  const ToolResult damaged = RunTool("maplib info " + text);
  EXPECT_TRUE(damaged.Status == 1 && damaged.Errors.find("Unknown file format (error 10013)") != std::string::npos);
  // The same folder takes the files when nothing is wrong.
  EXPECT_EQ(RunTool(build + "--map m " + good + calib).Status, 0);
  EXPECT_EQ(RunTool("render " + lib + " --map m --lat 48 --lon 11" + out).Status, 0);
  EXPECT_EQ(FilesIn(folder).size(), before.size() + 2);
}

const PngKind RgbMap{2, 8, 0, false, 600, 300}, Icon{3, 2, 3, false, 9, 9};
double Lat(double y) { return 48.2 - 0.1 * y / (RgbMap.Height - 1); }
double Lon(double x) { return 11.5 + 0.2 * x / (RgbMap.Width - 1); }

// A map whose corners lie at 48.2 N 11.5 E and 48.1 N 11.7 E and an icon whose palette index 1
// is transparent, rendered around map pixel (300, 150) with the icon, a label and a track.
TEST(RenderTool, IconKeepsItsTransparentPixelsAndTheTrackRunsBetweenTheFixes) {
  auto gga = [](double x, double y) { return testsupport::FixAt(Lat(y), Lon(x)); };  // a fix at map pixel (x, y)
  const std::string folder = NewFolder("render"), lib = folder + "lib.vml";
  WritePng(folder + "map.png", RgbMap), WritePng(folder + "icon.png", Icon);
  ASSERT_EQ(RunTool("maplib build -o " + lib + " --map rgb " + folder + "map.png --calib '48.2,11.5,0,0;48.1,11.7,599,299' --icon i " +
                    folder + "icon.png --transparent 1").Status, 0);
  // The fixes lie up and to the left of the centre, clear of the icon and the label below it.
  const std::string track = velmira::test::TempFile("track.nmea", gga(250, 110) + gga(280, 125));
  const int32_t w = 160, h = 120;
  const ToolResult r = RunTool("render " + lib + ViewAt(Lat(150), Lon(300), w, h) + "--icon i --label 'A label' --track " + track + " -o " + folder + "out.png");
  ASSERT_EQ(r.Status, 0) << r.Errors;
  const LibraryView view(lib, "rgb");
  int32_t cx = 0, cy = 0, ax = 0, ay = 0, bx = 0, by = 0;
  ASSERT_TRUE(view.Pixel(Lat(150), Lon(300), cx, cy) && view.Pixel(Lat(110), Lon(250), ax, ay) && view.Pixel(Lat(125), Lon(280), bx, by));
  const Picture picture = ReadPng(folder + "out.png");
  ASSERT_EQ(picture.Pixels.size(), size_t(w) * h);
  auto at = [&](int32_t x, int32_t y) { return picture.At(x - cx + w / 2, y - cy + h / 2); };
  for (int32_t iy = 0; iy < Icon.Height; ++iy) {
    for (int32_t ix = 0; ix < Icon.Width; ++ix) {
      const Rgb colour = Expected(Icon, ix, iy);
      const int32_t x = cx - Icon.Width / 2 + ix, y = cy - Icon.Height / 2 + iy;
      EXPECT_EQ(at(x, y), colour == PaletteEntry(1) ? Expected(RgbMap, x, y) : colour) << ix << "," << iy;
    }
  }
  const Rgb red{220, 0, 0};
  for (int i = 1; i < 4; ++i) {  // points along the line, allowing a pixel for its rounding
    const int32_t x = ax + (bx - ax) * i / 4, y = ay + (by - ay) * i / 4;
    EXPECT_TRUE(at(x, y) == red || at(x, y - 1) == red || at(x, y + 1) == red) << x << "," << y;
  }
}

}  // namespace
