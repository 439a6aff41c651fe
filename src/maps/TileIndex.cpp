#include "maps/TileIndex.h"

#include <cstdint>

#include "maps/ChunkReader.h"
#include "maps/File.h"

namespace velmira {
namespace {

constexpr uint32_t HeaderTag = ChunkTag("PICH");
constexpr uint32_t PaletteTag = ChunkTag("PICP");
constexpr uint32_t DataTag = ChunkTag("PICD");

uint32_t LittleEndian32(const uint8_t* b) {
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

}  // namespace

void TileIndex::Reset(int64_t picture) {
  Picture = picture;
  Next = 0;
  End = 0;
  Irregular = false;
  Chunks.clear();
}

// Reads the chunk header at position at; the chunk's data position and size when it has the
// tag and the file holds its data.
bool TileIndex::ReadChunk(File& file, int64_t at, uint32_t tag, Chunk& chunk) {
  uint8_t header[ChunkReader::HeaderSize];
  if (file.Read(header, ChunkReader::HeaderSize) != ChunkReader::HeaderSize) return false;
  const auto size = static_cast<int32_t>(LittleEndian32(header + 4));
  const int64_t data = at + ChunkReader::HeaderSize;
  if (LittleEndian32(header) != tag || size < 0 || data + size > End) return false;
  chunk = {data, size};
  return true;
}

bool TileIndex::Covers(File& file, int64_t count) {
  if (Irregular) return false;
  if (count <= static_cast<int64_t>(Chunks.size())) return true;
  if (Next == 0) {
    // The header and palette chunks come first; where the tiles begin is known after them.
    file.Seek(0, File::FromStart);
    End = static_cast<int64_t>(file.BytesLeft());
    Next = Picture;
    for (uint32_t tag : {HeaderTag, PaletteTag}) {
      Chunk chunk{};
      file.Seek(Next, File::FromStart);
      Irregular = Irregular || file.GetError().Failed() || !ReadChunk(file, Next, tag, chunk);
      if (Irregular) return false;
      Next = chunk.Data + chunk.Size;
    }
  }
  file.Seek(Next, File::FromStart);
  while (static_cast<int64_t>(Chunks.size()) < count) {
    Chunk chunk{};
    if (file.GetError().Failed() || !ReadChunk(file, Next, DataTag, chunk)) {
      Irregular = true;
      Chunks.clear();
      return false;
    }
    Chunks.push_back(chunk);
    Next = chunk.Data + chunk.Size;
    if (chunk.Size > 0) file.Seek(chunk.Size, File::FromCurrent);
  }
  return true;
}

}  // namespace velmira
