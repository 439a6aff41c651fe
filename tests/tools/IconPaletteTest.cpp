// Palette PNG icons with transparent entries (tRNS), built without --transparent and drawn by
// velmira render over a map: every pixel shows the PNG's own colour, or the map where the PNG
// says the pixel is fully transparent.
#include <gtest/gtest.h>
#include <png.h>

#include "support/PictureFiles.h"
#include "support/ToolRunner.h"

namespace {

using namespace picturefiles;
using velmira::test::RunTool;
using velmira::test::ToolResult;

struct Entry { Rgb Colour; uint8_t Alpha; };

// Indices of a 9 x 9 pin: 2 inside, 1 its ring, 0 around it, 3 and 4 patches in the corners.
constexpr const char* Pin[9] = {"330000044", "330111044", "001222100", "012222210", "012222210",
                                "012222210", "001222100", "000111000", "000000000"};

void WritePalettePng(const std::string& path, const std::vector<Entry>& entries) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION, image.width = image.height = 9;
  image.format = PNG_FORMAT_RGBA_COLORMAP, image.colormap_entries = png_uint_32(entries.size());
  std::vector<png_byte> colours, pixels;
  for (const Entry& e : entries) colours.insert(colours.end(), {e.Colour.R, e.Colour.G, e.Colour.B, e.Alpha});
  for (const char* row : Pin) for (int x = 0; x < 9; ++x) pixels.push_back(png_byte(row[x] - '0'));
  ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, colours.data())) << image.message;
}

TEST(IconPalette, TransparentEntriesShowTheMapAndEveryOtherColourStaysExact) {
  constexpr Rgb Magenta{255, 0, 255}, Black{0, 0, 0}, Red{220, 20, 20}, Yellow{250, 220, 0}, Blue{10, 10, 200};
  // Entries 3 and 4 add a second fully transparent entry and a partly transparent one, which
  // draws its colour (icons are either transparent or not).
  const struct { const char* Why; std::vector<Entry> Palette; } cases[] = {
      {"white ring on a magenta key", {{Magenta, 0}, {White, 255}, {Red, 255}, {Yellow, 0}, {Blue, 128}}},
      {"black outline on a black key", {{Black, 0}, {Black, 255}, {Yellow, 255}, {White, 255}, {Red, 255}}},
      {"the key's colour also opaque", {{White, 0}, {White, 255}, {Red, 255}, {Magenta, 255}, {Black, 0}}},
  };
  const PngKind map{2, 8, 0, false, 200, 100};
  const std::string folder = NewFolder("icon_palette"), lib = folder + "lib.vml", out = folder + "out.png";
  WritePng(folder + "map.png", map);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Why);
    WritePalettePng(folder + "pin.png", c.Palette);
    const ToolResult built = RunTool("maplib build -o " + lib + " --map m " + folder +
                                     "map.png --calib '48.2,11.5,0,0;48.1,11.7,199,99' --icon pin " + folder + "pin.png");
    ASSERT_EQ(built.Status, 0) << built.Errors;
    ASSERT_EQ(RunTool("render " + lib + " --lat 48.15 --lon 11.6 --size 41x31 --icon pin -o " + out).Status, 0);
    int32_t cx = 0, cy = 0;  // the map pixel under the picture's centre, where the icon's centre is
    ASSERT_TRUE(Place(lib, "m", 48.15, 11.6, cx, cy));
    const Picture p = ReadPng(out);
    ASSERT_EQ(p.Width, 41);
    for (int32_t i = 0; i < 81; ++i) {
      const Entry& e = c.Palette[size_t(Pin[i / 9][i % 9] - '0')];
      const int32_t px = 16 + i % 9, py = 11 + i / 9;
      EXPECT_EQ(p.At(px, py), e.Alpha == 0 ? Expected(map, cx - 20 + px, cy - 15 + py) : e.Colour) << i % 9 << "," << i / 9;
    }
  }
}

}  // namespace
