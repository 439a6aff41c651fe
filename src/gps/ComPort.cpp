#include "gps/ComPort.h"

#include <cstdio>

#include "platform/Files.h"
#include "platform/Serial.h"

namespace velmira {
namespace {

// Flag bits that survive configuration: binary mode, parity check, continue transmitting after
// XOFF and bit 15. Everything else (CTS/DSR flow, DSR sensitivity, XON/XOFF, error character,
// null stripping, abort on error, DTR and RTS control) ends up off.
constexpr platform::DWORD KeptFlags = 0x8083;

}  // namespace

ComPort::~ComPort() { Close(); }

void ComPort::DeviceName(int16_t port, char* name, int size) {
  if (name == nullptr || size < 1) return;
  std::snprintf(name, static_cast<size_t>(size), port < 10 ? "COM%d:" : "\\\\.\\COM%d", port);
}

bool ComPort::Open(int16_t port) {
  Err.Clear();
  Close();
  char narrow[MaxNameLength];
  DeviceName(port, narrow, MaxNameLength);
  WCHAR name[MaxNameLength];
  int i = 0;
  for (; narrow[i] != 0; ++i) name[i] = static_cast<unsigned char>(narrow[i]);
  name[i] = 0;
  platform::HANDLE h = platform::CreateFileW(name, platform::GENERIC_READ | platform::GENERIC_WRITE,
                                             0, nullptr, platform::OPEN_EXISTING,
                                             platform::FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == platform::INVALID_HANDLE_VALUE || h == nullptr) {
    platform::DWORD error = platform::GetLastError();
    if (error == platform::ERROR_FILE_NOT_FOUND) Err.Set(errors::PortMissing);
    else if (error == platform::ERROR_ACCESS_DENIED) Err.Set(errors::PortInUse);
    else Err.Set(static_cast<int16_t>(error), errors::CouldNotOpenPort);
    return false;
  }
  Handle = h;
  return true;
}

bool ComPort::Configure(int32_t rate) {
  Err.Clear();
  if (!IsOpen()) return false;
  platform::DCB dcb;
  if (!platform::GetCommState(Handle, &dcb)) {
    Err.Set(errors::PortRefusedBaudrate);
    return false;
  }
  dcb.BaudRate = static_cast<platform::DWORD>(rate);
  dcb.ByteSize = 8;
  dcb.Parity = platform::NOPARITY;
  dcb.StopBits = platform::ONESTOPBIT;
  dcb.Flags = (dcb.Flags & KeptFlags) | platform::DCB_PARITY;
  if (rate <= 0 || !platform::SetCommState(Handle, &dcb)) {
    Err.Set(errors::PortRefusedBaudrate);
    return false;
  }
  // Reads return at once with whatever has arrived; writes have no time-out.
  platform::COMMTIMEOUTS timeouts;
  bool ok = platform::GetCommTimeouts(Handle, &timeouts);
  timeouts.ReadIntervalTimeout = platform::MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  if (!ok || !platform::SetCommTimeouts(Handle, &timeouts)) {
    Err.Set(errors::PortUnexpected);
    return false;
  }
  // Pseudo-terminals have no modem lines, so raising DTR may fail there; the line works anyway.
  platform::EscapeCommFunction(Handle, platform::SETDTR);
  platform::PurgeComm(Handle, platform::PURGE_TXCLEAR | platform::PURGE_RXCLEAR);
  return true;
}

int32_t ComPort::Read(uint8_t* buffer, int32_t maximum) {
  if (!IsOpen() || buffer == nullptr || maximum <= 0) return 0;
  platform::DWORD done = 0;
  if (!platform::ReadFile(Handle, buffer, static_cast<platform::DWORD>(maximum), &done, nullptr)) {
    return 0;
  }
  return static_cast<int32_t>(done);
}

int32_t ComPort::Write(const uint8_t* buffer, int32_t count) {
  if (!IsOpen() || buffer == nullptr || count <= 0) return 0;
  platform::DWORD done = 0;
  platform::WriteFile(Handle, buffer, static_cast<platform::DWORD>(count), &done, nullptr);
  return static_cast<int32_t>(done);
}

void ComPort::Close() {
  if (Handle != nullptr) platform::CloseHandle(Handle);
  Handle = nullptr;
}

bool ComPort::IsOpen() const { return Handle != nullptr; }

}  // namespace velmira
