// File access on the platform's handle calls, with the library's error reporting: opens report
// the platform's last-error number, short reads and writes and failed moves report 10010.
#include "maps/File.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "frame/Text.h"
#include "platform/Files.h"

namespace velmira {
namespace {

// The platform's move takes and gives the position in two 32-bit halves; a result whose low
// half is 0xFFFFFFFF is a failure only when the last error says so.
int64_t MoveBy(platform::HANDLE handle, int64_t distance, platform::DWORD method) {
  int32_t high = static_cast<int32_t>(distance >> 32);
  const platform::DWORD low = platform::SetFilePointer(
      handle, static_cast<int32_t>(static_cast<uint32_t>(distance)), &high, method);
  if (low == platform::INVALID_SET_FILE_POINTER && platform::GetLastError() != 0) {
    return File::SeekFailed;
  }
  return static_cast<int64_t>(uint64_t{static_cast<uint32_t>(high)} << 32 | low);
}

}  // namespace

File::~File() { Close(); }

void File::Close() {
  if (Handle != nullptr) platform::CloseHandle(Handle);
  Handle = nullptr;
  CanReadAhead = false;
  Buffer.reset();
  BufferStart = 0;
  BufferLength = BufferUsed = 0;
  NextFill = FirstFill;
}

void File::Open(Text& name, int16_t mode) {
  Err.Clear();
  Close();
  platform::DWORD access, share, creation;
  if (mode == ReadMode) {
    access = platform::GENERIC_READ;
    share = platform::FILE_SHARE_READ;
    creation = platform::OPEN_EXISTING;
  } else if (mode == WriteMode || mode == 3) {
    access = platform::GENERIC_WRITE;
    share = 0;
    creation = platform::CREATE_ALWAYS;
  } else {
    return;
  }
  const WCHAR* wide = name.GetWide();
  platform::HANDLE h = wide == nullptr ? platform::INVALID_HANDLE_VALUE
                                       : platform::CreateFileW(wide, access, share, nullptr,
                                                               creation,
                                                               platform::FILE_ATTRIBUTE_NORMAL,
                                                               nullptr);
  if (h == platform::INVALID_HANDLE_VALUE) {
    Err.Set(static_cast<int16_t>(wide == nullptr ? platform::ERROR_GEN_FAILURE
                                                 : platform::GetLastError()),
            errors::FileOpenFailed);
    return;
  }
  Handle = h;
  CanReadAhead = mode == ReadMode && MoveBy(h, 0, platform::FILE_CURRENT) == 0;
}

int32_t File::Read(void* buffer, int32_t count) {
  if (!CanReadAhead || count < 0) return ReadUnbuffered(buffer, count);
  Err.Clear();
  auto* out = static_cast<uint8_t*>(buffer);
  int32_t done = std::min(count, BufferLength - BufferUsed);
  if (done > 0) {
    std::memcpy(out, Buffer.get() + BufferUsed, static_cast<size_t>(done));
    BufferUsed += done;
  }
  bool failed = false;
  // Nothing held: even a read of 0 bytes goes to the platform, which may refuse it.
  if (done < count || BufferLength == 0) done += ReadThrough(out + done, count - done, &failed);
  if (failed || done < count) Err.Set(errors::FileAccess);
  return done;
}

int32_t File::ReadThrough(uint8_t* destination, int32_t count, bool* failed) {
  if (!Buffer) Buffer.reset(new (std::nothrow) uint8_t[KeptBehind + FillLimit]);
  if (count == 0 || count >= NextFill || !Buffer) {
    // The buffer is used up, so the handle stands at the reader's position.
    platform::DWORD got = 0;
    if (!platform::ReadFile(Handle, destination, static_cast<platform::DWORD>(count), &got,
                            nullptr)) {
      *failed = true;
    }
    BufferStart += BufferLength + got;
    BufferLength = BufferUsed = 0;
    return static_cast<int32_t>(got);
  }
  int32_t done = 0;
  while (done < count) {
    const int32_t got = Refill();
    if (got <= 0) {
      *failed = got < 0;
      break;
    }
    const int32_t take = std::min(count - done, got);
    std::memcpy(destination + done, Buffer.get() + BufferUsed, static_cast<size_t>(take));
    BufferUsed += take;
    done += take;
  }
  return done;
}

int32_t File::Refill() {
  const int32_t kept = std::min(BufferUsed, KeptBehind);
  std::memmove(Buffer.get(), Buffer.get() + BufferUsed - kept, static_cast<size_t>(kept));
  BufferStart += BufferLength - kept;
  BufferLength = BufferUsed = kept;
  platform::DWORD got = 0;
  if (!platform::ReadFile(Handle, Buffer.get() + kept, static_cast<platform::DWORD>(NextFill),
                          &got, nullptr)) {
    return -1;
  }
  BufferLength += static_cast<int32_t>(got);
  NextFill = std::min(NextFill * 2, FillLimit);
  return static_cast<int32_t>(got);
}

void File::DropBuffer() {
  const int64_t here = BufferedPosition();
  if (BufferUsed != BufferLength) MoveBy(Handle, here, platform::FILE_BEGIN);
  BufferStart = here;
  BufferLength = BufferUsed = 0;
  NextFill = FirstFill;
}

int32_t File::ReadUnbuffered(void* buffer, int32_t count) {
  Err.Clear();
  platform::DWORD done = 0;
  if (count < 0 || !platform::ReadFile(Handle, buffer, static_cast<platform::DWORD>(count), &done,
                                       nullptr) ||
      done < static_cast<platform::DWORD>(count)) {
    Err.Set(errors::FileAccess);
  }
  return static_cast<int32_t>(done);
}

int32_t File::Write(const void* buffer, int32_t count) {
  Err.Clear();
  if (CanReadAhead) DropBuffer();
  platform::DWORD done = 0;
  if (count < 0 || !platform::WriteFile(Handle, buffer, static_cast<platform::DWORD>(count),
                                        &done, nullptr) ||
      done < static_cast<platform::DWORD>(count)) {
    Err.Set(errors::FileAccess);
  }
  BufferStart += done;
  return static_cast<int32_t>(done);
}

int64_t File::Seek(int64_t offset, int16_t origin) {
  Err.Clear();
  if (origin != FromStart && origin != FromCurrent) {
    Err.Set(errors::FileAccess);
    return SeekFailed;
  }
  const platform::DWORD method = origin == FromStart ? platform::FILE_BEGIN
                                                     : platform::FILE_CURRENT;
  if (!CanReadAhead) {
    const int64_t at = MoveBy(Handle, offset, method);
    if (at == SeekFailed) Err.Set(errors::FileAccess);
    return at;
  }
  int64_t target = offset;
  if (origin == FromCurrent && __builtin_add_overflow(BufferedPosition(), offset, &target)) {
    target = -1;
  }
  if (target >= BufferStart && target <= BufferStart + BufferLength) {
    BufferUsed = static_cast<int32_t>(target - BufferStart);
    return target;
  }
  int64_t at = target < 0 ? SeekFailed : MoveBy(Handle, target, platform::FILE_BEGIN);
  if (at == SeekFailed) {
    // The platform's own refusal, from the reader's position, which it leaves unchanged.
    DropBuffer();
    at = MoveBy(Handle, offset, method);
  }
  BufferStart = at == SeekFailed ? BufferStart : at;
  BufferLength = BufferUsed = 0;
  NextFill = FirstFill;
  if (at == SeekFailed) Err.Set(errors::FileAccess);
  return at;
}

int64_t File::Tell() {
  Err.Clear();
  if (CanReadAhead) return BufferedPosition();
  const int64_t at = MoveBy(Handle, 0, platform::FILE_CURRENT);
  if (at == SeekFailed) Err.Set(errors::FileAccess);
  return at;
}

bool File::AtEnd() {
  int64_t here;
  const int64_t end = EndPosition(&here);
  return here == end;
}

uint64_t File::BytesLeft() {
  int64_t here;
  const int64_t end = EndPosition(&here);
  return here < 0 || end < here ? 0 : static_cast<uint64_t>(end - here);
}

int64_t File::EndPosition(int64_t* here) {
  // The handle stands at the end of the bytes held, and goes back there.
  const int64_t handleAt = CanReadAhead ? BufferStart + BufferLength
                                        : MoveBy(Handle, 0, platform::FILE_CURRENT);
  *here = CanReadAhead ? BufferedPosition() : handleAt;
  const int64_t end = MoveBy(Handle, 0, platform::FILE_END);
  MoveBy(Handle, handleAt, platform::FILE_BEGIN);
  return end;
}

}  // namespace velmira
