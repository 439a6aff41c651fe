// Decompresses the zlib stream of one picture data chunk straight into a bitmap's rows.
#pragma once

#include <cstdint>

#include <zlib.h>

#include "frame/RefObject.h"

namespace velmira {

class File;

class Inflater final : public RefObject {
 public:
  // Reads from file (not owned; it must outlive the inflater).
  explicit Inflater(File& file) : Source(file) {}
  ~Inflater() override;

  // Reads the chunk's size bytes of compressed data, leaving the file at the next chunk, and
  // starts a stream on them. Sizes the file cannot hold are cut to what it holds (the file
  // records the short read); a negative size gives an empty stream.
  void Begin(int32_t size);
  // Decompresses up to count bytes into destination, one inflate call with Z_SYNC_FLUSH.
  // Returns the count written. Where the stream ends early or is corrupt the rest of the
  // destination is set to 0xFF, so a damaged picture shows white (palette index 255) rather
  // than whatever the memory held.
  uint32_t ReadInto(uint8_t* destination, uint32_t count);
  void End();

  // The rows Begin, rows x ReadInto(row, rowBytes) and End give for a chunk whose size bytes
  // of compressed data are already in memory: rows stride bytes apart from first. Safe to call
  // on several threads at once.
  static void InflateRows(const uint8_t* data, uint32_t size, uint8_t* first, intptr_t stride,
                          uint32_t rowBytes, int32_t rows);

 private:
  File& Source;
  z_stream Stream{};
  bool Started = false;
  uint8_t* Buffer = nullptr;  // the chunk's compressed data
  uint32_t BufferSize = 0;
};

}  // namespace velmira
