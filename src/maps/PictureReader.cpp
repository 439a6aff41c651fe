// The picture readers of Bitmap: a header chunk 'PICH' (info header, optionally transparency),
// a palette chunk 'PICP' and zlib data chunks 'PICD', either one for the whole bottom-up
// picture (icons) or one per 256 x 256 tile (maps), tile rows from the bottom up, each tile
// left to right, each tile's rows bottom first with no padding between them.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "frame/Rect.h"
#include "maps/Bitmap.h"
#include "maps/ChunkReader.h"
#include "maps/File.h"
#include "maps/Inflater.h"
#include "maps/TileIndex.h"
#include "platform/WorkerPool.h"

namespace velmira {
namespace {

constexpr uint32_t HeaderTag = ChunkTag("PICH");
constexpr uint32_t PaletteTag = ChunkTag("PICP");
constexpr uint32_t DataTag = ChunkTag("PICD");
constexpr int32_t TileSize = 256;
constexpr int32_t TransparencyEnd = Bitmap::HeaderSize + 8;

bool KnownDepth(int32_t depth) {
  return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24;
}

// Reads the header and palette chunks and creates the bitmap. With tiles, the bitmap is sized
// to them and the header's own width and height are not used. False with the bitmap's error
// set on failure.
bool ReadHead(Bitmap& bitmap, File& file, ChunkReader& reader, const Rect* tiles) {
  Error& err = bitmap.GetError();
  uint32_t tag = 0;
  int32_t size = 0;
  reader.ReadHeader(file, &tag, &size);
  // A header chunk too short for its 40 bytes would make us read into the next chunk.
  if (tag != HeaderTag || size < Bitmap::HeaderSize) {
    err.Set(errors::UnknownFileFormat);
    return false;
  }
  BitmapInfoHeader header{};
  file.Read(&header, Bitmap::HeaderSize);
  uint32_t transparency[2] = {bitmap.Transparent(), bitmap.TransparentIndex()};
  if (size >= TransparencyEnd) {
    file.Read(transparency, sizeof transparency);
    file.Seek(size - TransparencyEnd, File::FromCurrent);
  } else {
    file.Seek(size - Bitmap::HeaderSize, File::FromCurrent);
  }
  bitmap.SetTransparent(transparency[0], transparency[1]);
  if (tiles != nullptr) {
    const int64_t width = int64_t{tiles->Width} * TileSize;
    const int64_t height = int64_t{tiles->Height} * TileSize;
    if (width > INT32_MAX || height > INT32_MAX) {  // far beyond the block limit anyway
      err.Set(errors::OutOfMemory);
      return false;
    }
    header.Width = static_cast<int32_t>(width);
    header.Height = static_cast<int32_t>(height);
  } else if (header.Width < 1 || header.Height < 1) {
    err.Set(errors::UnknownFileFormat);
    return false;
  }
  if (!KnownDepth(header.BitsPerPixel) || header.ColourCount > 256) {
    err.Set(errors::UnknownFileFormat);
    return false;
  }
  if (tiles == nullptr &&
      (header.Width > Bitmap::MaxPictureSide || header.Height > Bitmap::MaxPictureSide)) {
    err.Set(errors::OutOfMemory);
    return false;
  }
  if (!bitmap.Create(header)) return false;

  reader.ReadHeader(file, &tag, &size);
  const int32_t paletteBytes = static_cast<int32_t>(bitmap.PaletteSize());
  if (tag != PaletteTag || size < paletteBytes) {
    err.Set(errors::UnknownFileFormat);
    bitmap.Clear();
    return false;
  }
  file.Read(bitmap.Palette(), paletteBytes);
  file.Seek(size - paletteBytes, File::FromCurrent);
  return true;
}

// The file errors of skipping are not examined, but once a skip fails the file is past its
// end and further skips only repeat the failure: the next header read reports it.
void SkipChunks(File& file, ChunkReader& reader, int64_t count) {
  for (int64_t i = 0; i < count; ++i) {
    if (!reader.SkipChunk(file)) return;
  }
}

void FillTile(uint8_t* first, int32_t stride, int32_t rowBytes) {
  for (int32_t k = 0; k < TileSize; ++k) std::memset(first + intptr_t{k} * stride, 0xFF, rowBytes);
}

}  // namespace

void Bitmap::ReadPicture(File& file) {
  Err.Clear();
  auto reader = MakeRef<ChunkReader>();
  if (!ReadHead(*this, file, *reader, nullptr)) return;
  uint32_t tag = 0;
  int32_t size = 0;
  reader->ReadHeader(file, &tag, &size);
  if (tag != DataTag) {
    Err.Set(errors::UnknownFileFormat);
    Clear();  // no uninitialised memory in a bitmap that someone may still draw
    return;
  }
  auto inflater = MakeRef<Inflater>(file);
  inflater->Begin(size);
  inflater->ReadInto(Pixels(), ImageSize());
  inflater->End();
}

void Bitmap::ReadTiles(File& file, const Rect& needed, const Rect& all) {
  Err.Clear();
  auto reader = MakeRef<ChunkReader>();
  if (!ReadHead(*this, file, *reader, &needed)) return;
  auto inflater = MakeRef<Inflater>(file);
  const int32_t tileRowBytes = BitsPerPixel() * TileSize / 8;
  // Tiles outside the picture are white; a needed rectangle that misses the picture reads
  // nothing at all (its skip counts would be meaningless).
  const bool any = needed.Intersects(all);
  if (any && needed.Top > 0) SkipChunks(file, *reader, int64_t{needed.Top} * all.Width);
  const int64_t left = needed.Left;
  const int64_t right = left + needed.Width;  // one past the last needed column
  for (int64_t r = needed.Top; r < int64_t{needed.Top} + needed.Height; ++r) {
    uint8_t* rowStart = Row(static_cast<int32_t>((r - needed.Top) * TileSize));
    if (!any || r < 0 || r >= all.Height) {
      FillTile(rowStart, RowStride, Stride());
      continue;
    }
    if (left > 0) SkipChunks(file, *reader, left);
    for (int64_t col = left; col < right; ++col) {
      uint8_t* tile = rowStart + (col - left) * tileRowBytes;
      if (col < 0 || col >= all.Width) {
        FillTile(tile, RowStride, tileRowBytes);
        continue;
      }
      uint32_t tag = 0;
      int32_t size = 0;
      reader->ReadHeader(file, &tag, &size);
      if (tag != DataTag) {
        Err.Set(errors::UnknownFileFormat);
        Clear();
        return;
      }
      inflater->Begin(size);
      for (int32_t k = 0; k < TileSize; ++k) {
        inflater->ReadInto(tile + intptr_t{k} * RowStride, static_cast<uint32_t>(tileRowBytes));
      }
      inflater->End();
    }
    if (right < all.Width) SkipChunks(file, *reader, all.Width - right);
  }
}

namespace {

// One tile of a region being built: white, copied from kept tiles, or decoded from a chunk.
struct TileJob {
  uint8_t* First;
  const uint8_t* Kept;  // or null
  int64_t Chunk;        // the chunk to decode, or -1
  size_t Data = 0;      // its compressed data in the batch's buffer
  uint32_t Size = 0;
};

// Tiles are read and decoded this many at a time, so that the compressed data held at once
// stays small whatever the region's size.
constexpr size_t TilesPerBatch = 32;

// Reads the batch's chunks in file order, then fills its tiles on the worker pool.
void FillBatch(File& file, const TileIndex& index, TileJob* jobs, size_t count, intptr_t stride,
               intptr_t keptStride, int32_t tileRowBytes, std::vector<uint8_t>& data) {
  data.clear();
  for (size_t i = 0; i < count; ++i) {
    TileJob& t = jobs[i];
    if (t.Chunk < 0) continue;
    const TileIndex::Chunk& chunk = index.At(t.Chunk);
    t.Data = data.size();
    data.resize(data.size() + static_cast<size_t>(chunk.Size));
    file.Seek(chunk.Data, File::FromStart);
    const int32_t got = chunk.Size > 0 ? file.Read(data.data() + t.Data, chunk.Size) : 0;
    t.Size = got > 0 ? static_cast<uint32_t>(got) : 0;
  }
  platform::WorkerPool::Shared().Run(static_cast<int32_t>(count), [&](int32_t i) {
    const TileJob& t = jobs[i];
    if (t.Kept != nullptr) {
      for (int32_t k = 0; k < TileSize; ++k) {
        std::memcpy(t.First + k * stride, t.Kept + k * keptStride,
                    static_cast<size_t>(tileRowBytes));
      }
    } else if (t.Chunk < 0) {
      FillTile(t.First, static_cast<int32_t>(stride), tileRowBytes);
    } else {
      Inflater::InflateRows(data.data() + t.Data, t.Size, t.First, stride,
                            static_cast<uint32_t>(tileRowBytes), TileSize);
    }
  });
}

}  // namespace

void Bitmap::ReadTilesKeeping(File& file, const Rect& needed, const Rect& all, const Bitmap& kept,
                              const Rect& keptTiles, TileIndex& index) {
  Err.Clear();
  auto reader = MakeRef<ChunkReader>();
  if (!ReadHead(*this, file, *reader, &needed)) return;
  const int32_t tileRowBytes = BitsPerPixel() * TileSize / 8;
  const bool keeping = kept.BitsPerPixel() == BitsPerPixel();
  // Every tile of needed, bottom row first and left to right (the file's order): white outside
  // the picture, copied where kept has it, else decoded from its chunk.
  auto inside = [](int64_t col, int64_t r, const Rect& t) {
    return col >= t.Left && col < int64_t{t.Left} + t.Width && r >= t.Top &&
           r < int64_t{t.Top} + t.Height;
  };
  std::vector<TileJob> jobs;
  for (int64_t r = needed.Top; r < int64_t{needed.Top} + needed.Height; ++r) {
    for (int64_t col = needed.Left; col < int64_t{needed.Left} + needed.Width; ++col) {
      uint8_t* first = Row(static_cast<int32_t>((r - needed.Top) * TileSize));
      TileJob t{first + (col - needed.Left) * tileRowBytes, nullptr, -1};
      if (!inside(col, r, all)) {
        // white
      } else if (keeping && inside(col, r, keptTiles)) {
        t.Kept = kept.Row(static_cast<int32_t>((r - keptTiles.Top) * TileSize)) +
                 (col - keptTiles.Left) * tileRowBytes;
      } else {
        t.Chunk = r * all.Width + col;
      }
      jobs.push_back(t);
    }
  }
  std::vector<uint8_t> data;
  for (size_t first = 0; first < jobs.size(); first += TilesPerBatch) {
    FillBatch(file, index, jobs.data() + first, std::min(TilesPerBatch, jobs.size() - first),
              RowStride, kept.Stride(), tileRowBytes, data);
  }
}

}  // namespace velmira
