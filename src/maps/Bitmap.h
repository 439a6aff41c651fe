// The in-memory raster image: one heap block laid out as a device-independent bitmap (40-byte
// info header, palette of blue-green-red-reserved entries, bottom-up pixel rows padded to 4
// bytes), so that drawing hands header and pixels to the DIB functions unchanged. Layout rules
// are those of the platform's BITMAPINFOHEADER.
#pragma once

#include <bit>
#include <cstdint>

#include "frame/RefObject.h"

namespace velmira {

class File;
class Rect;
class TileIndex;

// The 40-byte BITMAPINFOHEADER, little-endian as the block and the picture chunks hold it.
struct BitmapInfoHeader {
  uint32_t Size;          // always 40
  int32_t Width;
  int32_t Height;         // positive: rows are stored bottom-up
  uint16_t Planes;        // always 1
  uint16_t BitsPerPixel;  // 1, 4, 8, 16 or 24
  uint32_t Compression;   // always 0, uncompressed
  uint32_t ImageSize;     // stride x height
  int32_t XPelsPerMeter;  // always 0
  int32_t YPelsPerMeter;  // always 0
  uint32_t ColourCount;   // palette entries
  uint32_t ImportantColours;  // always 0
};
static_assert(sizeof(BitmapInfoHeader) == 40, "the info header is 40 bytes on disk and in memory");
static_assert(std::endian::native == std::endian::little, "blocks and files share one byte order");

class Bitmap final : public RefObject {
 public:
  static constexpr int32_t HeaderSize = 40;
  // No single bitmap may take more than this; larger ones fail as "Out of memory" instead of
  // handing the allocator (or the kernel's out-of-memory killer) an absurd request.
  static constexpr uint64_t MaxBlockBytes = uint64_t{1} << 30;
  // A whole picture (an icon) wider or higher than this is refused as "Out of memory" too:
  // real icons are a few dozen pixels, and a header of a few bytes must not cost every
  // render of its copies hundreds of megabytes. 4096 x 4096 at 24 bits is 48 MiB.
  static constexpr int32_t MaxPictureSide = 4096;

  Bitmap() = default;
  ~Bitmap() override;

  // Builds a new block from width, height, bitsPerPixel and colourCount of header; the other
  // header fields are set to their fixed values. The palette is zeroed, the pixels are left
  // as they come. A width or height below 1, a depth other than 1, 4, 8, 16 or 24 or more than
  // 256 palette entries: 10003 "Invalid parameter!"; a block above MaxBlockBytes or a failed
  // allocation: 10012 "Out of memory". On failure the bitmap has no block.
  bool Create(const BitmapInfoHeader& header);
  // The same with the palette size that belongs to the depth (2, 16, 256, 0, 0 entries).
  bool Create(int32_t width, int32_t height, int32_t bitsPerPixel);
  // Every pixel byte 0xFF: white at 24 bits, palette index 255 (all ones) otherwise.
  void Clear();

  // A new 24-bit bitmap of width x height whose top-left pixel shows source pixel (x, y)
  // (counted from the top-left of this picture), zoomed by zoom (output pixels per source
  // pixel) and turned by rotation (radians) about that corner, each output pixel the
  // area average of its footprint in sixteenths of a source pixel; footprints reaching
  // outside the source are white. The caller gets the one reference; on failure the result
  // is null and this bitmap's error record says why: a zoom outside about 0.089 .. 16 (where
  // trunc(16 / zoom) is not 1 .. 181) is 10003 "Invalid Zoom value", a rotation that is not
  // finite 10003 "Invalid parameter!", an output Create refuses its error.
  // Choices where the definition is silent: 16-bit sources are read as 5-5-5 RGB; palette
  // entries beyond the colour count read as black; a bitmap without pixels renders white;
  // row padding is 0, except in rows that the unturned view's row test fills white.
  Bitmap* RenderView(int32_t x, int32_t y, int32_t width, int32_t height, float zoom,
                     float rotation);
  // The refusal of RenderView for that zoom and rotation, or null.
  static const ErrorKind* RefusedView(float zoom, float rotation);
  // A rectangle of pixels, x from the left and y from the top.
  struct Area {
    int32_t Left, Top, Width, Height;
  };
  // The same picture as RenderView, drawn into out (24 bits; its size is the view's) only
  // where part says (clipped to out); out's other pixels are left as they are. window, when
  // given, is the rectangle of this bitmap that stands for the whole source picture (x, y and
  // the white edges are then those of a bitmap holding only the window's pixels); its left
  // edge must fall on a whole byte. The rows are shared among the worker pool's threads.
  // False with this bitmap's error for the refusals of RenderView.
  bool RenderViewInto(Bitmap& out, int32_t x, int32_t y, float zoom, float rotation,
                      const Area* window, const Area& part);

