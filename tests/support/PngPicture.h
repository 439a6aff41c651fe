// PNG files read back whole as 8-bit RGB, rows top-down, for checking what the program drew.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace testsupport {

struct Rgb {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const Rgb&) const = default;
  friend std::ostream& operator<<(std::ostream& o, const Rgb& c) { return o << int(c.R) << "," << int(c.G) << "," << int(c.B); }
};
inline constexpr Rgb White{255, 255, 255};

struct Picture {
  int32_t Width = 0, Height = 0;
  std::vector<Rgb> Pixels;
  bool Has(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
  Rgb At(int32_t x, int32_t y) const { return Pixels[size_t(y) * Width + x]; }
};
// Empty when the file cannot be read.
Picture ReadPng(const std::string& path);

}  // namespace testsupport
