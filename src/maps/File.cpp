// File access on the platform's handle calls, with the library's error reporting: opens report
// the platform's last-error number, short reads and writes and failed moves report 10010.
#include "maps/File.h"

#include "frame/Text.h"
#include "platform/Files.h"

namespace velmira {
namespace {

// Positions are unsigned 32-bit; the high half (0) lets those above 2 GiB go back unchanged.
void MoveTo(platform::HANDLE handle, uint32_t position) {
  int32_t high = 0;
  platform::SetFilePointer(handle, static_cast<int32_t>(position), &high, platform::FILE_BEGIN);
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

uint32_t File::Seek(int32_t offset, int16_t origin) {
  Err.Clear();
  if (origin != FromStart && origin != FromCurrent) {
    Err.Set(errors::FileAccess);
    return SeekFailed;
  }
  uint32_t at = platform::SetFilePointer(
      Handle, offset, nullptr, origin == FromStart ? platform::FILE_BEGIN : platform::FILE_CURRENT);
  if (at == SeekFailed) Err.Set(errors::FileAccess);
  return at;
}

uint32_t File::Tell() {
  Err.Clear();
  uint32_t at = platform::SetFilePointer(Handle, 0, nullptr, platform::FILE_CURRENT);
  if (at == SeekFailed) Err.Set(errors::FileAccess);
  return at;
}

bool File::AtEnd() {
  uint32_t here = platform::SetFilePointer(Handle, 0, nullptr, platform::FILE_CURRENT);
  uint32_t end = platform::SetFilePointer(Handle, 0, nullptr, platform::FILE_END);
  MoveTo(Handle, here);
  return here == end;
}

uint32_t File::BytesLeft() {
  uint32_t here = platform::SetFilePointer(Handle, 0, nullptr, platform::FILE_CURRENT);
  uint32_t end = platform::SetFilePointer(Handle, 0, nullptr, platform::FILE_END);
  MoveTo(Handle, here);
  return here == SeekFailed || end == SeekFailed || end < here ? 0 : end - here;
}

}  // namespace velmira
