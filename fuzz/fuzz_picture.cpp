// The picture readers on arbitrary files: a 6-byte prefix chooses the tile rectangles, the
// rest is the file, standing at a picture's header chunk. The whole-picture reader runs first
// and, when it made a bitmap, the view resampler samples it; then the tiled reader. Nothing
// may crash, hang, read out of bounds or leave memory uninitialised.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "frame/Rect.h"
#include "frame/Text.h"
#include "maps/Bitmap.h"
#include "maps/File.h"

namespace {

constexpr size_t PrefixSize = 6;
// Larger whole pictures are left out: they only make each run slow (the readers' limit is
// the bitmap's 1 GiB guard, tested elsewhere).
constexpr uint64_t MaxPictureBytes = 16u << 20;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }

bool SmallPicture(const uint8_t* file, size_t size) {
  if (size < 8 + 16) return true;  // too short to ask for much
  const double width = static_cast<int32_t>(Le32(file + 8 + 4));
  const double height = static_cast<int32_t>(Le32(file + 8 + 8));
  const double depth = file[8 + 14] | file[8 + 15] << 8;
  return width <= 0 || height <= 0 || width * depth / 8 * height <= MaxPictureBytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < PrefixSize) return 0;
  static const std::string path = "/tmp/velmira_fuzz_picture_" + std::to_string(::getpid());
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return 0;
  std::fwrite(data + PrefixSize, 1, size - PrefixSize, out);
  std::fclose(out);

  const auto s8 = [&](size_t i) { return static_cast<int32_t>(static_cast<int8_t>(data[i])); };
  const velmira::Rect needed(s8(0) % 6, s8(1) % 6, 1 + data[2] % 3, 1 + data[3] % 3);
  const velmira::Rect all(0, 0, data[4] % 6, data[5] % 6);

  velmira::Text name(path.c_str());
  auto file = velmira::MakeRef<velmira::File>();
  file->Open(name, velmira::File::ReadMode);
  if (SmallPicture(data + PrefixSize, size - PrefixSize)) {
    velmira::Bitmap picture;
    picture.ReadPicture(*file);
    if (picture.Pixels() != nullptr) {
      const float zoom = 0.1f + static_cast<float>(data[2]) / 16.0f;
      const float rotation = static_cast<float>(s8(3)) / 16.0f;
      velmira::ReleaseObject(picture.RenderView(s8(0), s8(1), 24, 17, zoom, rotation));
    }
  }
  file->Seek(0, velmira::File::FromStart);
  velmira::Bitmap tiles;
  tiles.ReadTiles(*file, needed, all);
  return 0;
}
