// Where the tile chunks of a map picture lie in its file, so that a tile can be decoded on its
// own. The chunks are found by walking the file once, no further than the tiles asked for so
// far. A picture whose chunks are not all plain data chunks the file holds (another kind of
// chunk among them, a negative size, a size past the end of the file) is not indexed at all:
// such a file is read the way it always was, from its first chunk, with the outcome that way
// of reading gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmira {

class File;

class TileIndex {
 public:
  struct Chunk {
    int64_t Data;  // file position of the compressed data
    int32_t Size;
  };

  // Forgets the chunks: the picture's header chunk is at picture in the file from now on.
  void Reset(int64_t picture);
  // True when the first count tile chunks are known and regular; walks the file (moving its
  // position) as far as that needs.
  bool Covers(File& file, int64_t count);
  const Chunk& At(int64_t chunk) const { return Chunks[static_cast<size_t>(chunk)]; }

 private:
  bool ReadChunk(File& file, int64_t at, uint32_t tag, Chunk& chunk);

  int64_t Picture = 0;
  int64_t Next = 0;  // file position of the first chunk not yet indexed; 0 before the walk
  int64_t End = 0;   // the file's size
  bool Irregular = false;
  std::vector<Chunk> Chunks;
};

}  // namespace velmira
