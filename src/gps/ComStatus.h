// The state of the serial port as the reader thread sees it. Immutable once built.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"

namespace velmira {

class ComStatus : public RefObject {
 public:
  ComStatus(int32_t baudRate, int16_t port, bool valid)
      : BaudRate(baudRate), Port(port), Valid(valid ? 1 : 0) {}

  int32_t BaudRate;
  int16_t Port;
  int16_t Valid;  // 1 while valid NMEA is being received
};

}  // namespace velmira
