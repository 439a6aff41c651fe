#include "PictureFiles.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace picturefiles {
namespace {

uint32_t Sample(int32_t x, int32_t y, int channel) {
  uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(channel + 1) * 83492791u;
  h ^= h >> 13;
  return h * 2654435761u >> 8;
}
uint32_t Max(int depth) { return (1u << depth) - 1; }
uint32_t PaletteAlpha(const PngKind& k, int i) { return k.PaletteAlpha && i < k.Colours / 2 ? Sample(i, -2, 0) & 255 : 255; }
int Channels(int type) { return type == 0 ? 1 : type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1; }
// One sample brought to 8 bits as libpng's expansion and 16-bit scaling do.
uint32_t To8(uint32_t v, int depth) { return depth == 16 ? (v * 255 + 32895) >> 16 : v * 255 / Max(depth); }
uint8_t OverWhite(uint32_t c, uint32_t a) { return uint8_t((c * a + 255 * (255 - a) + 127) / 255); }

}  // namespace

Rgb PaletteEntry(int i) { return {uint8_t(Sample(i, -1, 0)), uint8_t(Sample(i, -1, 1)), uint8_t(Sample(i, -1, 2))}; }

void WritePng(const std::string& path, const PngKind& k) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, out);
  png_set_IHDR(png, info, k.Width, k.Height, k.BitDepth, k.ColourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> colours;
  std::vector<png_byte> alpha;
  for (int i = 0; i < k.Colours; ++i) {
    colours.push_back({PaletteEntry(i).R, PaletteEntry(i).G, PaletteEntry(i).B});
    alpha.push_back(png_byte(PaletteAlpha(k, i)));
  }
  if (k.Colours > 0) png_set_PLTE(png, info, colours.data(), k.Colours);
  if (k.PaletteAlpha) png_set_tRNS(png, info, alpha.data(), k.Colours / 2, nullptr);
  png_write_info(png, info);
  if (k.BitDepth < 8) png_set_packing(png);  // the rows below hold one sample per byte
  const int channels = Channels(k.ColourType), bytes = k.BitDepth == 16 ? 2 : 1;
  std::vector<png_byte> row(size_t(k.Width) * channels * bytes);
  for (int32_t y = 0; y < k.Height; ++y) {
    for (int32_t x = 0; x < k.Width; ++x) {
      for (int c = 0; c < channels; ++c) {
        const uint32_t v = k.Colours > 0 ? Sample(x, y, 0) % k.Colours : Sample(x, y, c) & Max(k.BitDepth);
        png_byte* at = &row[(size_t(x) * channels + c) * bytes];
        if (bytes == 2) *at++ = png_byte(v >> 8);  // big-endian samples
        *at = png_byte(v);
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(out);
}

Rgb Expected(const PngKind& k, int32_t x, int32_t y) {
  if (k.Colours > 0) {
    const int i = int(Sample(x, y, 0) % k.Colours);
    const Rgb c = PaletteEntry(i);
    return {OverWhite(c.R, PaletteAlpha(k, i)), OverWhite(c.G, PaletteAlpha(k, i)), OverWhite(c.B, PaletteAlpha(k, i))};
  }
  const int n = Channels(k.ColourType);
  uint32_t s[4];
  for (int c = 0; c < n; ++c) s[c] = To8(Sample(x, y, c) & Max(k.BitDepth), k.BitDepth);
  const uint32_t a = n % 2 == 0 ? s[n - 1] : 255;
  return {OverWhite(s[0], a), OverWhite(s[n < 3 ? 0 : 1], a), OverWhite(s[n < 3 ? 0 : 2], a)};
}

std::string NewFolder(const std::string& name) {
  static struct Folders {  // a failing test's files stay until the program ends
    std::vector<std::filesystem::path> Made;
    ~Folders() { for (const auto& f : Made) std::filesystem::remove_all(f); }
  } folders;
  const std::filesystem::path folder = ::testing::TempDir() + "velmira_" + std::to_string(getpid()) + "_" + name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  folders.Made.push_back(folder);
  return folder.string() + "/";
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& f : std::filesystem::directory_iterator(folder)) names.push_back(f.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

int StoredDepth(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  constexpr size_t At = 12 + 8 + 134 + 8 + 14;  // header, map record, picture header's depth
  return bytes.size() > At ? bytes[At] : -1;
}

std::string ViewAt(double lat, double lon, int32_t width, int32_t height) {
  char where[96];
  std::snprintf(where, sizeof where, " --lat %.10f --lon %.10f --size %dx%d ", lat, lon, width, height);
  return where;
}

LibraryView::LibraryView(const std::string& file, const std::string& map) : Viewer(Viewer_New()) {
  const std::u16string name(file.begin(), file.end()), mapName(map.begin(), map.end());
  Viewer_Open(Viewer, name.c_str());
  if (!map.empty()) Map_Delete(Viewer_ActiveMapData(Viewer, mapName.c_str()));
}

bool LibraryView::Pixel(double lat, double lon, int32_t& x, int32_t& y, int16_t datum) const {
  VmPosition* p = Position_New();
  Position_SetDatum(p, datum);
  Position_SetLatitudeDecDeg(p, &lat);
  Position_SetLongitudeDecDeg(p, &lon);
  VmPoint* point = Viewer_Position2Point(Viewer, p);
  const bool placed = point != nullptr && Error_ErrNum(Viewer_GetErrHandle(Viewer)) == 0;
  x = placed ? Point_GetX(point) : 0;
  y = placed ? Point_GetY(point) : 0;
  Point_Delete(point);
  Position_Delete(p);
  return placed;
}

}  // namespace picturefiles
