#include "PictureFiles.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "velmira/velmira.h"

namespace picturefiles {
namespace {

constexpr int32_t Tile = 256;

uint32_t Sample(int32_t x, int32_t y, int channel) {
  uint32_t h =
      uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(channel + 1) * 83492791u;
  h ^= h >> 13;
  return h * 2654435761u >> 8;
}
uint32_t Max(int depth) { return (1u << depth) - 1; }
uint32_t PaletteAlpha(const PngKind& k, int i) {
  return k.PaletteAlpha && i < k.Colours / 2 ? Sample(i, -2, 0) & 255 : 255;
}
int Channels(int type) { return type == 0 ? 1 : type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1; }
// One sample brought to 8 bits as libpng's expansion and 16-bit scaling do.
uint32_t To8(uint32_t v, int depth) {
  return depth == 16 ? (v * 255 + 32895) >> 16 : v * 255 / Max(depth);
}
uint8_t OverWhite(uint32_t c, uint32_t a) { return uint8_t((c * a + 255 * (255 - a) + 127) / 255); }
uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint32_t Tag(const char* t) { return uint32_t(t[0]) << 24 | t[1] << 16 | t[2] << 8 | t[3]; }

}  // namespace

Rgb PaletteEntry(int i) {
  return {uint8_t(Sample(i, -1, 0)), uint8_t(Sample(i, -1, 1)), uint8_t(Sample(i, -1, 2))};
}

void WritePng(const std::string& path, const PngKind& k) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, out);
  png_set_IHDR(png, info, k.Width, k.Height, k.BitDepth, k.ColourType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> colours;
  std::vector<png_byte> alpha;
  for (int i = 0; i < k.Colours; ++i) {
    const Rgb c = PaletteEntry(i);
    colours.push_back({c.R, c.G, c.B});
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
        const uint32_t v =
            k.Colours > 0 ? Sample(x, y, 0) % k.Colours : Sample(x, y, c) & Max(k.BitDepth);
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
    const uint32_t a = PaletteAlpha(k, i);
    return {OverWhite(c.R, a), OverWhite(c.G, a), OverWhite(c.B, a)};
  }
  const int n = Channels(k.ColourType);
  uint32_t s[4];
  for (int c = 0; c < n; ++c) s[c] = To8(Sample(x, y, c) & Max(k.BitDepth), k.BitDepth);
  const uint32_t a = n % 2 == 0 ? s[n - 1] : 255;
  return {OverWhite(s[0], a), OverWhite(s[n < 3 ? 0 : 1], a), OverWhite(s[n < 3 ? 0 : 2], a)};
}

