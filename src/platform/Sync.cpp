#include "platform/Sync.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace platform {
namespace {

// The state every waitable object shares: signalled or not, and whether a successful wait
// resets it.
class Waitable : public KernelObject {
 public:
  explicit Waitable(bool manualReset, bool signalled)
      : ManualReset(manualReset), Signalled(signalled) {}
  ~Waitable() override {
    if (Fd >= 0) ::close(Fd);
  }

  DWORD Wait(DWORD ms) override {
    std::unique_lock<std::mutex> lock(Mutex);
    auto ready = [this] { return Signalled; };
    if (ms == 0) {
      // A poll: a timed wait of no time still sleeps for the timer's slack (some 50 us).
      if (!Signalled) return WAIT_TIMEOUT;
    } else if (ms == INFINITE) {
      Changed.wait(lock, ready);
    } else if (!Changed.wait_for(lock, std::chrono::milliseconds(ms), ready)) {
      return WAIT_TIMEOUT;
    }
    if (!ManualReset) SetState(false);
    return WAIT_OBJECT_0;
  }

  void Signal() {
    {
      std::lock_guard<std::mutex> lock(Mutex);
      SetState(true);
    }
    Changed.notify_all();
  }

  void Unsignal() {
    std::lock_guard<std::mutex> lock(Mutex);
    SetState(false);
  }

  // Made on first use, so that only the events a socket wait needs carry one.
  int Descriptor() {
    std::lock_guard<std::mutex> lock(Mutex);
    if (Fd < 0) {
      Fd = ::eventfd(Signalled ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    }
    return Fd;
  }

 private:
  // With the mutex held. The descriptor, if any, reads ready exactly while signalled.
  void SetState(bool signalled) {
    if (Fd >= 0 && signalled != Signalled) {
      uint64_t value = 1;
      if (signalled) {
        [[maybe_unused]] ssize_t n = ::write(Fd, &value, sizeof value);
      } else {
        [[maybe_unused]] ssize_t n = ::read(Fd, &value, sizeof value);
      }
    }
    Signalled = signalled;
  }

  std::mutex Mutex;
  std::condition_variable Changed;
  const bool ManualReset;
  bool Signalled;
  int Fd = -1;
};

class Event final : public Waitable {
 public:
  Event(bool manualReset, bool initialState) : Waitable(manualReset, initialState) {}
};

class Thread final : public Waitable {
 public:
  Thread() : Waitable(true, false) {}
  std::atomic<DWORD> ExitCode{259};  // STILL_ACTIVE until the routine returns
};

bool IsReal(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

thread_local DWORD LastError = 0;

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION*) {}  // the mutex is ready once constructed
void DeleteCriticalSection(CRITICAL_SECTION*) {}
void EnterCriticalSection(CRITICAL_SECTION* cs) { cs->Mutex.lock(); }
void LeaveCriticalSection(CRITICAL_SECTION* cs) { cs->Mutex.unlock(); }

DWORD KernelObject::Wait(DWORD) { return WAIT_FAILED; }

void KernelObject::Release() {
  if (Refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

UniqueHandle& UniqueHandle::operator=(UniqueHandle&& other) noexcept {
  if (this != &other) {
    Reset(other.Handle);
    other.Handle = nullptr;
  }
  return *this;
}

void UniqueHandle::Reset(HANDLE handle) {
  if (IsReal(Handle)) CloseHandle(Handle);
  Handle = handle;
}

bool CloseHandle(HANDLE handle) {
  if (!IsReal(handle)) return false;
  handle->Release();
  return true;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD ms) {
  if (!IsReal(handle)) return WAIT_FAILED;
  return handle->Wait(ms);
}

HANDLE CreateEventW(bool manualReset, bool initialState) {
  return new Event(manualReset, initialState);
}

bool SetEvent(HANDLE event) {
  auto* e = dynamic_cast<Event*>(IsReal(event) ? event : nullptr);
  if (e == nullptr) return false;
  e->Signal();
  return true;
}

int EventDescriptor(HANDLE event) {
  auto* e = dynamic_cast<Event*>(IsReal(event) ? event : nullptr);
  return e != nullptr ? e->Descriptor() : -1;
}

bool ResetEvent(HANDLE event) {
  auto* e = dynamic_cast<Event*>(IsReal(event) ? event : nullptr);
  if (e == nullptr) return false;
  e->Unsignal();
  return true;
}

HANDLE CreateThread(LPTHREAD_START_ROUTINE start, void* parameter) {
  auto* thread = new Thread();
  thread->Retain();  // the running thread's own reference, dropped when it ends
  try {
    std::thread([thread, start, parameter] {
      thread->ExitCode.store(start(parameter));
      thread->Signal();
      thread->Release();
    }).detach();
  } catch (const std::system_error&) {
    thread->Release();
    thread->Release();
    SetLastError(8);  // not enough resources
    return nullptr;
  }
  return thread;
}

bool GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  auto* t = dynamic_cast<Thread*>(IsReal(thread) ? thread : nullptr);
  if (t == nullptr || exitCode == nullptr) return false;
  *exitCode = t->ExitCode.load();
  return true;
}

void Sleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

DWORD GetTickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

DWORD GetLastError() { return LastError; }
void SetLastError(DWORD error) { LastError = error; }

}  // namespace platform
