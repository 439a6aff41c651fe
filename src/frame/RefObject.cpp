#include "frame/RefObject.h"

#include <atomic>

namespace velmira {
namespace {

// Library-wide identity counter, incremented before use so the first object gets 1. It is
// meant for the application's thread, but the reader thread creates objects too, so the
// increment is atomic (relaxed: only uniqueness matters).
std::atomic<uint32_t> LastId{0};

}  // namespace

RefObject::RefObject() : Id(LastId.fetch_add(1, std::memory_order_relaxed) + 1) {}

RefObject::~RefObject() { delete Lock; }

void RefObject::AddRef() {
  LockHold hold(Lock);
  ++Count;
}

uint32_t RefObject::Release() {
  uint32_t now;
  {
    LockHold hold(Lock);
    now = --Count;
  }
  // Close runs after the lock is left, so it may take other locks freely.
  if (now == 0) Close();
  return now;
}

void RefObject::CreateLock() {
  if (Lock == nullptr) Lock = new ObjectLock();
}

void ReleaseObject(RefObject* object) {
  if (object != nullptr && object->Release() == 0) delete object;
}

}  // namespace velmira
