#include "frame/RefObject.h"

namespace velmira {

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
