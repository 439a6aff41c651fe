// Serial line settings and control on termios, with the platform's structures and calls, and
// the mapping from COM port numbers to device nodes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Sync.h"

namespace platform {

inline constexpr DWORD MAXDWORD = 0xFFFFFFFFu;

// Device control settings: the fields the library reads and writes.
struct DCB {
  DWORD DCBlength = sizeof(DCB);
  DWORD BaudRate = 0;
  DWORD Flags = 0;  // the platform's packed flag bits, below
  uint8_t ByteSize = 8;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;
};

// Bits of DCB::Flags, in the platform's order.
inline constexpr DWORD DCB_BINARY = 0x0001;
inline constexpr DWORD DCB_PARITY = 0x0002;             // check parity on input
inline constexpr DWORD DCB_OUTX_CTS_FLOW = 0x0004;
inline constexpr DWORD DCB_OUTX_DSR_FLOW = 0x0008;
inline constexpr DWORD DCB_DTR_CONTROL_MASK = 0x0030;
inline constexpr DWORD DCB_DTR_CONTROL_ENABLE = 0x0010;
inline constexpr DWORD DCB_DSR_SENSITIVITY = 0x0040;
inline constexpr DWORD DCB_TX_CONTINUE_ON_XOFF = 0x0080;
inline constexpr DWORD DCB_OUTX = 0x0100;
inline constexpr DWORD DCB_INX = 0x0200;
inline constexpr DWORD DCB_ERROR_CHAR = 0x0400;
inline constexpr DWORD DCB_NULL = 0x0800;
inline constexpr DWORD DCB_RTS_CONTROL_MASK = 0x3000;
inline constexpr DWORD DCB_ABORT_ON_ERROR = 0x4000;

inline constexpr uint8_t NOPARITY = 0;
inline constexpr uint8_t ODDPARITY = 1;
inline constexpr uint8_t EVENPARITY = 2;
inline constexpr uint8_t ONESTOPBIT = 0;
inline constexpr uint8_t TWOSTOPBITS = 2;

struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
};

// EscapeCommFunction codes.
inline constexpr DWORD SETRTS = 3;
inline constexpr DWORD CLRRTS = 4;
inline constexpr DWORD SETDTR = 5;
inline constexpr DWORD CLRDTR = 6;

// PurgeComm flags.
inline constexpr DWORD PURGE_TXCLEAR = 0x4;
inline constexpr DWORD PURGE_RXCLEAR = 0x8;

// All of these fail (GetLastError) on a handle that is not a serial line.
bool GetCommState(HANDLE port, DCB* dcb);
// The line is always raw (binary mode). Rates outside the standard list go through an
// arbitrary-rate request; a rate the device cannot get within 3% is refused.
bool SetCommState(HANDLE port, const DCB* dcb);
bool GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts);
bool SetCommTimeouts(HANDLE port, const COMMTIMEOUTS* timeouts);
// Fails on lines without modem control (pseudo-terminals).
bool EscapeCommFunction(HANDLE port, DWORD function);
bool PurgeComm(HANDLE port, DWORD flags);

// COM port mapping. Ports 1 to MaxComPort can be mapped.
inline constexpr int MaxComPort = 255;
// The device node of COM<port>: an override, else the default (COM1-4 /dev/ttyS0-3, COM5-6
// /dev/ttyUSB0-1, COM7-8 /dev/ttyACM0-1, COMn above 8 /dev/ttyS(n-1)). Empty outside 1..255.
std::string ComDevicePath(int port);
// Overrides one port; a null path restores the default. False outside 1..MaxComPort.
bool SetComDevice(int port, const char* path);
// The port number a device name such as "COM3:" or "\\.\COM12" stands for, else 0.
int ComPortFromName(const char* name);

}  // namespace platform
