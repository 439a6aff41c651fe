#include "frame/RefObject.h"

namespace velmira {

RefObject::~RefObject() { delete Lock.load(std::memory_order_acquire); }

void RefObject::AddRef() {
  if (Shared) {
    Count.fetch_add(1, std::memory_order_relaxed);
  } else {
    Count.store(Count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  }
}

uint32_t RefObject::Release() {
  uint32_t now;
  if (Shared) {
    // Release ordering so the thread that sees 0 also sees every holder's writes.
    now = Count.fetch_sub(1, std::memory_order_acq_rel) - 1;
  } else {
    now = Count.load(std::memory_order_relaxed) - 1;
    Count.store(now, std::memory_order_relaxed);
  }
  if (now == 0) Close();
  return now;
}

void RefObject::CreateLock() { Shared = true; }

ObjectLock* RefObject::GetLock() const {
  if (!Shared) return nullptr;
  ObjectLock* lock = Lock.load(std::memory_order_acquire);
  if (lock != nullptr) return lock;
  // Two threads may ask at once: one lock wins, the other is thrown away.
  auto* made = new ObjectLock();
  if (Lock.compare_exchange_strong(lock, made, std::memory_order_acq_rel)) return made;
  delete made;
  return lock;
}

void ReleaseObject(RefObject* object) {
  if (object != nullptr && object->Release() == 0) delete object;
}

}  // namespace velmira
