#include "platform/Files.h"

#include <cerrno>
#include <chrono>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Descriptor.h"
#include "platform/Serial.h"

namespace platform {
namespace {

// A write that makes no progress for this long gives up, so a stalled line never hangs us.
constexpr int StalledWriteLimitMs = 1000;
// Interrupted system calls are retried at most this often.
constexpr int MaxRetries = 100;

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// File names are UTF-16 on the platform and UTF-8 on Linux; a lone surrogate becomes U+FFFD.
std::string PathFromWide(const WCHAR* name) {
  std::string path;
  for (const WCHAR* p = name; *p != 0; ++p) {
    uint32_t unit = *p;
    if (unit >= 0xD800 && unit < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
      AppendUtf8(path, 0x10000 + ((unit - 0xD800) << 10) + (p[1] - 0xDC00));
      ++p;
    } else if (unit >= 0xD800 && unit < 0xE000) {
      AppendUtf8(path, 0xFFFD);
    } else {
      AppendUtf8(path, unit);
    }
  }
  return path;
}

int OpenFlags(DWORD access, DWORD creation, bool* ok) {
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;  // non-blocking so a serial open never waits
  bool read = (access & GENERIC_READ) != 0;
  bool write = (access & GENERIC_WRITE) != 0;
  flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  *ok = true;
  switch (creation) {
    case CREATE_NEW: return flags | O_CREAT | O_EXCL;
    case CREATE_ALWAYS: return flags | O_CREAT | O_TRUNC;
    case OPEN_EXISTING: return flags;
    case OPEN_ALWAYS: return flags | O_CREAT;
    case TRUNCATE_EXISTING: return flags | O_TRUNC;
    default: *ok = false; return flags;
  }
}

// Share mode 0 means nobody else may open it. TIOCEXCL alone does not stop a privileged
// process, so an advisory lock backs it up for every exclusive open.
bool TakeExclusive(int fd, bool terminal) {
  if (terminal) ::ioctl(fd, TIOCEXCL);
  for (int i = 0; i < MaxRetries; ++i) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EINTR) break;
  }
  return false;
}

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Waits until fd is ready for events or timeoutMs passes (negative: no limit).
bool WaitReady(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  int r = ::poll(&p, 1, timeoutMs);
  return r > 0 && (p.revents & (events | POLLHUP | POLLERR)) != 0;
}

bool ReadTerminal(Descriptor* d, uint8_t* buffer, DWORD toRead, DWORD* done) {
  const COMMTIMEOUTS t = d->GetTimeouts();
  bool atOnce = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
                t.ReadTotalTimeoutConstant == 0;
  uint64_t total = uint64_t{t.ReadTotalTimeoutMultiplier} * toRead + t.ReadTotalTimeoutConstant;
  int64_t deadline = total == 0 ? -1 : NowMs() + static_cast<int64_t>(total);
  DWORD got = 0;
  while (got < toRead) {
    ssize_t n = ::read(d->Fd, buffer + got, toRead - got);
    if (n > 0) {
      got += static_cast<DWORD>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      *done = got;
      return got > 0 || Fail(ErrorFromErrno(errno));
    }
    if (n == 0 || atOnce || (got > 0 && t.ReadIntervalTimeout == MAXDWORD)) break;  // hung up or drained
    int wait = deadline < 0 ? -1 : static_cast<int>(deadline - NowMs());
    if (deadline >= 0 && wait <= 0) break;
    if (!WaitReady(d->Fd, POLLIN, wait)) break;
  }
  *done = got;
  return true;
}

}  // namespace

Descriptor::~Descriptor() { ::close(Fd); }

Descriptor* AsDescriptor(HANDLE handle) {
  auto* d = dynamic_cast<Descriptor*>(handle != INVALID_HANDLE_VALUE ? handle : nullptr);
  if (d == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return d;
}

DWORD ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:  // held by someone else
    case EISDIR: return ERROR_ACCESS_DENIED;
    default: return ERROR_GEN_FAILURE;
  }
}

