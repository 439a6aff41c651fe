#include "gps/ComPort.h"

#include <cstdio>

namespace velmira {

ComPort::~ComPort() { Close(); }

bool ComPort::Open(int16_t) {
  Err.Set(errors::PortMissing);
  return false;
}
bool ComPort::Configure(int32_t) { return false; }
int32_t ComPort::Read(uint8_t*, int32_t) { return 0; }
int32_t ComPort::Write(const uint8_t*, int32_t) { return 0; }
void ComPort::Close() {}
bool ComPort::IsOpen() const { return false; }

void ComPort::DeviceName(int16_t port, char* name, int size) {
  std::snprintf(name, size, port < 10 ? "COM%d:" : "\\\\.\\COM%d", port);
}

}  // namespace velmira
