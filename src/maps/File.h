// A shared, reference-counted file handle whose operations report failures in its error
// record: the map library, its maps and its icons all read pictures through one File.
//
// Reads go through a read-ahead buffer, since a library is read as many small records and
// chunk headers: a read or a move within the bytes held costs no platform call. Results and
// errors are those of the unbuffered calls; a write first puts the handle back at the
// reader's position and drops the buffer.
#pragma once

#include <cstdint>
#include <memory>

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
  // Read-ahead sizes: the first fill after a move is small (a library is often read as a
  // header here and a jump there), and each fill that follows on sequentially doubles, up to
  // FillLimit. A read of at least the next fill's size goes straight into the caller's memory.
  static constexpr int32_t FirstFill = 4096;
  static constexpr int32_t FillLimit = 64 * 1024;
  // Bytes before the reader's position kept at each fill, so that stepping back over a header
  // just read (a peek) stays inside the buffer.
  static constexpr int32_t KeptBehind = 256;

  int32_t ReadUnbuffered(void* buffer, int32_t count);
  // The file's end (SeekFailed when unknown) and in *here the reader's position; the handle
  // ends where it was.
  int64_t EndPosition(int64_t* here);
  // The reader's position when bytes are held (the handle's own position otherwise is it).
  int64_t BufferedPosition() const { return BufferStart + BufferUsed; }
  // Puts the handle at the reader's position and forgets the bytes held.
  void DropBuffer();
  // Reads count bytes or fewer into destination past what the buffer held, refilling it for
  // small reads; returns the count read, false in *failed on a platform failure.
  int32_t ReadThrough(uint8_t* destination, int32_t count, bool* failed);
  // The next fill of the buffer at the handle's position; the count read, or -1 on failure.
  int32_t Refill();

  platform::HANDLE Handle = nullptr;
  // Only files opened for reading whose handle can move are read ahead; devices (a serial
  // port) and files opened for writing see the platform's calls as they are.
  bool CanReadAhead = false;
  // The buffer holds the file's bytes [BufferStart, BufferStart + BufferLength), and the
  // handle stands at their end; the reader is BufferUsed bytes in. With BufferLength 0
  // nothing is held and the handle's position is the reader's.
  std::unique_ptr<uint8_t[]> Buffer;
  int64_t BufferStart = 0;
  int32_t BufferLength = 0;
  int32_t BufferUsed = 0;
  int32_t NextFill = FirstFill;
};

}  // namespace velmira
