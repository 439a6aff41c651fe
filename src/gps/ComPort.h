// One COM port by number: opening it under the platform's device name, configuring the line
// for an NMEA receiver, and non-blocking reads and writes.
#pragma once

#include <cstdint>

#include "gps/ByteSource.h"
#include "platform/Sync.h"

namespace velmira {

class ComPort : public ByteSource {
 public:
  // The longest device name: "\\.\COM" and five digits.
  static constexpr int MaxNameLength = 16;

  ComPort() = default;
  ~ComPort() override;

  // Opens the port for exclusive reading and writing. Failure codes: 10007 "Comm port does
  // not exist", 10007 "Comm port in use!", or the platform's error number with "Could not
  // open comm port!". A failed open holds nothing.
  bool Open(int16_t port);
  // Rate, 8N1, no flow control, DTR raised, both buffers purged, reads that return at once.
  // False without an open port.
  bool Configure(int32_t rate) override;
  // Bytes read (0 when nothing has arrived or the port is closed).
  int32_t Read(uint8_t* buffer, int32_t maximum) override;
  // Bytes written.
  int32_t Write(const uint8_t* buffer, int32_t count) override;
  void Close() override;
  bool IsOpen() const;

  // The device name for a port number: "COM3:" below 10, "\\.\COM12" from 10 on. Writes at
  // most size-1 characters and a NUL.
  static void DeviceName(int16_t port, char* name, int size);

 private:
  platform::HANDLE Handle = nullptr;
};

}  // namespace velmira
