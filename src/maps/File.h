// A shared, reference-counted file handle whose operations report failures in its error
// record: the map library, its maps and its icons all read pictures through one File.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "platform/Sync.h"

namespace velmira {

class Text;

class File final : public RefObject {
 public:
  // Open modes.
  static constexpr int16_t ReadMode = 1;   // must exist; others may read it too
  static constexpr int16_t WriteMode = 2;  // created or truncated, not shared (3 is the same)
  // Seek origins.
  static constexpr int16_t FromStart = 0;
  static constexpr int16_t FromCurrent = 1;
  static constexpr int64_t SeekFailed = -1;

  File() = default;
  ~File() override;
  void Close() override;

  // Closes any open file, then opens name. Modes other than 1, 2, 3 open nothing and report
  // nothing. A failed open leaves no handle and puts the platform's last-error number in the
  // record, with the file message.
  void Open(Text& name, int16_t mode);
  bool IsOpen() const { return Handle != nullptr; }

  // Each returns the count moved; a short count is error 10010.
  int32_t Read(void* buffer, int32_t count);
  int32_t Write(const void* buffer, int32_t count);
  // New position, origin FromStart or FromCurrent; another origin or a failed move is error
  // 10010 and SeekFailed, the position unchanged. Positions are 64-bit: a library may hold
  // more than 4 GiB of pictures, though each chunk stays below 2 GiB.
  int64_t Seek(int64_t offset, int16_t origin);
  int64_t Tell();
  // True when the position is the end of the file; reports nothing.
  bool AtEnd();
  // Bytes from the position to the end of the file (0 when unknown); reports nothing. Lets a
  // reader refuse a chunk size that the file cannot hold before allocating for it.
  uint64_t BytesLeft();

 private:
  platform::HANDLE Handle = nullptr;
};

}  // namespace velmira
