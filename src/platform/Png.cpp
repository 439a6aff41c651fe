// PNG output of a window surface: signature, IHDR, one IDAT holding the zlib stream of the
// filtered rows (filter 0 on every row), IEND. Each chunk carries the CRC-32 of its type and
// data, which zlib's crc32 computes.
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/Windows.h"

namespace platform {
namespace {

constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t BitDepth = 8;
constexpr uint8_t ColourTypeRgb = 2;
constexpr uint8_t FilterNone = 0;

void PutBigEndian(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
  PutBigEndian(out, static_cast<uint32_t>(size));
  size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + size);
  uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + size));
  PutBigEndian(out, static_cast<uint32_t>(crc));
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool SaveSurfacePng(const Surface& surface, const char* path) {
  if (path == nullptr || surface.Bits == nullptr || surface.Width < 1 || surface.Height < 1) {
    return false;
  }
  // Rows of RGB, each led by its filter byte; the surface holds blue, green, red, unused.
  const size_t rowBytes = 1 + static_cast<size_t>(surface.Width) * 3;
  std::vector<uint8_t> raw(rowBytes * surface.Height);
  for (int32_t y = 0; y < surface.Height; ++y) {
    uint8_t* row = raw.data() + rowBytes * y;
    const uint8_t* src = surface.Bits + static_cast<size_t>(surface.Stride) * y;
    *row++ = FilterNone;
    for (int32_t x = 0; x < surface.Width; ++x, src += 4) {
      *row++ = src[2];
      *row++ = src[1];
      *row++ = src[0];
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK) {
    return false;
  }

  std::vector<uint8_t> file(Signature, Signature + sizeof Signature);
  std::vector<uint8_t> header;
  PutBigEndian(header, static_cast<uint32_t>(surface.Width));
  PutBigEndian(header, static_cast<uint32_t>(surface.Height));
  header.insert(header.end(), {BitDepth, ColourTypeRgb, 0, 0, 0});  // deflate, adaptive, no interlace
  PutChunk(file, "IHDR", header.data(), header.size());
  PutChunk(file, "IDAT", packed.data(), packedSize);
  PutChunk(file, "IEND", nullptr, 0);

  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path, "wb"));
  if (!f) return false;
  if (std::fwrite(file.data(), 1, file.size(), f.get()) != file.size()) return false;
  return std::fclose(f.release()) == 0;
}

}  // namespace platform