HANDLE CreateFileW(const WCHAR* name, DWORD access, DWORD shareMode, void*, DWORD creation,
                   DWORD, HANDLE) {
  if (name == nullptr || *name == 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string path = PathFromWide(name);
  if (int port = ComPortFromName(path.c_str()); port != 0) path = ComDevicePath(port);
  bool valid;
  int flags = OpenFlags(access, creation, &valid);
  if (!valid) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  int fd = -1;
  for (int i = 0; i < MaxRetries && fd < 0; ++i) {
    fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0 && errno != EINTR) break;
  }
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // the platform does not open folders
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  bool terminal = ::isatty(fd) == 1;
  if (!terminal) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (shareMode == 0 && !TakeExclusive(fd, terminal)) {
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return new Descriptor(fd, terminal);
}

bool ReadFile(HANDLE handle, void* buffer, DWORD toRead, DWORD* done, void*) {
  DWORD ignored;
  if (done == nullptr) done = &ignored;
  *done = 0;
  Descriptor* d = AsDescriptor(handle);
  if (d == nullptr) return false;
  auto* bytes = static_cast<uint8_t*>(buffer);
  if (d->Terminal) return ReadTerminal(d, bytes, toRead, done);
  for (int i = 0; i < MaxRetries; ++i) {
    ssize_t n = ::read(d->Fd, bytes, toRead);
    if (n >= 0) {
      *done = static_cast<DWORD>(n);
      return true;
    }
    if (errno != EINTR) break;
  }
  return Fail(ErrorFromErrno(errno));
}

bool WriteFile(HANDLE handle, const void* buffer, DWORD toWrite, DWORD* done, void*) {
  DWORD ignored;
  if (done == nullptr) done = &ignored;
  *done = 0;
  Descriptor* d = AsDescriptor(handle);
  if (d == nullptr) return false;
  auto* bytes = static_cast<const uint8_t*>(buffer);
  int64_t lastProgress = NowMs();
  while (*done < toWrite) {
    ssize_t n = ::write(d->Fd, bytes + *done, toWrite - *done);
    if (n > 0) {
      *done += static_cast<DWORD>(n);
      lastProgress = NowMs();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return *done > 0 || Fail(ErrorFromErrno(errno));
    // A full line: wait for room, but not forever.
    int left = static_cast<int>(lastProgress + StalledWriteLimitMs - NowMs());
    if (left <= 0 || !WaitReady(d->Fd, POLLOUT, left)) break;
  }
  return true;
}

DWORD SetFilePointer(HANDLE handle, int32_t distance, int32_t* distanceHigh, DWORD method) {
  Descriptor* d = AsDescriptor(handle);
  if (d == nullptr) return INVALID_SET_FILE_POINTER;
  int64_t move = distanceHigh == nullptr
                     ? distance
                     : static_cast<int64_t>((uint64_t{static_cast<uint32_t>(*distanceHigh)} << 32) |
                                            static_cast<uint32_t>(distance));
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR
               : method == FILE_END ? SEEK_END : -1;
  if (whence < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  // Work out the target first so that a refused move leaves the position alone.
  int64_t base = 0;
  if (whence != SEEK_SET) {
    struct stat st {};
    off_t here = ::lseek(d->Fd, 0, SEEK_CUR);
    if (here < 0 || (whence == SEEK_END && ::fstat(d->Fd, &st) != 0)) {
      SetLastError(ErrorFromErrno(errno));
      return INVALID_SET_FILE_POINTER;
    }
    base = whence == SEEK_CUR ? here : st.st_size;
  }
  int64_t target = base + move;
  if (target < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  // Without the high half the caller can only see 32 bits, and 0xFFFFFFFF means failure.
  if (distanceHigh == nullptr && target >= int64_t{INVALID_SET_FILE_POINTER}) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (::lseek(d->Fd, static_cast<off_t>(target), SEEK_SET) < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh != nullptr) *distanceHigh = static_cast<int32_t>(target >> 32);
  // A result whose low half is 0xFFFFFFFF is told apart from failure by a last error of 0.
  SetLastError(0);
  return static_cast<DWORD>(target);
}

}  // namespace platform
