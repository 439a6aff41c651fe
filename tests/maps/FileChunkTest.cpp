// File and ChunkReader against real files: error numbers of failed opens, short reads,
// refused and failed moves, and chunk headers at and past the file's end.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/Text.h"
#include "maps/ChunkReader.h"
#include "maps/File.h"

namespace velmira {
namespace {

// Chunk 'ABCD' (bytes "DCBA") of 3 data bytes, then a header cut after its tag and 2 size bytes.
const std::vector<uint8_t> TwoChunks = {'D', 'C', 'B', 'A', 3, 0, 0, 0, 7, 8, 9,
                                        'Z', 'Y', 'X', 'W', 1, 0};

std::string PathOf(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("velmira_file_" + std::to_string(::getpid()) + name)).string();
}

// Writes through File itself (mode 2) and opens the result for reading (mode 1); the name is
// removed at once, the open file stays readable.
Ref<File> Make(const std::string& name, const std::vector<uint8_t>& bytes) {
  Text path(PathOf(name).c_str());
  auto f = MakeRef<File>();
  f->Open(path, File::WriteMode);
  EXPECT_EQ(f->Write(bytes.data(), static_cast<int32_t>(bytes.size())), static_cast<int32_t>(bytes.size()));
  f->Open(path, File::ReadMode);
  EXPECT_FALSE(f->GetError().Failed());
  std::remove(path.Chars());
  return f;
}

TEST(FileChunk, OpenReadSeekAndTheirErrors) {
  Text missing(PathOf("missing").c_str());
  File f;
  f.Open(missing, File::ReadMode);
  EXPECT_EQ(f.GetError().Code, 2);
  EXPECT_STREQ(f.GetError().Message, "Error opening, reading, writing or seeking file");
  f.Open(missing, 7);  // unknown mode: nothing opened, nothing reported
  EXPECT_FALSE(f.GetError().Failed() || f.IsOpen());
  uint8_t buffer[32];
  EXPECT_EQ(f.Read(buffer, 1), 0);  // nor anything read from a file that is not open
  EXPECT_EQ(f.GetError().Code, 10010);

  EXPECT_TRUE(Make("empty", {})->AtEnd());
  auto file = Make("data", TwoChunks);
  EXPECT_EQ(file->Read(buffer, 4), 4);
  EXPECT_EQ(file->Seek(3, File::FromCurrent), 7u);
  EXPECT_EQ(file->Seek(-2, File::FromCurrent), 5u);
  // Refused origin and moves before the start: error, SeekFailed, position kept.
  for (auto [offset, origin] : {std::pair<int32_t, int16_t>{0, 2}, {-6, File::FromCurrent}, {-1, File::FromStart}}) {
    EXPECT_EQ(file->Seek(offset, origin), File::SeekFailed);
    EXPECT_EQ(file->GetError().Code, 10010);
    EXPECT_EQ(file->Tell(), 5u);
  }
  EXPECT_EQ(file->BytesLeft(), TwoChunks.size() - 5);
  EXPECT_EQ(file->Read(buffer, 32), static_cast<int32_t>(TwoChunks.size() - 5));
  EXPECT_EQ(file->GetError().Code, 10010);
  EXPECT_TRUE(file->AtEnd());
}

TEST(FileChunk, HeadersPeekSkipAndTruncation) {
  static_assert(ChunkTag("MAPH") == 0x4D415048);
  auto file = Make("chunks", TwoChunks);
  ChunkReader reader;
  uint32_t tag = 0;
  int32_t size = -1;
  EXPECT_TRUE(reader.PeekHeader(*file, &tag, &size));
  EXPECT_EQ(tag, ChunkTag("ABCD"));
  EXPECT_EQ(size, 3);
  EXPECT_EQ(file->Tell(), 0u);
  EXPECT_TRUE(reader.ReadHeader(*file, &tag, &size));
  EXPECT_EQ(file->Seek(-8, File::FromCurrent), 0u);
  EXPECT_TRUE(reader.SkipChunk(*file));
  EXPECT_EQ(file->Tell(), 11u);
  // The cut header: the tag reads, the size read fails in the file only, and Peek returns to
  // where the header began.
  EXPECT_TRUE(reader.PeekHeader(*file, &tag, &size));
  EXPECT_EQ(tag, ChunkTag("WXYZ"));
  EXPECT_EQ(file->Tell(), 11u);
  // At the end the tag read fails: the reader takes the error and the position stays.
  file->Seek(static_cast<int32_t>(TwoChunks.size()), File::FromStart);
  EXPECT_FALSE(reader.PeekHeader(*file, &tag, &size));
  EXPECT_EQ(reader.GetError().Code, 10010);
  EXPECT_EQ(file->Tell(), TwoChunks.size());

  auto negative = Make("negative", {'D', 'C', 'B', 'A', 0xF8, 0xFF, 0xFF, 0xFF});
  EXPECT_FALSE(reader.SkipChunk(*negative));
  EXPECT_EQ(reader.GetError().Code, 10013);
  EXPECT_EQ(negative->Tell(), 8u);
}

}  // namespace
}  // namespace velmira