std::vector<Rgb> ReadPng(const std::string& path, int32_t& width, int32_t& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::vector<Rgb> pixels;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return pixels;
  image.format = PNG_FORMAT_RGB;
  pixels.resize(size_t(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) pixels.clear();
  width = int32_t(image.width);
  height = int32_t(image.height);
  return pixels;
}

uint32_t Entry::Raw(int32_t x, int32_t y) const {
  const uint8_t* row;
  if (IsMap) {  // tiles bottom row first, each tile's rows bottom row first
    const int32_t across = (Width + Tile - 1) / Tile, rows = (Height + Tile - 1) / Tile;
    row = &Data[size_t((rows - 1 - y / Tile) * across + x / Tile)]
               [size_t(Tile - 1 - y % Tile) * Tile * Bits / 8];
    x %= Tile;
  } else {
    row = &Data[0][(size_t(Width) * Bits + 31) / 32 * 4 * size_t(Height - 1 - y)];
  }
  if (Bits == 24) return row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
  const uint32_t byte = row[x * Bits / 8];
  return Bits == 8   ? byte
         : Bits == 4 ? (x % 2 == 0 ? byte >> 4 : byte & 15)
                     : byte >> (7 - x % 8) & 1;
}

Rgb Entry::Colour(int32_t x, int32_t y) const {
  const uint32_t v = Raw(x, y);
  if (Bits == 24) return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  return v < Palette.size() ? Palette[v] : Rgb{1, 2, 3};  // an index beyond the palette shows
}

std::vector<Entry> ReadLibrary(const std::string& path, std::string& problem) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> f((std::istreambuf_iterator<char>(in)), {});
  std::vector<Entry> entries;
  size_t at = 0;
  auto chunk = [&](const char* tag) -> std::vector<uint8_t> {  // the next chunk, of this kind
    if (!problem.empty()) return {};
    if (at + 8 > f.size() || Le32(&f[at]) != Tag(tag) || Le32(&f[at + 4]) > f.size() - at - 8) {
      problem = std::string("no chunk ") + tag + " at " + std::to_string(at);
      return {};
    }
    const size_t size = Le32(&f[at + 4]);
    at += 8 + size;
    return {f.begin() + std::ptrdiff_t(at - size), f.begin() + std::ptrdiff_t(at)};
  };
  problem = chunk("KOLV") == std::vector<uint8_t>{1, 0, 0, 0} ? "" : "no 'KOLV' 1.0 header";
  while (problem.empty() && at < f.size()) {
    Entry e;
    e.IsMap = at + 4 <= f.size() && Le32(&f[at]) == Tag("MAPH");
    const std::vector<uint8_t> record = chunk(e.IsMap ? "MAPH" : "ICOH"), head = chunk("PICH");
    const std::vector<uint8_t> palette = chunk("PICP");
    if (!problem.empty() || record.size() != (e.IsMap ? 134u : 66u) || head.size() < 40) {
      problem = problem.empty() ? "bad record or picture header" : problem;
      break;
    }
    e.Name = reinterpret_cast<const char*>(&record[10]);
    e.Width = int32_t(Le32(&record[58]));
    e.Height = int32_t(Le32(&record[62]));
    e.Bits = head[14];
    e.Transparent = head.size() >= 48 ? Le32(&head[40]) : 0;
    e.TransparentIndex = head.size() >= 48 ? Le32(&head[44]) : 0;
    for (size_t i = 0; i + 4 <= palette.size() && i < Le32(&head[32]) * 4u; i += 4) {
      e.Palette.push_back({palette[i + 2], palette[i + 1], palette[i]});
    }
    const size_t tiles =
        e.IsMap ? size_t((e.Width + Tile - 1) / Tile) * ((e.Height + Tile - 1) / Tile) : 1;
    const size_t size = e.IsMap ? size_t(Tile) * Tile * e.Bits / 8
                                : (size_t(e.Width) * e.Bits + 31) / 32 * 4 * e.Height;
    for (size_t t = 0; t < tiles && problem.empty(); ++t) {
      const std::vector<uint8_t> data = chunk("PICD");
      std::vector<uint8_t> pixels(size);
      uLongf got = size;
      if (problem.empty() &&
          (uncompress(pixels.data(), &got, data.data(), data.size()) != Z_OK || got != size)) {
        problem =
            e.Name + ": a data chunk that does not inflate to " + std::to_string(size) + " bytes";
      }
      e.Data.push_back(std::move(pixels));
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

std::string NewFolder(const std::string& name) {
  static struct Folders {  // a failing test's files stay until the program ends
    std::vector<std::filesystem::path> Made;
    ~Folders() {
      for (const auto& f : Made) std::filesystem::remove_all(f);
    }
  } folders;
  const std::filesystem::path folder =
      ::testing::TempDir() + "velmira_" + std::to_string(getpid()) + "_" + name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  folders.Made.push_back(folder);
  return folder.string() + "/";
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& f : std::filesystem::directory_iterator(folder))
    names.push_back(f.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

bool Place(const std::string& file, const std::string& map, double lat, double lon, int32_t& x,
           int32_t& y) {
  const std::u16string name(file.begin(), file.end()), mapName(map.begin(), map.end());
  VmViewer* viewer = Viewer_New();
  Viewer_Open(viewer, name.c_str());
  Map_Delete(Viewer_ActiveMapData(viewer, mapName.c_str()));
  VmPosition* p = Position_New();
  Position_SetLatitudeDecDeg(p, &lat);
  Position_SetLongitudeDecDeg(p, &lon);
  VmPoint* point = Viewer_Position2Point(viewer, p);
  const bool placed = point != nullptr && Error_ErrNum(Viewer_GetErrHandle(viewer)) == 0;
  x = placed ? Point_GetX(point) : 0;
  y = placed ? Point_GetY(point) : 0;
  Point_Delete(point);
  Position_Delete(p);
  Viewer_Delete(viewer);
  return placed;
}

}  // namespace picturefiles
