// velmira render as a user runs it: at zoom 1 without rotation the picture is the map moved
// so that the asked position lies on the centre pixel; icons keep their transparent pixels, a
// track runs between the fixes of an NMEA log.
#include <gtest/gtest.h>

#include <cstdio>

#include "PictureFiles.h"
#include "support/GpsMessages.h"
#include "support/ToolRunner.h"

namespace {

using namespace picturefiles;
using velmira::test::RunTool;
using velmira::test::ToolResult;

const PngKind RgbMap{2, 8, 0, false, 600, 300}, PaletteMap{3, 4, 12, false, 300, 520};
const PngKind Icon{3, 2, 3, false, 9, 9};

// Maps "rgb" and "palette" whose corners lie at 48.2 N 11.5 E and 48.1 N 11.7 E, and an icon
// "i" whose palette index 0 is transparent.
const std::string& Library() {
  static const std::string file = [] {
    const std::string folder = NewFolder("render");
    std::string args = "maplib build -o " + folder + "lib.vml";
    for (const auto& [name, k] : {std::pair{"rgb", RgbMap}, std::pair{"palette", PaletteMap}}) {
      WritePng(folder + name + ".png", k);
      args += std::string(" --map ") + name + " " + folder + name + ".png --calib '48.2,11.5,0,0;" +
              "48.1,11.7," + std::to_string(k.Width - 1) + "," + std::to_string(k.Height - 1) + "'";
    }
    WritePng(folder + "icon.png", Icon);
    args += " --icon i " + folder + "icon.png --transparent 0";
    EXPECT_EQ(RunTool(args).Status, 0);
    return folder + "lib.vml";
  }();
  return file;
}

double Lat(const PngKind& k, double y) { return 48.2 - 0.1 * y / (k.Height - 1); }
double Lon(const PngKind& k, double x) { return 11.5 + 0.2 * x / (k.Width - 1); }

// Renders a w x h view of the map centred on map pixel (x, y) of the picture's calibration;
// gives the picture and where the library puts that position.
std::vector<Rgb> Render(const std::string& map, const PngKind& k, double x, double y, int32_t w,
                        int32_t h, const std::string& more, int32_t& cx, int32_t& cy) {
  char where[96];
  std::snprintf(where, sizeof where, " --lat %.10f --lon %.10f --size %dx%d ", Lat(k, y), Lon(k, x),
                w, h);
  const std::string out = Library() + ".png";
  std::remove(out.c_str());
  const ToolResult r =
      RunTool("render " + Library() + " --map " + map + where + more + " -o " + out);
  EXPECT_EQ(r.Status, 0) << r.Errors;
  EXPECT_TRUE(Place(Library(), map, Lat(k, y), Lon(k, x), cx, cy));
  int32_t width = 0, height = 0;
  std::vector<Rgb> picture = ReadPng(out, width, height);
  EXPECT_TRUE(width == w && height == h) << width << " x " << height;
  return picture;
}

TEST(RenderTool, AtZoomOneThePictureIsTheMapMovedSoThePositionIsOnTheCentrePixel) {
  const struct {
    const char* Map;
    const PngKind& Kind;
    double X, Y;
    int32_t W, H;
  } cases[] = {
      {"rgb", RgbMap, 300, 150, 201, 150},         // around the middle
      {"rgb", RgbMap, 6, 6, 200, 151},             // at the top-left corner: white beyond
      {"palette", PaletteMap, 296, 510, 64, 300},  // beyond the bottom-right: index 15, white
  };
  for (const auto& c : cases) {
    int32_t cx = 0, cy = 0;
    const std::vector<Rgb> picture = Render(c.Map, c.Kind, c.X, c.Y, c.W, c.H, "", cx, cy);
    ASSERT_EQ(picture.size(), size_t(c.W) * c.H);
    int wrong = 0;
    std::string first;
    for (int32_t oy = 0; oy < c.H; ++oy) {
      for (int32_t ox = 0; ox < c.W; ++ox) {
        const int32_t x = ox - c.W / 2 + cx, y = oy - c.H / 2 + cy;
        const bool inside = x >= 0 && y >= 0 && x < c.Kind.Width && y < c.Kind.Height;
        if (picture[size_t(oy) * c.W + ox] == (inside ? Expected(c.Kind, x, y) : White)) continue;
        if (wrong++ == 0) first = std::to_string(ox) + "," + std::to_string(oy);
      }
    }
    EXPECT_EQ(wrong, 0) << c.Map << " at " << c.X << "," << c.Y << ": first wrong pixel " << first;
  }
}

TEST(RenderTool, IconKeepsItsTransparentPixelsAndTheTrackRunsBetweenTheFixes) {
  auto gga = [](double x, double y) {  // a fix at map pixel (x, y)
    const double lat = Lat(RgbMap, y), lon = Lon(RgbMap, x);
    char body[128];
    std::snprintf(body, sizeof body, "GPGGA,120000,%02d%07.4f,N,%03d%07.4f,E,1,08,0.9,500,M,47,M,,",
                  int(lat), (lat - int(lat)) * 60, int(lon), (lon - int(lon)) * 60);
    return testsupport::Line(body);
  };
  // The fixes lie up and to the left of the centre, clear of the icon and the label below it.
  const std::string track = velmira::test::TempFile("track.nmea", gga(250, 110) + gga(280, 125));
  const int32_t w = 160, h = 120;
  int32_t cx = 0, cy = 0;
  const std::vector<Rgb> picture =
      Render("rgb", RgbMap, 300, 150, w, h, "--icon i --label 'A label' --track " + track, cx, cy);
  ASSERT_EQ(picture.size(), size_t(w) * h);
  auto at = [&](int32_t x, int32_t y) {
    return picture[size_t(y - cy + h / 2) * w + x - cx + w / 2];
  };
  for (int32_t iy = 0; iy < Icon.Height; ++iy) {
    for (int32_t ix = 0; ix < Icon.Width; ++ix) {
      const Rgb colour = Expected(Icon, ix, iy);
      const int32_t x = cx - Icon.Width / 2 + ix, y = cy - Icon.Height / 2 + iy;
      EXPECT_EQ(at(x, y), colour == PaletteEntry(0) ? Expected(RgbMap, x, y) : colour)
          << ix << "," << iy;
    }
  }
  int32_t ax = 0, ay = 0, bx = 0, by = 0;
  ASSERT_TRUE(Place(Library(), "rgb", Lat(RgbMap, 110), Lon(RgbMap, 250), ax, ay));
  ASSERT_TRUE(Place(Library(), "rgb", Lat(RgbMap, 125), Lon(RgbMap, 280), bx, by));
  const Rgb red{220, 0, 0};
  for (int i = 1; i < 4; ++i) {  // points along the line, allowing a pixel for its rounding
    const int32_t x = ax + (bx - ax) * i / 4, y = ay + (by - ay) * i / 4;
    EXPECT_TRUE(at(x, y) == red || at(x, y - 1) == red || at(x, y + 1) == red) << x << "," << y;
  }
}

}  // namespace