  // Whole-picture reader (icons): the file stands at a picture's header chunk.
  // A chunk of another kind where a header, palette or data chunk belongs, a header chunk
  // shorter than 40 bytes, a palette chunk shorter than the palette, a size below 1, a depth
  // other than 1, 4, 8, 16, 24 or more than 256 colours: 10013 "Unknown file format". A
  // picture above the block limit or wider or higher than MaxPictureSide: 10012 "Out of
  // memory", found from the header before anything is allocated. File errors stay in the file's
  // record. Pixels whose compressed data is missing or corrupt are 0xFF, as is the whole
  // bitmap after an error that comes once it exists.
  void ReadPicture(File& file);
  // Tiled reader (maps): decodes the 256 x 256 tiles of needed (a tile rectangle whose top is
  // the lowest tile row) out of the picture whose tiles are all; tiles outside all are 0xFF,
  // and a needed rectangle that misses all reads no chunk at all. Errors as ReadPicture.
  void ReadTiles(File& file, const Rect& needed, const Rect& all);
  // The same bitmap as ReadTiles for a picture that index covers up to needed's last tile,
  // made without reading what kept (an earlier read of the tile rectangle keptTiles of the
  // same picture) already holds: those tiles are copied, only the others decoded.
  void ReadTilesKeeping(File& file, const Rect& needed, const Rect& all, const Bitmap& kept,
                        const Rect& keptTiles, TileIndex& index);

  // Derived values; each is 0 (or null) while there is no block.
  int32_t Width() const { return Block ? Info()->Width : 0; }
  int32_t Height() const { return Block ? Info()->Height : 0; }
  int32_t BitsPerPixel() const { return Block ? Info()->BitsPerPixel : 0; }
  uint32_t ColourCount() const { return Block ? Info()->ColourCount : 0; }
  uint32_t PaletteSize() const { return ColourCount() * 4; }
  uint32_t ImageSize() const { return Block ? Info()->ImageSize : 0; }
  const BitmapInfoHeader* Header() const { return Block ? Info() : nullptr; }
  uint8_t* Palette() const { return Block ? Block + HeaderSize : nullptr; }
  uint8_t* Pixels() const { return Block ? Block + HeaderSize + PaletteSize() : nullptr; }
  // Row y counted from the first row in memory, the bottom row of the picture.
  uint8_t* Row(int32_t y) const { return Pixels() + static_cast<intptr_t>(y) * RowStride; }

  int32_t Stride() const { return RowStride; }
  uint32_t Transparent() const { return IsTransparent; }
  uint32_t TransparentIndex() const { return TransparentAt; }
  void SetTransparent(uint32_t transparent, uint32_t index) {
    IsTransparent = transparent;
    TransparentAt = index;
  }

 private:
  const BitmapInfoHeader* Info() const { return reinterpret_cast<const BitmapInfoHeader*>(Block); }
  void Free();

  int32_t RowStride = 0;
  uint32_t IsTransparent = 0;
  uint32_t TransparentAt = 0;
  uint8_t* Block = nullptr;  // malloc'd: header, palette, rows
};

}  // namespace velmira
