#include "GdalInput.h"

#include <gdal.h>

#include <algorithm>
#include <cpl_error.h>

namespace cli {
namespace {

// GDAL's block cache: a strip of 256 rows of a 32,768-pixel-wide RGBA raster is 32 MiB, so
// this holds the strip being read and the blocks that the next strip shares with it.
constexpr int64_t CacheBytes = 64 << 20;
constexpr int MaxPaletteEntries = 256;
// The side limit PNG pictures have (libpng's default): a strip of a wider raster takes more
// memory than a map is worth, and a header may claim any size without holding the pixels.
constexpr int32_t MaxSide = 1000000;

std::string GdalWords() {
  const std::string why = CPLGetLastErrorMsg();
  return why.empty() ? "GDAL cannot read it" : why;
}

uint8_t OverWhite(int colour, int alpha) {
  return static_cast<uint8_t>((colour * alpha + 255 * (255 - alpha) + 127) / 255);
}

}  // namespace

GdalInput::~GdalInput() {
  // The warped view reads from the opened raster: it goes first.
  if (Warped != nullptr) GDALClose(Warped);
  if (Opened != nullptr) GDALClose(Opened);
}

bool GdalInput::Fail(const std::string& message) {
  if (Message.empty()) Message = Path + ": " + message;
  return false;
}

bool GdalInput::Open(const std::string& path) {
  Path = path;
  GDALAllRegister();
  GDALSetCacheMax64(CacheBytes);
  CPLErrorReset();
  Opened = GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                      nullptr, nullptr, nullptr);
  if (Opened == nullptr) return Fail("cannot open the raster: " + GdalWords());
  return Plan();
}

bool GdalInput::UseWarped(GDALDatasetH warped, const std::string& what) {
  if (warped == nullptr) return Fail("cannot " + what + ": " + GdalWords());
  Warped = warped;
  Bands.clear();
  Colours.clear();
  HasAlpha = false;
  return Plan();
}

bool GdalInput::Plan() {
  GDALDatasetH ds = Current();
  PictureWidth = GDALGetRasterXSize(ds);
  PictureHeight = GDALGetRasterYSize(ds);
  const int count = GDALGetRasterCount(ds);
  if (count == 0) return Fail("the file holds no raster bands");
  if (PictureWidth > MaxSide || PictureHeight > MaxSide) {
    return Fail("it is " + std::to_string(PictureWidth) + " x " + std::to_string(PictureHeight) +
                " pixels; a map picture has at most " + std::to_string(MaxSide) + " on a side");
  }
  GDALRasterBandH first = GDALGetRasterBand(ds, 1);
  if (GDALGetRasterColorInterpretation(first) == GCI_PaletteIndex &&
      GDALGetRasterColorTable(first) != nullptr) {
    return PlanPalette();
  }
  Depth = 24;
  const int colours = count >= 3 ? 3 : 1;
  for (int b = 1; b <= count; ++b) {
    GDALRasterBandH band = GDALGetRasterBand(ds, b);
    const bool alpha = GDALGetRasterColorInterpretation(band) == GCI_AlphaBand;
    if (b > colours && (!alpha || HasAlpha)) continue;  // extra bands are not pictured
    const GDALDataType type = GDALGetRasterDataType(band);
    if (type != GDT_Byte && type != GDT_UInt16) {
      return Fail(std::string("band ") + std::to_string(b) + " holds " + GDALGetDataTypeName(type) +
                  " samples; pictures take 8- or 16-bit bands");
    }
    BandPlan plan;
    plan.Index = b;
    plan.Wide = type == GDT_UInt16;
    int has = 0;
    plan.NoData = GDALGetRasterNoDataValue(band, &has);
    plan.HasNoData = has != 0 && !alpha;
    if (b > colours) HasAlpha = true;
    Bands.push_back(plan);
  }
  return true;
}

bool GdalInput::PlanPalette() {
  GDALRasterBandH band = GDALGetRasterBand(Current(), 1);
  if (GDALGetRasterDataType(band) != GDT_Byte) return Fail("palette bands of more than 8 bits");
  GDALColorTableH table = GDALGetRasterColorTable(band);
  const int entries = std::min(GDALGetColorEntryCount(table), MaxPaletteEntries);
  Depth = entries <= 2 ? 1 : entries <= 16 ? 4 : 8;
  Colours.assign(static_cast<size_t>(4) << Depth, 255);
  int has = 0;
  const double noData = GDALGetRasterNoDataValue(band, &has);
  for (int i = 0; i < entries; ++i) {
    GDALColorEntry c{};
    GDALGetColorEntryAsRGB(table, i, &c);
    uint8_t* at = &Colours[static_cast<size_t>(i) * 4];
    const bool blank = has != 0 && noData == i;
    at[0] = blank ? 255 : OverWhite(c.c3, c.c4);
    at[1] = blank ? 255 : OverWhite(c.c2, c.c4);
    at[2] = blank ? 255 : OverWhite(c.c1, c.c4);
    at[3] = 0;
  }
  BandPlan plan;
  plan.Index = 1;
  Bands.push_back(plan);
  return true;
}

