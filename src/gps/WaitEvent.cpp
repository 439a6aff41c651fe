#include "gps/WaitEvent.h"

namespace velmira {

WaitEvent::WaitEvent() : Event(platform::CreateEventW(true, false)) { CreateLock(); }

WaitEvent::~WaitEvent() = default;

void WaitEvent::Set() { platform::SetEvent(Event.Get()); }

bool WaitEvent::Wait(uint32_t ms) {
  return platform::WaitForSingleObject(Event.Get(), ms) == platform::WAIT_OBJECT_0;
}

}  // namespace velmira
