#include "platform/PixelSurface.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

// 16-bit pixels are 5-5-5 (x, red, green, blue from the top bit down); a 5-bit channel is
// widened by repeating its top bits, so 31 reads as 255.
uint32_t Pack555(Bgr c) { return (c >> 9 & 0x7C00) | (c >> 6 & 0x03E0) | (c >> 3 & 0x001F); }
Bgr Unpack555(uint32_t v) {
  auto widen = [](uint32_t five) { return five << 3 | five >> 2; };
  return widen(v >> 10 & 31) << 16 | widen(v >> 5 & 31) << 8 | widen(v & 31);
}

int32_t Distance(Bgr a, Bgr b) {
  int32_t d0 = static_cast<int32_t>(a & 0xFF) - static_cast<int32_t>(b & 0xFF);
  int32_t d1 = static_cast<int32_t>(a >> 8 & 0xFF) - static_cast<int32_t>(b >> 8 & 0xFF);
  int32_t d2 = static_cast<int32_t>(a >> 16 & 0xFF) - static_cast<int32_t>(b >> 16 & 0xFF);
  return d0 * d0 + d1 * d1 + d2 * d2;
}

uint32_t Load(const uint8_t* row, int32_t x, uint16_t bits) {
  switch (bits) {
    case 1:
      return row[x >> 3] >> (7 - (x & 7)) & 1;
    case 4:
      return (x & 1) != 0 ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case 8:
      return row[x];
    case 16:
      return row[2 * x] | row[2 * x + 1] << 8;
    case 24:
      return row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
    default: {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      return v & BgrMask;
    }
  }
}

void Store(uint8_t* row, int32_t x, uint16_t bits, uint32_t v) {
  switch (bits) {
    case 1: {
      uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>(v != 0 ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case 4: {
      uint8_t& b = row[x >> 1];
      b = static_cast<uint8_t>((x & 1) != 0 ? (b & 0xF0) | (v & 0x0F) : (b & 0x0F) | v << 4);
      break;
    }
    case 8:
      row[x] = static_cast<uint8_t>(v);
      break;
    case 16:
      row[2 * x] = static_cast<uint8_t>(v);
      row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      break;
    case 24:
      row[3 * x] = static_cast<uint8_t>(v);
      row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(v >> 16);
      break;
    default: {
      uint32_t word = v & BgrMask;  // the unused byte is written as 0
      std::memcpy(row + 4 * x, &word, 4);
    }
  }
}

}  // namespace

uint32_t PixelSurface::ValueOf(Bgr colour) const {
  colour &= BgrMask;
  if (BitsPerPixel == 16) return Pack555(colour);
  if (!Indexed()) return colour;
  // Fibonacci hashing: the top bits of the product mix all three channels.
  auto& slot = Recent[(colour * 2654435761u) >> (32 - RecentBits)];
  if (slot.first != colour) slot = {colour, NearestEntry(colour)};
  return slot.second;
}

uint32_t PixelSurface::NearestEntry(Bgr colour) const {
  uint32_t best = 0;
  int32_t bestDistance = INT32_MAX;
  for (uint32_t i = 0; i < PaletteSize; ++i) {
    int32_t d = Distance(colour, Palette[i]);
    if (d < bestDistance) {  // the first of equally close entries wins
      best = i;
      bestDistance = d;
      if (d == 0) break;
    }
  }
  return best;
}

Bgr PixelSurface::ColourOf(uint32_t value) const {
  if (BitsPerPixel == 16) return Unpack555(value);
  if (!Indexed()) return value & BgrMask;
  return value < PaletteSize ? Palette[value] : 0;  // indices past the palette read as black
}

void PixelSurface::ReadValues(int32_t y, int32_t x, int32_t n, uint32_t* out) const {
  const uint8_t* row = Row(y);
  for (int32_t i = 0; i < n; ++i) out[i] = Load(row, x + i, BitsPerPixel);
}

void PixelSurface::ReadColours(int32_t y, int32_t x, int32_t n, Bgr* out) const {
  const uint8_t* row = Row(y);
  if (BitsPerPixel == 32) {
    for (int32_t i = 0; i < n; ++i) out[i] = Load(row, x + i, 32);
    return;
  }
  if (BitsPerPixel == 24) {
    for (int32_t i = 0; i < n; ++i) out[i] = Load(row, x + i, 24);
    return;
  }
  for (int32_t i = 0; i < n; ++i) out[i] = ColourOf(Load(row, x + i, BitsPerPixel));
}

void PixelSurface::WriteColours(int32_t y, int32_t x, int32_t n, const Bgr* in) {
  if (n <= 0) return;
  uint8_t* row = Row(y);
  if (!Indexed() && BitsPerPixel != 16) {
    for (int32_t i = 0; i < n; ++i) Store(row, x + i, BitsPerPixel, in[i]);
    return;
  }
  // Runs of one colour are common (masks, text backgrounds): look each colour up once.
  Bgr last = in[0] + 1;
  uint32_t value = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (in[i] != last) {
      last = in[i];
      value = ValueOf(last);
    }
    Store(row, x + i, BitsPerPixel, value);
  }
}

void PixelSurface::FillSpan(int32_t y, int64_t x0, int64_t x1, uint32_t value) {
  if (y < 0 || y >= Height) return;
  int32_t from = static_cast<int32_t>(std::max<int64_t>(x0, 0));
  int32_t to = static_cast<int32_t>(std::min<int64_t>(x1, Width - 1));
  if (from > to) return;
  uint8_t* row = Row(y);
  switch (BitsPerPixel) {
    case 8:
      std::memset(row + from, static_cast<int>(value), static_cast<size_t>(to - from + 1));
      return;
    case 32: {
      uint32_t* p = reinterpret_cast<uint32_t*>(row) + from;
      std::fill(p, p + (to - from + 1), value & BgrMask);
      return;
    }
    default:
      for (int32_t x = from; x <= to; ++x) Store(row, x, BitsPerPixel, value);
  }
}

}  // namespace platform
