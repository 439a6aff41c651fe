// Reads PNG pictures through libpng, row by row, in the pixel layouts that map library pictures
// store (device-independent bitmap rows): 24 bits per pixel as blue, green, red, or palette
// indices packed 8, 4 or 1 bits per pixel (high bits hold the leftmost pixel).
//
// What each kind of PNG becomes (design decisions of the map library tools):
// - palette pictures keep their indices and colours: 1 bit per pixel when the palette has at
//   most 2 colours, 4 bits with at most 16, else 8 bits. The stored palette is always full for
//   the depth (2, 16 or 256 entries); entries the PNG lacks are white, so padding (all bits
//   set) shows white wherever the picture leaves the top index unused. Palette alpha (tRNS)
//   is composited over white into the colours of a map picture (which has no transparency).
//   An icon keeps every colour exactly: its first fully transparent entry becomes the key
//   (TransparentIndex), pixels of further fully transparent entries are folded onto it, and
//   partly transparent entries draw opaque. Icons are drawn transparent by the key's colour,
//   so a key whose colour an opaque entry also has gets an unused colour instead (it is
//   never seen);
// - RGB becomes 24 bits; grey, grey with alpha, RGB with alpha and 16-bit samples become 24
//   bits as well: 16-bit samples are scaled to 8 bits (v x 255 / 65535, rounded), grey is
//   copied to all three colours and alpha (also from tRNS) is composited over white:
//   c' = (c a + 255 (255 - a) + 127) / 255;
// - gamma and colour-profile chunks are ignored: samples are taken as they stand;
// - interlaced pictures cannot be streamed, so they are decoded whole first (up to
//   MaxInterlacedBytes of decoded rows); libpng's default limit of 1,000,000 pixels per side
//   stands.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace cli {

class PngInput {
 public:
  PngInput() = default;
  PngInput(const PngInput&) = delete;
  PngInput& operator=(const PngInput&) = delete;
  ~PngInput();

  // What palette alpha (tRNS) becomes: colours composited over white (maps), or exact colours
  // and a transparent key index (icons).
  enum class PaletteAlpha { OverWhite, Key };

  // Opens the file and reads up to the first row. False (with Error()) for a missing file,
  // a file that is not a PNG or a damaged header.
  bool Open(const std::string& path, PaletteAlpha alpha = PaletteAlpha::OverWhite);

  int32_t Width() const { return PictureWidth; }
  int32_t Height() const { return PictureHeight; }
  int BitsPerPixel() const { return Depth; }  // 1, 4, 8 or 24
  // Blue, green, red, 0 per entry: 2, 16 or 256 entries for the palette depths, empty for 24.
  const std::vector<uint8_t>& Palette() const { return Colours; }
  // The number of colours in the PNG's own palette (0 for 24 bits).
  int PaletteSize() const { return PngColours; }
  // With PaletteAlpha::Key, the index of the transparent key; -1 without one.
  int TransparentIndex() const { return KeyIndex; }
  // Bytes of one packed row: (width x bits per pixel + 7) / 8.
  size_t RowBytes() const;

  // The next `count` rows, top-down, each RowBytes() long and `pitch` bytes apart. Bits after
  // the last pixel of a row are set. False (with Error()) when the data are damaged, end
  // early or hold an index outside the palette.
  bool ReadRows(uint8_t* out, size_t pitch, int32_t count);
  // After the last row: reads the rest of the file, so damage after the pixels is found too.
  bool Finish();

  const std::string& Error() const { return Message; }

 private:
  bool Fail(const std::string& message);
  bool Setup();
  // rgb: red, green, blue of each of count entries; alpha: the tRNS values of the first ones.
  void TakePalette(const std::vector<uint8_t>& rgb, const uint8_t* alpha, int alphaCount);
  void KeepKeyApart();
  bool ConvertRow(const uint8_t* in, uint8_t* out);

  std::string Path;
  std::FILE* File = nullptr;
  void* Png = nullptr;   // png_structp
  void* Info = nullptr;  // png_infop
  std::string Message;
  std::string PngMessage;  // libpng's own words for its last failure
  int32_t PictureWidth = 0;
  int32_t PictureHeight = 0;
  int Depth = 0;
  int PngColours = 0;
  PaletteAlpha Alpha = PaletteAlpha::OverWhite;
  int KeyIndex = -1;
  uint8_t Fold[256] = {};  // the index each palette index is stored as
  std::vector<uint8_t> Colours;
  std::vector<uint8_t> Decoded;  // one row as libpng gives it
  std::vector<uint8_t> Whole;    // every row of an interlaced picture
  size_t DecodedBytes = 0;
  int32_t RowsRead = 0;
};

}  // namespace cli
