// Critical sections, kernel handles, manual-reset events and threads with the semantics the
// library was designed against: recursive locks, waits with a time-out in milliseconds,
// and handles that stay valid until CloseHandle even after the thread behind them ends.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

using DWORD = uint32_t;
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// A recursive lock: the owner may enter again, as the platform's critical sections allow.
struct CRITICAL_SECTION {
  std::recursive_mutex Mutex;
};
void InitializeCriticalSection(CRITICAL_SECTION* cs);
void DeleteCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);

// Base of every object a HANDLE names. Reference counted so that a thread can finish and
// signal after its creator has already closed the handle.
class KernelObject {
 public:
  KernelObject() = default;
  KernelObject(const KernelObject&) = delete;
  KernelObject& operator=(const KernelObject&) = delete;
  virtual ~KernelObject() = default;

  // Waits until signalled or until ms milliseconds pass; objects that cannot be waited on
  // return WAIT_FAILED.
  virtual DWORD Wait(DWORD ms);

  void Retain() { Refs.fetch_add(1, std::memory_order_relaxed); }
  void Release();

 private:
  std::atomic<int32_t> Refs{1};
};

using HANDLE = KernelObject*;
inline KernelObject* const INVALID_HANDLE_VALUE =
    reinterpret_cast<KernelObject*>(static_cast<intptr_t>(-1));

// Closes a handle of any kind; false for a null or invalid handle.
bool CloseHandle(HANDLE handle);
DWORD WaitForSingleObject(HANDLE handle, DWORD ms);

// Events. Only manual-reset events are used by the library; auto-reset is accepted too.
HANDLE CreateEventW(bool manualReset, bool initialState);
bool SetEvent(HANDLE event);
bool ResetEvent(HANDLE event);
// A descriptor that polls readable exactly while the event is signalled, so that a wait on
// a socket can end on the event too; owned by the event. -1 for a handle that is no event.
int EventDescriptor(HANDLE event);

// Threads. The handle is signalled when the start routine returns.
using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);
HANDLE CreateThread(LPTHREAD_START_ROUTINE start, void* parameter);
bool GetExitCodeThread(HANDLE thread, DWORD* exitCode);

void Sleep(DWORD ms);
// Milliseconds since an arbitrary start, from a clock that never steps; wraps after 49 days.
DWORD GetTickCount();

// The calling thread's last-error number, as the failing platform call left it.
DWORD GetLastError();
void SetLastError(DWORD error);

// RAII owner of one handle.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : Handle(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : Handle(other.Handle) { other.Handle = nullptr; }
  UniqueHandle& operator=(UniqueHandle&& other) noexcept;
  ~UniqueHandle() { Reset(); }

  HANDLE Get() const { return Handle; }
  bool Valid() const { return Handle != nullptr && Handle != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle = nullptr);

 private:
  HANDLE Handle = nullptr;
};

}  // namespace platform
