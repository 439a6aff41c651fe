// velmira maplib build and info as a user runs them: PNG pictures of every kind become map
// library files that an independent reader decodes pixel for pixel, with calibrations that the
// library places where they were given; refusals of maplib and render leave no file behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "PictureFiles.h"
#include "support/ToolRunner.h"

namespace {

using namespace picturefiles;
using velmira::test::RunTool;
using velmira::test::ToolResult;

constexpr int32_t Tile = 256;

// Compares every pixel of the entry with the model and, for maps, the tile padding beyond the
// picture with set bits; returns what differs first.
std::string Differences(const Entry& e, const PngKind& kind) {
  const int32_t across = e.IsMap ? (e.Width + Tile - 1) / Tile * Tile : e.Width;
  const int32_t down = e.IsMap ? (e.Height + Tile - 1) / Tile * Tile : e.Height;
  const uint32_t padding = e.Bits == 24 ? 0xFFFFFFu : (1u << e.Bits) - 1;
  for (int32_t y = 0; y < down; ++y) {
    for (int32_t x = 0; x < across; ++x) {
      const bool inside = x < e.Width && y < e.Height;
      if (inside ? e.Colour(x, y) == Expected(kind, x, y) : e.Raw(x, y) == padding) continue;
      return e.Name + (inside ? " pixel " : " padding ") + std::to_string(x) + "," +
             std::to_string(y);
    }
  }
  return {};
}

TEST(MapLibTool, EveryKindOfPngBecomesAFileThatReadsBackPixelForPixelWithItsCalibration) {
  const struct {
    PngKind Kind;
    int StoredBits;
    const char* Where;
    const char* Calibration;  // at most three points LAT,LON,X,Y
  } cases[] = {
      {{3, 1, 2, false, 300, 260}, 1, "", "48.2,11.5,100,80"},
      {{3, 2, 3, false, 40, 300}, 4, "--datum 3", "48.2,11.5,0,0;48.1,11.7,39,299"},
      {{3, 4, 12, true, 257, 513},
       4,
       "--grid 1 --zone 32",
       "48.2,11.5,10,20;48.1,11.7,300,220;48,11.52,40,420"},
      {{3, 8, 200, false, 513, 100}, 8, "--grid 1", "48.2,11.5,0,0;48.1,11.7,512,99"},
      {{2, 8, 0, false, 600, 270}, 24, "", "48.2,11.5,0,0;48.1,11.7,599,269"},
      {{6, 16, 0, false, 100, 90}, 24, "", "48.2,11.5,0,0;48.1,11.7,99,89"},
      {{0, 4, 0, false, 31, 257}, 24, "", "-33.9,151.2,0,0;-34,151.3,30,256"},
      {{4, 8, 0, false, 70, 20}, 24, "", "0.5,-0.5,0,0;-0.5,0.5,69,19"},
  };
  for (const auto& c : cases) {
    const PngKind& k = c.Kind;
    SCOPED_TRACE("colour type " + std::to_string(k.ColourType) + ", " + std::to_string(k.BitDepth) +
                 " bits");
    const std::string folder = NewFolder("maplib_build"), png = folder + "picture.png";
    const std::string file = folder + "library.vml",
                      transparent = k.Colours > 0 ? " --transparent 1" : "";
    WritePng(png, k);
    const ToolResult r = RunTool("maplib build -o " + file + " --map m " + png + " " + c.Where +
                                 " --calib '" + c.Calibration + "' --icon i " + png + transparent);
    ASSERT_EQ(r.Status, 0) << r.Errors;
    std::string problem;
    const std::vector<Entry> entries = ReadLibrary(file, problem);
    ASSERT_EQ(problem, "");
    ASSERT_EQ(entries.size(), 2u);
    for (const Entry& e : entries) {
      EXPECT_EQ(e.Name, e.IsMap ? "m" : "i");
      EXPECT_TRUE(e.Width == k.Width && e.Height == k.Height && e.Bits == c.StoredBits) << e.Bits;
      EXPECT_EQ(Differences(e, k), "");
    }
    EXPECT_EQ(entries[1].Transparent + entries[1].TransparentIndex, transparent.empty() ? 0u : 2u);
    for (const char* at = c.Calibration; at != nullptr;
         at = std::strchr(at, ';'), at = at ? at + 1 : at) {
      double lat = 0, lon = 0;
      int32_t px = 0, py = 0, x = 0, y = 0;
      ASSERT_EQ(std::sscanf(at, "%lf,%lf,%d,%d", &lat, &lon, &px, &py), 4);
      ASSERT_TRUE(Place(file, "m", lat, lon, x, y));
      EXPECT_TRUE(std::abs(x - px) <= 1 && std::abs(y - py) <= 1)  // the library truncates floats
          << at << " is placed at " << x << "," << y;
    }
    const std::string size = std::to_string(k.Width) + " x " + std::to_string(k.Height) + " pixels";
    const ToolResult info = RunTool("maplib info " + file);
    ASSERT_EQ(info.Lines.size(), 5u) << info.Errors;  // a summary, the map in three lines, the icon
    EXPECT_EQ(info.Lines[1].rfind("map \"m\": " + size + ", ", 0), 0u) << info.Lines[1];
    EXPECT_EQ(info.Lines[4], "icon \"i\": " + size);
  }
}

TEST(MapLibTool, EveryRefusalOfBuildAndRenderLeavesNoFileBehind) {
  const std::string folder = NewFolder("refusals"), lib = folder + "lib.vml";
  const std::string good = folder + "good.png", palette = folder + "palette.png";
  const std::string build = "maplib build -o " + folder + "out.vml ";
  const std::string text = folder + "text.png", cut = folder + "cut.png", crc = folder + "crc.png";
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
  ASSERT_EQ(RunTool("maplib build -o " + lib + " --map dk " + good +
                    " --grid 49 --calib '55.8,12.4,0,0;55.7,12.6,299,199' --map m " + good + calib)
                .Status,
            0);
  const struct {
    const char* Why;
    std::string Args;
    int Status;
  } cases[] = {
      {"missing picture", build + "--map m " + folder + "none.png" + calib, 1},
      {"not a PNG", build + "--map m " + text + calib, 1},
      {"PNG cut short", build + "--map m " + cut + calib, 1},
      {"PNG with a broken check sum", build + "--map m " + crc + calib, 1},
      {"two points with equal X", build + "--map m " + good + " --calib '48,11,5,5;47,12,5,9'", 1},
      {"points on one line",
       build + "--map m " + good + " --calib '48,11,0,0;47,12,10,10;46,13,20,20'", 1},
      {"point outside the grid", build + "--map m " + good + " --grid 49 --calib 0,0,1,1", 1},
      {"unknown datum", build + "--map m " + good + " --datum 99" + calib, 1},
      {"latitude beyond the pole", build + "--map m " + good + " --calib 95,11,5,5", 1},
      {"name used twice, after a map was written",
       build + "--map m " + good + calib + " --map m " + good + calib, 1},
      {"transparent index of an RGB picture", build + "--icon i " + good + " --transparent 0", 1},
      {"transparent index beyond the palette", build + "--icon i " + palette + " --transparent 3",
       1},
      {"no calibration", build + "--map m " + good, 2},
      {"zone without grid", build + "--map m " + good + " --zone 32" + calib, 2},
      {"four calibration points",
       build + "--map m " + good + " --calib '1,1,1,1;2,2,2,2;3,3,3,3;4,4,4,4'", 2},
      {"name of 16 characters", build + "--map abcdefghijklmnop " + good + calib, 2},
      {"unknown option", build + "--map m " + good + calib + " --bogus", 2},
      {"nothing to build", build, 2},
      {"missing map library", "render " + folder + "none.vml" + out, 1},
      {"not a map library", "render " + text + out, 1},
      {"unknown map", "render " + lib + " --map nope" + out, 1},
      {"position the map cannot place", "render " + lib + " --lat 0 --lon 0" + out, 1},
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
    EXPECT_EQ(r.Status, c.Status) << c.Why << ": " << r.Errors;
    EXPECT_EQ(r.Errors.rfind("velmira " + c.Args.substr(0, c.Args.find(' ')) + ": ", 0), 0u)
        << c.Why << ": " << r.Errors;
    EXPECT_EQ(FilesIn(folder), before) << c.Why;
  }
  const ToolResult damaged = RunTool("maplib info " + text);
  EXPECT_EQ(damaged.Status, 1);
  EXPECT_NE(damaged.Errors.find("Unknown file format (error 10013)"), std::string::npos);
  // The same folder takes the files when nothing is wrong.
  EXPECT_EQ(RunTool(build + "--map m " + good + calib).Status, 0);
  EXPECT_EQ(RunTool("render " + lib + " --map m --lat 48 --lon 11" + out).Status, 0);
  EXPECT_EQ(FilesIn(folder).size(), before.size() + 2);
}

}  // namespace
