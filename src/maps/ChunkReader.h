// Reads the 8-byte chunk headers of map library files: a 32-bit little-endian tag and a signed
// 32-bit little-endian data size. Tags are four-character constants whose first character is
// the most significant byte, so the file holds the characters in reverse order.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"

namespace velmira {

class File;

// A tag from its four characters as written ('MAPH' -> 0x4D415048).
constexpr uint32_t ChunkTag(const char (&name)[5]) {
  return uint32_t{static_cast<uint8_t>(name[0])} << 24 |
         uint32_t{static_cast<uint8_t>(name[1])} << 16 |
         uint32_t{static_cast<uint8_t>(name[2])} << 8 | static_cast<uint8_t>(name[3]);
}

class ChunkReader final : public RefObject {
 public:
  static constexpr int32_t HeaderSize = 8;

  // Reads the tag, takes the file's error record as its own and, only when that is clear,
  // reads the size; the file is left at the chunk's data. A failed tag read gives tag 0 and
  // leaves size alone. Returns whether the tag was read.
  bool ReadHeader(File& file, uint32_t* tag, int32_t* size);
  // As ReadHeader, then, when the tag was read, moves the file back to the header.
  bool PeekHeader(File& file, uint32_t* tag, int32_t* size);
  // Reads a header and moves past its data, to the next chunk. A failed move stays in the
  // file's record; a negative size is 10013 "Unknown file format" here, without a move.
  // Returns whether the file now stands at the next chunk.
  bool SkipChunk(File& file);
  // The tag and size of a header read whole.
  static void Decode(const uint8_t (&bytes)[HeaderSize], uint32_t* tag, int32_t* size);
};

}  // namespace velmira
