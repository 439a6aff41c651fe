// Writes the seed corpus of fuzz_picture with the map library writer: icon pictures of every
// depth (with and without transparency) and tiled map pictures, each file cut to start at its
// picture and given the fuzz target's 6-byte prefix of tile rectangles.
//   make_picture_seeds fuzz/corpus/picture
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "MapLibWriter.h"

namespace {

std::vector<uint8_t> Rows(int32_t width, int32_t height, int depth, size_t* pitch) {
  *pitch = (static_cast<size_t>(width) * depth + 7) / 8;
  std::vector<uint8_t> rows(*pitch * height);
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 7 + i / 13);
  return rows;
}

maplib::PictureFormat Format(int32_t width, int32_t height, int depth, bool transparent) {
  maplib::PictureFormat f;
  f.Width = width;
  f.Height = height;
  f.BitsPerPixel = depth;
  f.Palette.assign(depth <= 8 ? (4u << depth) : 0, 0x40);
  f.WithTransparency = transparent;
  f.Transparent = 1;
  f.TransparentIndex = 3;
  return f;
}

// The bytes of the file after its header chunk and the icon or map chunk.
std::vector<uint8_t> PictureOf(const std::string& path, size_t recordSize) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t skip = 12 + 8 + recordSize;
  return {bytes.begin() + static_cast<long>(skip), bytes.end()};
}

void Save(const std::string& dir, const std::string& name, const std::vector<uint8_t>& prefix,
          const std::vector<uint8_t>& picture) {
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(prefix.data()), static_cast<std::streamsize>(prefix.size()));
  out.write(reinterpret_cast<const char*>(picture.data()), static_cast<std::streamsize>(picture.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_picture_seeds DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::string tmp = dir + "/.seed.tmp";
  for (int depth : {1, 4, 8, 16, 24}) {
    maplib::MapLibWriter w;
    size_t pitch;
    auto f = Format(13, 7, depth, depth == 8);
    auto rows = Rows(13, 7, depth, &pitch);
    w.Create(tmp);
    w.AddIcon(maplib::MakeIconRecord({"icon", "", 13, 7}), f, rows.data(), pitch);
    if (!w.Close()) return 1;
    Save(dir, "icon_" + std::to_string(depth), {0, 0, 4, 8, 0, 0},
         PictureOf(tmp, maplib::IconRecordSize));
  }
  for (int depth : {8, 24}) {
    maplib::MapLibWriter w;
    size_t pitch;
    const int32_t width = 300, height = 270;  // 2 x 2 tiles, padded right and below
    auto f = Format(width, height, depth, false);
    f.Level = 9;
    auto rows = Rows(width, height, depth, &pitch);
    maplib::MapFields m;
    m.Width = width;
    m.Height = height;
    w.Create(tmp);
    w.BeginMap(maplib::MakeMapRecord(m), f);
    w.AddRows(rows.data(), pitch, height);
    w.EndMap();
    if (!w.Close()) return 1;
    const auto picture = PictureOf(tmp, maplib::MapRecordSize);
    Save(dir, "map_" + std::to_string(depth) + "_inside", {1, 1, 0, 0, 2, 2}, picture);
    Save(dir, "map_" + std::to_string(depth) + "_across", {0xFF, 0xFF, 2, 2, 2, 2}, picture);
  }
  std::remove(tmp.c_str());
  return 0;
}
