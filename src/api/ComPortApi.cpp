#include <cstring>

#include "platform/Serial.h"
#include "velmira/platform.h"

extern "C" uint8_t VmComPort_SetDevice(int16_t port, const char* devicePath) {
  return platform::SetComDevice(port, devicePath) ? 1 : 0;
}

extern "C" size_t VmComPort_GetDevice(int16_t port, char* buffer, size_t size) {
  if (port < 1 || port > platform::MaxComPort) return 0;
  const std::string path = platform::ComDevicePath(port);
  if (buffer != nullptr && size > 0) {
    const size_t copied = path.size() < size ? path.size() : size - 1;
    std::memcpy(buffer, path.data(), copied);
    buffer[copied] = '\0';
  }
  return path.size();
}
