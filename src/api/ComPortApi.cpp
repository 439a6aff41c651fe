#include "platform/Serial.h"
#include "velmira/platform.h"

extern "C" uint8_t VmComPort_SetDevice(int16_t port, const char* devicePath) {
  return platform::SetComDevice(port, devicePath) ? 1 : 0;
}
