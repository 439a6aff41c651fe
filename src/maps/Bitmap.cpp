// Creating and clearing device-independent bitmaps. Row and block sizes follow the platform's
// DIB rules: rows padded to whole 32-bit words, header, palette and rows in one block.
#include "maps/Bitmap.h"

#include <cstdlib>
#include <cstring>

namespace velmira {
namespace {

constexpr uint32_t MaxColourCount = 256;

bool KnownDepth(int32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24: return true;
    default: return false;
  }
}

uint32_t PaletteEntriesFor(int32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;  // 16 and 24 bits carry their colours in the pixels
  }
}

}  // namespace

Bitmap::~Bitmap() { Free(); }

void Bitmap::Free() {
  std::free(Block);
  Block = nullptr;
}

bool Bitmap::Create(const BitmapInfoHeader& header) {
  Err.Clear();
  Free();
  const int32_t width = header.Width;
  const int32_t height = header.Height;
  const int32_t depth = header.BitsPerPixel;
  const uint32_t colours = header.ColourCount;
  if (width < 1 || height < 1 || !KnownDepth(depth) || colours > MaxColourCount) {
    Err.Set(errors::InvalidParameter);
    return false;
  }
  // Sizes in 64 bits: a 32-bit stride x height can wrap long before the guard would see it.
  const int64_t stride = ((int64_t{depth} * width + 31) / 32) * 4;
  const uint64_t imageSize = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
  const uint64_t blockSize = HeaderSize + uint64_t{colours} * 4 + imageSize;
  if (blockSize > MaxBlockBytes) {
    Err.Set(errors::OutOfMemory);
    return false;
  }
  Block = static_cast<uint8_t*>(std::malloc(blockSize));
  if (Block == nullptr) {
    Err.Set(errors::OutOfMemory);
    return false;
  }
  RowStride = static_cast<int32_t>(stride);
  BitmapInfoHeader info{};
  info.Size = HeaderSize;
  info.Width = width;
  info.Height = height;
  info.Planes = 1;
  info.BitsPerPixel = static_cast<uint16_t>(depth);
  info.ImageSize = static_cast<uint32_t>(imageSize);
  info.ColourCount = colours;
  std::memcpy(Block, &info, sizeof info);
  std::memset(Block + HeaderSize, 0, size_t{colours} * 4);
  return true;
}

bool Bitmap::Create(int32_t width, int32_t height, int32_t bitsPerPixel) {
  BitmapInfoHeader info{};
  info.Width = width;
  info.Height = height;
  info.BitsPerPixel = static_cast<uint16_t>(bitsPerPixel);
  // A depth that does not fit the 16-bit field must not wrap into a valid one.
  if (bitsPerPixel != info.BitsPerPixel) info.BitsPerPixel = 0;
  info.ColourCount = PaletteEntriesFor(bitsPerPixel);
  return Create(info);
}

void Bitmap::Clear() {
  // The image size is a whole number of 32-bit words, so this is the word fill exactly.
  if (Block != nullptr) std::memset(Pixels(), 0xFF, ImageSize());
}

}  // namespace velmira
