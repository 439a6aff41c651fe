// File access on the platform's handle calls, with the library's error reporting: opens report
// the platform's last-error number, short reads and writes and failed moves report 10010.
#include "maps/File.h"

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
}

int32_t File::Read(void* buffer, int32_t count) {
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
  platform::DWORD done = 0;
  if (count < 0 || !platform::WriteFile(Handle, buffer, static_cast<platform::DWORD>(count),
                                        &done, nullptr) ||
      done < static_cast<platform::DWORD>(count)) {
    Err.Set(errors::FileAccess);
  }
  return static_cast<int32_t>(done);
}

int64_t File::Seek(int64_t offset, int16_t origin) {
  Err.Clear();
  if (origin != FromStart && origin != FromCurrent) {
    Err.Set(errors::FileAccess);
    return SeekFailed;
  }
  const int64_t at =
      MoveBy(Handle, offset, origin == FromStart ? platform::FILE_BEGIN : platform::FILE_CURRENT);
  if (at == SeekFailed) Err.Set(errors::FileAccess);
  return at;
}

int64_t File::Tell() {
  Err.Clear();
  const int64_t at = MoveBy(Handle, 0, platform::FILE_CURRENT);
  if (at == SeekFailed) Err.Set(errors::FileAccess);
  return at;
}

bool File::AtEnd() {
  const int64_t here = MoveBy(Handle, 0, platform::FILE_CURRENT);
  const int64_t end = MoveBy(Handle, 0, platform::FILE_END);
  MoveBy(Handle, here, platform::FILE_BEGIN);
  return here == end;
}

uint64_t File::BytesLeft() {
  const int64_t here = MoveBy(Handle, 0, platform::FILE_CURRENT);
  const int64_t end = MoveBy(Handle, 0, platform::FILE_END);
  MoveBy(Handle, here, platform::FILE_BEGIN);
  return here < 0 || end < here ? 0 : static_cast<uint64_t>(end - here);
}

}  // namespace velmira
