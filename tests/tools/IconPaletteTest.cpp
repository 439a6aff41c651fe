// Palette PNG icons with transparent entries (tRNS), built without --transparent and drawn by
// velmira render over a map: every pixel shows the PNG's own colour, or the map where the PNG
// says the pixel is fully transparent.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>

#include "PictureFiles.h"
#include "support/ToolRunner.h"

namespace {

using namespace picturefiles;
using velmira::test::RunTool;
using velmira::test::ToolResult;

struct Entry { Rgb Colour; uint8_t Alpha; };

// Indices of a 9 x 9 pin: 2 inside, 1 its ring, 0 around it, 3 a corner patch.
constexpr const char* Pin[9] = {"330000000", "330111000", "001222100", "012222210", "012222210",
                                "012222210", "001222100", "000111000", "000000000"};

void WritePalettePng(const std::string& path, const std::vector<Entry>& entries) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, out);
  png_set_IHDR(png, info, 9, 9, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> colours;
  std::vector<png_byte> alpha;
  for (const Entry& e : entries) colours.push_back({e.Colour.R, e.Colour.G, e.Colour.B}), alpha.push_back(e.Alpha);
  png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
  png_set_tRNS(png, info, alpha.data(), static_cast<int>(alpha.size()), nullptr);
  png_write_info(png, info);
  for (const char* row : Pin) {
    png_byte bytes[9];
    for (int x = 0; x < 9; ++x) bytes[x] = png_byte(row[x] - '0');
    png_write_row(png, bytes);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(out);
}

TEST(IconPalette, TransparentEntriesShowTheMapAndEveryOtherColourStaysExact) {
  constexpr Rgb Magenta{255, 0, 255}, Black{0, 0, 0}, Red{220, 20, 20}, Yellow{250, 220, 0}, Blue{10, 10, 200};
  const struct { const char* Why; std::vector<Entry> Palette; } cases[] = {
      {"white ring on a magenta key", {{Magenta, 0}, {White, 255}, {Red, 255}, {Yellow, 255}}},
      {"black outline on a black key", {{Black, 0}, {Black, 255}, {Yellow, 255}, {White, 255}}},
      {"a second fully transparent entry", {{Magenta, 0}, {White, 255}, {Red, 255}, {Yellow, 0}}},
      {"a partly transparent entry draws its colour", {{Magenta, 0}, {White, 255}, {Red, 255}, {Blue, 128}}},
      {"the key colour also opaque elsewhere", {{White, 0}, {White, 255}, {Red, 255}, {Magenta, 255}}},
  };
  const PngKind map{2, 8, 0, false, 200, 100};
  const std::string folder = NewFolder("icon_palette");
  WritePng(folder + "map.png", map);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Why);
    const std::string lib = folder + "lib.vml", out = folder + "out.png";
    WritePalettePng(folder + "pin.png", c.Palette);
    const ToolResult built = RunTool("maplib build -o " + lib + " --map m " + folder + "map.png --calib '48.2,11.5,0,0;48.1,11.7,199,99' --icon pin " +
                                     folder + "pin.png");
    ASSERT_EQ(built.Status, 0) << built.Errors;
    ASSERT_EQ(RunTool("render " + lib + " --lat 48.15 --lon 11.6 --size 41x31 --icon pin -o " + out).Status, 0);
    int32_t cx = 0, cy = 0;  // the map pixel under the picture's centre
    ASSERT_TRUE(Place(lib, "m", 48.15, 11.6, cx, cy));
    const Picture p = ReadPng(out);
    ASSERT_EQ(p.Width, 41);
    for (int32_t y = 0; y < 9; ++y) {
      for (int32_t x = 0; x < 9; ++x) {
        const Entry& e = c.Palette[size_t(Pin[y][x] - '0')];
        const int32_t px = 20 - 4 + x, py = 15 - 4 + y;  // the icon is centred on the centre pixel
        EXPECT_EQ(p.At(px, py), e.Alpha == 0 ? Expected(map, cx - 20 + px, cy - 15 + py) : e.Colour) << x << "," << y;
      }
    }
  }
}

}  // namespace
