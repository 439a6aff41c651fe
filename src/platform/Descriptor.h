// The kernel object behind a file or device handle: a POSIX descriptor, closed (and its
// advisory lock dropped) when the last reference to the handle goes.
#pragma once

#include <mutex>

#include "platform/Serial.h"
#include "platform/Sync.h"

namespace platform {

class Descriptor final : public KernelObject {
 public:
  explicit Descriptor(int fd, bool terminal) : Fd(fd), Terminal(terminal) {}
  ~Descriptor() override;

  const int Fd;
  const bool Terminal;  // a serial line: the comm functions apply
  // One thread may reconfigure a line while another reads it, as the platform allows.
  COMMTIMEOUTS GetTimeouts() const {
    std::lock_guard<std::mutex> hold(TimeoutsLock);
    return Timeouts;
  }
  void SetTimeouts(const COMMTIMEOUTS& timeouts) {
    std::lock_guard<std::mutex> hold(TimeoutsLock);
    Timeouts = timeouts;
  }

 private:
  mutable std::mutex TimeoutsLock;
  // Reads return at once with whatever has arrived until the caller asks otherwise.
  COMMTIMEOUTS Timeouts{MAXDWORD, 0, 0, 0, 0};
};

// The descriptor a handle names, or null (last error 6) when it names none.
Descriptor* AsDescriptor(HANDLE handle);

}  // namespace platform
