// The lock of an object that crosses between the application's thread and a reader thread.
#pragma once

#include "platform/Sync.h"

namespace velmira {

class ObjectLock {
 public:
  ObjectLock() { platform::InitializeCriticalSection(&Section); }
  ObjectLock(const ObjectLock&) = delete;
  ObjectLock& operator=(const ObjectLock&) = delete;
  ~ObjectLock() { platform::DeleteCriticalSection(&Section); }

  void Enter() { platform::EnterCriticalSection(&Section); }
  void Leave() { platform::LeaveCriticalSection(&Section); }

 private:
  platform::CRITICAL_SECTION Section;
};

// Scoped hold of an ObjectLock that may be absent (objects without a lock do no locking).
class LockHold {
 public:
  explicit LockHold(ObjectLock* lock) : Lock(lock) {
    if (Lock != nullptr) Lock->Enter();
  }
  LockHold(const LockHold&) = delete;
  LockHold& operator=(const LockHold&) = delete;
  ~LockHold() {
    if (Lock != nullptr) Lock->Leave();
  }

 private:
  ObjectLock* Lock;
};

}  // namespace velmira
