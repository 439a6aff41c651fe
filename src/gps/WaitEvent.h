// A manual-reset platform event as a reference-counted object: the waiter a polled Get
// installs and the reader thread signals. Its count changes on both threads, so it has a lock.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "platform/Sync.h"

namespace velmira {

class WaitEvent : public RefObject {
 public:
  WaitEvent();
  ~WaitEvent() override;

  void Set();
  // True when signalled within ms milliseconds.
  bool Wait(uint32_t ms);

 private:
  platform::UniqueHandle Event;
};

}  // namespace velmira
