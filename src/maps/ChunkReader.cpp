#include "maps/ChunkReader.h"

#include "maps/File.h"

namespace velmira {
namespace {

uint32_t LittleEndian32(const uint8_t* b) {
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

}  // namespace

bool ChunkReader::ReadHeader(File& file, uint32_t* tag, int32_t* size) {
  uint8_t bytes[4] = {};
  file.Read(bytes, 4);
  Err.CopyFrom(file.GetError());
  *tag = Err.Failed() ? 0 : LittleEndian32(bytes);
  if (Err.Failed()) return false;
  // The size read's own failure stays with the file; a short read gives what was read, or 0.
  uint8_t sizeBytes[4] = {};
  file.Read(sizeBytes, 4);
  *size = static_cast<int32_t>(LittleEndian32(sizeBytes));
  return true;
}

bool ChunkReader::PeekHeader(File& file, uint32_t* tag, int32_t* size) {
  // Back to where the header began rather than 8 bytes back, so a header cut short by the end
  // of the file cannot send the position before it.
  const int64_t start = file.Tell();
  if (!ReadHeader(file, tag, size)) return false;
  if (start != File::SeekFailed) {
    file.Seek(start, File::FromStart);
  } else {
    file.Seek(-HeaderSize, File::FromCurrent);
  }
  return true;
}

void ChunkReader::Decode(const uint8_t (&bytes)[HeaderSize], uint32_t* tag, int32_t* size) {
  *tag = LittleEndian32(bytes);
  *size = static_cast<int32_t>(LittleEndian32(bytes + 4));
}

bool ChunkReader::SkipChunk(File& file) {
  uint32_t tag = 0;
  int32_t size = 0;
  if (!ReadHeader(file, &tag, &size)) return false;
  // A negative size would move backwards and could make a reader go round in circles.
  if (size < 0) {
    Err.Set(errors::UnknownFileFormat);
    return false;
  }
  file.Seek(size, File::FromCurrent);
  return !file.GetError().Failed();
}

}  // namespace velmira
