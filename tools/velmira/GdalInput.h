// Reads any raster GDAL opens, a strip of rows at a time, in the pixel layouts that map
// library pictures store (the same as PngInput): palette indices packed 1, 4 or 8 bits per
// pixel, or 24 bits per pixel as blue, green, red.
//
// What each kind of raster becomes:
// - a palette band keeps its indices and colours: 1 bit per pixel with at most 2 colours, 4
//   with at most 16, else 8; the stored palette is full for the depth, entries the raster
//   lacks are white; palette alpha is composited over white, the nodata index is white;
// - RGB, RGBA and grey (with or without alpha) become 24 bits; alpha is composited over
//   white (c' = (c a + 255 (255 - a) + 127) / 255); 16-bit samples are scaled to 8 bits;
// - a pixel whose every band holds that band's nodata value is white.
// GDAL's block cache is bounded, so a raster reads in bounded memory; one wider or higher than
// 1,000,000 pixels (PNG's limit) is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef void* GDALDatasetH;

namespace cli {

class GdalInput {
 public:
  GdalInput() = default;
  GdalInput(const GdalInput&) = delete;
  GdalInput& operator=(const GdalInput&) = delete;
  ~GdalInput();

  // Opens the raster; false (with Error()) when GDAL cannot open it or its bands are of a
  // kind the tool cannot store.
  bool Open(const std::string& path);
  // Reads from `warped` (a dataset made from this one, which it takes over) from now on.
  bool UseWarped(GDALDatasetH warped, const std::string& what);

  GDALDatasetH Dataset() const { return Current(); }
  GDALDatasetH Source() const { return Opened; }
  bool IsPalette() const { return Depth != 24; }
  int32_t Width() const { return PictureWidth; }
  int32_t Height() const { return PictureHeight; }
  int BitsPerPixel() const { return Depth; }  // 1, 4, 8 or 24
  // Blue, green, red, 0 per entry: 2, 16 or 256 entries for the palette depths, empty for 24.
  const std::vector<uint8_t>& Palette() const { return Colours; }
  size_t RowBytes() const { return (static_cast<size_t>(PictureWidth) * Depth + 7) / 8; }

  // The next `count` rows, top-down, RowBytes() each, `pitch` bytes apart; bits after the
  // last pixel of a row are set. False (with Error()) when GDAL cannot read them.
  bool ReadRows(uint8_t* out, size_t pitch, int32_t count);
  // After the last row: GDAL has nothing more to check.
  bool Finish() { return true; }

  const std::string& Error() const { return Message; }

 private:
  struct BandPlan {
    int Index = 0;  // GDAL's 1-based band number
    bool Wide = false;  // 16-bit samples
    bool HasNoData = false;
    double NoData = 0;
  };
  GDALDatasetH Current() const { return Warped != nullptr ? Warped : Opened; }
  bool Fail(const std::string& message);
  bool Plan();
  bool PlanPalette();
  bool ReadStrip(int32_t count);
  void PackIndices(uint8_t* out, size_t pitch, int32_t count) const;
  void ComposeColours(uint8_t* out, size_t pitch, int32_t count) const;

  std::string Path;
  std::string Message;
  GDALDatasetH Opened = nullptr;
  GDALDatasetH Warped = nullptr;
  int32_t PictureWidth = 0;
  int32_t PictureHeight = 0;
  int Depth = 0;
  std::vector<uint8_t> Colours;
  std::vector<BandPlan> Bands;  // palette: 1; grey: 1; RGB: 3; an alpha band last
  bool HasAlpha = false;
  std::vector<uint8_t> Samples;  // one strip, band after band, 8 bits per sample
  std::vector<uint16_t> Wide;    // one band's strip of 16-bit samples before scaling
  std::vector<uint8_t> Blank;    // 1 for the strip's nodata pixels; empty without nodata
  int32_t RowsRead = 0;
};

}  // namespace cli