bool GdalInput::ReadStrip(int32_t count) {
  const size_t plane = static_cast<size_t>(PictureWidth) * count;
  Samples.resize(plane * Bands.size());
  const bool allBytes = std::none_of(Bands.begin(), Bands.end(), [](const BandPlan& b) { return b.Wide; });
  const auto failed = [this] {
    return Fail("cannot read rows from " + std::to_string(RowsRead) + " on: " + GdalWords());
  };
  CPLErrorReset();
  if (allBytes) {
    std::vector<int> map;
    for (const BandPlan& b : Bands) map.push_back(b.Index);
    if (GDALDatasetRasterIO(Current(), GF_Read, 0, RowsRead, PictureWidth, count, Samples.data(),
                            PictureWidth, count, GDT_Byte, static_cast<int>(map.size()), map.data(),
                            1, PictureWidth, static_cast<int>(plane)) != CE_None) {
      return failed();
    }
  }
  const bool anyNoData =
      !IsPalette() && std::any_of(Bands.begin(), Bands.end(), [](const BandPlan& b) { return b.HasNoData; });
  Blank.assign(anyNoData ? plane : 0, 1);
  for (size_t k = 0; k < Bands.size(); ++k) {
    const BandPlan& b = Bands[k];
    uint8_t* to = &Samples[k * plane];
    GDALRasterBandH band = GDALGetRasterBand(Current(), b.Index);
    if (b.Wide) {
      Wide.resize(plane);
      if (GDALRasterIO(band, GF_Read, 0, RowsRead, PictureWidth, count, Wide.data(), PictureWidth,
                       count, GDT_UInt16, 0, 0) != CE_None) {
        return failed();
      }
      for (size_t i = 0; i < plane; ++i) to[i] = static_cast<uint8_t>((Wide[i] * 255u + 32767u) / 65535u);
    } else if (!allBytes &&  // the 8-bit bands of a raster that also has 16-bit ones
               GDALRasterIO(band, GF_Read, 0, RowsRead, PictureWidth, count, to, PictureWidth,
                            count, GDT_Byte, 0, 0) != CE_None) {
      return failed();
    }
    if (!anyNoData || !b.HasNoData) continue;
    // A pixel is nodata when every band that has a nodata value holds it.
    for (size_t i = 0; i < plane; ++i) {
      const double raw = b.Wide ? Wide[i] : to[i];
      Blank[i] &= raw == b.NoData;
    }
  }
  return true;
}

void GdalInput::PackIndices(uint8_t* out, size_t pitch, int32_t count) const {
  const size_t width = static_cast<size_t>(PictureWidth);
  const int perByte = 8 / Depth;
  const unsigned mask = (1u << Depth) - 1;
  for (int32_t r = 0; r < count; ++r) {
    const uint8_t* in = &Samples[r * width];
    uint8_t* row = out + r * pitch;
    if (Depth == 8) {
      std::copy(in, in + width, row);
      continue;
    }
    std::fill(row, row + RowBytes(), 0xFF);  // bits after the last pixel stay set
    for (size_t x = 0; x < width; ++x) {
      const int shift = 8 - Depth * (1 + static_cast<int>(x % perByte));
      uint8_t& byte = row[x / perByte];
      byte = static_cast<uint8_t>((byte & ~(mask << shift)) | ((in[x] & mask) << shift));
    }
  }
}

void GdalInput::ComposeColours(uint8_t* out, size_t pitch, int32_t count) const {
  const size_t width = static_cast<size_t>(PictureWidth);
  const size_t plane = width * count;
  const size_t colours = Bands.size() - (HasAlpha ? 1 : 0);
  const uint8_t* alpha = HasAlpha ? &Samples[colours * plane] : nullptr;
  // Grey is copied to all three colours.
  const uint8_t* red = Samples.data();
  const uint8_t* green = colours == 3 ? red + plane : red;
  const uint8_t* blue = colours == 3 ? red + 2 * plane : red;
  const bool opaque = alpha == nullptr && Blank.empty();
  for (int32_t r = 0; r < count; ++r) {
    uint8_t* to = out + r * pitch;
    const size_t row = r * width;
    if (opaque) {  // the common case, without the arithmetic of alpha
      for (size_t x = 0, i = row; x < width; ++x, ++i, to += 3) to[0] = blue[i], to[1] = green[i], to[2] = red[i];
      continue;
    }
    for (size_t x = 0, i = row; x < width; ++x, ++i, to += 3) {
      const int a = !Blank.empty() && Blank[i] != 0 ? 0 : alpha != nullptr ? alpha[i] : 255;
      to[0] = OverWhite(blue[i], a);
      to[1] = OverWhite(green[i], a);
      to[2] = OverWhite(red[i], a);
    }
  }
}

bool GdalInput::ReadRows(uint8_t* out, size_t pitch, int32_t count) {
  if (count <= 0 || RowsRead + count > PictureHeight) return Fail("rows asked beyond the raster");
  if (!ReadStrip(count)) return false;
  if (IsPalette()) {
    const int entries = static_cast<int>(Colours.size() / 4);
    const size_t plane = static_cast<size_t>(PictureWidth) * count;
    const auto beyond = std::find_if(Samples.begin(), Samples.begin() + plane,
                                     [entries](uint8_t v) { return v >= entries; });
    if (beyond != Samples.begin() + plane) {
      return Fail("pixel index " + std::to_string(*beyond) + " is outside the palette of " +
                  std::to_string(entries) + " colours");
    }
    PackIndices(out, pitch, count);
  } else {
    ComposeColours(out, pitch, count);
  }
  RowsRead += count;
  return true;
}

}  // namespace cli
