#include "ViewerTesting.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace velmira::testfiles {
namespace {

std::string ScratchPath() {
  static int counter = 0;
  return std::filesystem::temp_directory_path() / ("velmira_viewer_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
}

// Runs the writer on a scratch file and returns what it wrote after its header chunk.
template <class Fill>
Bytes Written(Fill fill) {
  const std::string path = ScratchPath();
  maplib::MapLibWriter w;
  w.Create(path);
  fill(w);
  w.Close();
  std::ifstream in(path, std::ios::binary);
  Bytes all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  return all.size() < 12 ? Bytes{} : Bytes(all.begin() + 12, all.end());
}

}  // namespace

uint32_t MapColour(int seed, int32_t x, int32_t y) {
  const auto r = static_cast<uint32_t>(x * 7 + seed * 40) % 200, g = static_cast<uint32_t>(y * 3 + x / 5) % 200;
  return r << 16 | g << 8 | static_cast<uint32_t>(x + y + seed * 90) % 200;
}

Bytes Header(uint16_t major, uint16_t minor, int32_t size) {
  Bytes version = {static_cast<uint8_t>(major), static_cast<uint8_t>(major >> 8),
                   static_cast<uint8_t>(minor), static_cast<uint8_t>(minor >> 8)};
  version.resize(static_cast<size_t>(std::max(size, 4)), 0);
  return Chunk("KOLV", size, version);
}

Bytes Chunk(const char (&tag)[5], int32_t size, const Bytes& data) {
  Bytes out;
  for (uint32_t v : {maplib::Tag(tag), static_cast<uint32_t>(size)}) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

maplib::MapFields SmallMap(const std::string& name, int32_t width, int32_t height) {
  maplib::MapFields f;
  f.Name = name, f.Width = width, f.Height = height, f.Datum = 1;
  f.UOrigin = 0.1, f.VOrigin = 0.9, f.UPerX = 1e-5, f.VPerY = -1e-5;
  return f;
}

Bytes MapChunks(const maplib::MapFields& fields, int seed, uint16_t versionMajor) {
  return Written([&](maplib::MapLibWriter& w) {
    maplib::PictureFormat format;
    format.Width = fields.Width, format.Height = fields.Height;
    auto record = maplib::MakeMapRecord(fields);
    record[0] = static_cast<uint8_t>(versionMajor);
    w.BeginMap(record, format);
    Bytes row(3 * static_cast<size_t>(fields.Width));
    for (int32_t y = 0; y < fields.Height; ++y) {
      for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(MapColour(seed, static_cast<int32_t>(i / 3), y) >> (8 * (i % 3)));
      w.AddRows(row.data(), row.size(), 1);
    }
    w.EndMap();
  });
}

Bytes IconChunks(const std::string& name, int32_t width, int32_t height, bool transparent) {
  return Written([&](maplib::MapLibWriter& w) {
    maplib::PictureFormat format;
    format.Width = width, format.Height = height, format.BitsPerPixel = 8;
    format.Palette.assign(256 * 4, 0);
    for (size_t i = 0; i < 16; ++i) format.Palette[i] = static_cast<uint8_t>(IconPalette[i / 4] >> (8 * (i % 4)));
    format.WithTransparency = transparent, format.Transparent = transparent ? 1 : 0;
    Bytes pixels(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = IconIndex(static_cast<int32_t>(i % width), static_cast<int32_t>(i / width));
    w.AddIcon(maplib::MakeIconRecord({name, name + "-2", width, height}), format, pixels.data(), static_cast<size_t>(width));
  });
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
  std::ofstream(Paths.back(), std::ios::binary).write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
  return Paths.back();
}

}  // namespace velmira::testfiles
