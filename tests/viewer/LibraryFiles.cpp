#include "LibraryFiles.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace velmira::testfiles {
namespace {

void Put32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// What the writer made, without its own header chunk (12 bytes).
Bytes Written(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  Bytes all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  return all.size() < 12 ? Bytes{} : Bytes(all.begin() + 12, all.end());
}

std::string ScratchPath() {
  static int counter = 0;
  return (std::filesystem::temp_directory_path() /
          ("velmira_viewer_" + std::to_string(::getpid()) + "_w" + std::to_string(counter++)))
      .string();
}

}  // namespace

uint32_t MapColour(int seed, int32_t x, int32_t y) {
  const uint32_t r = static_cast<uint32_t>(x * 7 + seed * 40) % 200;
  const uint32_t g = static_cast<uint32_t>(y * 3 + x / 5) % 200;
  const uint32_t b = static_cast<uint32_t>(x + y + seed * 90) % 200;
  return r << 16 | g << 8 | b;
}

uint8_t IconIndex(int32_t x, int32_t y) { return static_cast<uint8_t>((x / 2 + y / 3) % 4); }

uint32_t IconPaletteColour(uint8_t index) {
  static constexpr uint32_t colours[4] = {0xFF00FF, 0xE01010, 0x1010E0, 0x000000};
  return index < 4 ? colours[index] : 0;
}

Bytes Header(uint16_t major, uint16_t minor, int32_t size) {
  Bytes out = Chunk("KOLV", size);
  out.insert(out.end(), {static_cast<uint8_t>(major), static_cast<uint8_t>(major >> 8),
                         static_cast<uint8_t>(minor), static_cast<uint8_t>(minor >> 8)});
  if (size > 4) out.resize(out.size() + static_cast<size_t>(size - 4), 0);
  return out;
}

Bytes Chunk(const char (&tag)[5], int32_t size, const Bytes& data) {
  Bytes out;
  Put32(out, maplib::Tag(tag));
  Put32(out, static_cast<uint32_t>(size));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

maplib::MapFields SmallMap(const std::string& name, int32_t width, int32_t height) {
  maplib::MapFields f;
  f.Name = name;
  f.Width = width;
  f.Height = height;
  f.Datum = 1;
  f.UOrigin = 0.1;
  f.VOrigin = 0.9;
  f.UPerX = 1e-5;
  f.VPerY = -1e-5;
  return f;
}

Bytes MapChunks(const maplib::MapFields& fields, int seed, uint16_t versionMajor) {
  const std::string path = ScratchPath();
  maplib::MapLibWriter w;
  w.Create(path);
  maplib::PictureFormat format;
  format.Width = fields.Width;
  format.Height = fields.Height;
  auto record = maplib::MakeMapRecord(fields);
  record[0] = static_cast<uint8_t>(versionMajor);
  record[1] = static_cast<uint8_t>(versionMajor >> 8);
  w.BeginMap(record, format);
  Bytes row(3 * static_cast<size_t>(fields.Width));
  for (int32_t y = 0; y < fields.Height; ++y) {
    for (int32_t x = 0; x < fields.Width; ++x) {
      const uint32_t c = MapColour(seed, x, y);  // blue, green, red
      row[3 * x] = static_cast<uint8_t>(c), row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
    }
    w.AddRows(row.data(), row.size(), 1);
  }
  w.EndMap();
  w.Close();
  return Written(path);
}

Bytes IconChunks(const std::string& name, int32_t width, int32_t height, bool transparent) {
  const std::string path = ScratchPath();
  maplib::MapLibWriter w;
  w.Create(path);
  maplib::PictureFormat format;
  format.Width = width;
  format.Height = height;
  format.BitsPerPixel = 8;
  format.Palette.assign(256 * 4, 0);
  for (uint8_t i = 0; i < 4; ++i) {
    const uint32_t c = IconPaletteColour(i);
    for (int k = 0; k < 3; ++k) format.Palette[4 * i + k] = static_cast<uint8_t>(c >> (8 * k));
  }
  format.WithTransparency = transparent;
  format.Transparent = transparent ? 1 : 0;
  format.TransparentIndex = 0;
  Bytes pixels(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = IconIndex(x, y);
  }
  w.AddIcon(maplib::MakeIconRecord({name, name + "-2", width, height}), format, pixels.data(),
            static_cast<size_t>(width));
  w.Close();
  return Written(path);
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TempFiles::~TempFiles() {
  for (const std::string& p : Paths) std::remove(p.c_str());
}

std::string TempFiles::Write(const Bytes& content) {
  Paths.push_back(ScratchPath());
  std::ofstream(Paths.back(), std::ios::binary)
      .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
  return Paths.back();
}

std::string TempFiles::MissingPath() { return ScratchPath() + "_missing"; }

}  // namespace velmira::testfiles
