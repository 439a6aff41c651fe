// Where a reader thread's bytes come from: a serial port, or a server on the network. The
// reader drives every kind the same way: non-blocking reads until nothing is left, then a wait
// at the end of the read cycle that also tells it when the stop event came.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "platform/Sync.h"

namespace velmira {

class ByteSource : public RefObject {
 public:
  // How the wait at the end of a read cycle ended.
  enum class Wake {
    Stopped,    // the stop event is signalled
    Data,       // bytes arrived before the cycle was over: read on, the cycle goes on
    CycleOver,  // a whole cycle passed
    Dropped,    // the link went down (it is brought back by later waits)
  };

  // Whether a checksummed sentence must also be printable ASCII to count. A serial line takes
  // whatever passes the checksum; a network source may carry binary junk of any length, in
  // which a checksum matches by chance every few megabytes.
  virtual bool TextOnly() const { return false; }
  // Line settings; sources without a line have none to set.
  virtual bool Configure(int32_t) { return false; }
  // Bytes read (0 when nothing has arrived).
  virtual int32_t Read(uint8_t* buffer, int32_t maximum) = 0;
  // Bytes written.
  virtual int32_t Write(const uint8_t* buffer, int32_t count) = 0;
  // Waits out the rest of a read cycle of `cycleMs`. A line only waits on the stop event.
  virtual Wake WaitCycle(platform::HANDLE stop, platform::DWORD cycleMs) {
    return platform::WaitForSingleObject(stop, cycleMs) == platform::WAIT_OBJECT_0 ? Wake::Stopped
                                                                                   : Wake::CycleOver;
  }
};

}  // namespace velmira
