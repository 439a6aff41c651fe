#include "platform/Serial.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

// termios2 carries arbitrary rates; it cannot share a translation unit with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "platform/Descriptor.h"
#include "platform/Files.h"

namespace platform {
namespace {

// A device may round an arbitrary rate; more than this many percent off counts as refused.
constexpr double RateTolerancePercent = 3.0;

struct StandardRate {
  DWORD Rate;
  unsigned Code;
};
// The rates termios names; anything else goes through BOTHER.
constexpr StandardRate StandardRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

Descriptor* Line(HANDLE handle) {
  Descriptor* d = AsDescriptor(handle);
  if (d != nullptr && !d->Terminal) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return d;
}

bool Ioctl(Descriptor* d, unsigned long request, void* argument) {
  if (::ioctl(d->Fd, request, argument) == 0) return true;
  return Fail(ErrorFromErrno(errno));
}

void SetRate(termios2* t, DWORD rate) {
  t->c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));  // input rate follows the output rate
  t->c_cflag |= BOTHER;
  for (const StandardRate& s : StandardRates) {
    if (s.Rate == rate) {
      t->c_cflag = (t->c_cflag & ~CBAUD) | s.Code;
      break;
    }
  }
  t->c_ispeed = rate;
  t->c_ospeed = rate;
}

bool SetFraming(termios2* t, const DCB& dcb) {
  tcflag_t size;
  switch (dcb.ByteSize) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
  }
  t->c_cflag = (t->c_cflag & ~(CSIZE | PARENB | PARODD | CSTOPB)) | size;
  if (dcb.Parity == ODDPARITY) t->c_cflag |= PARENB | PARODD;
  else if (dcb.Parity == EVENPARITY) t->c_cflag |= PARENB;
  else if (dcb.Parity != NOPARITY) return false;  // mark and space parity are not offered
  if (dcb.StopBits == TWOSTOPBITS) t->c_cflag |= CSTOPB;
  else if (dcb.StopBits != ONESTOPBIT) return false;
  return true;
}

// The platform's serial lines are always binary: no line editing, echo, signals or output
// processing; reads return what has arrived (VMIN 0, VTIME 0) and time-outs are ours.
void MakeRaw(termios2* t, const DCB& dcb) {
  t->c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                  IXANY | INPCK | IGNPAR);
  t->c_oflag &= ~OPOST;
  t->c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t->c_cflag |= CREAD | CLOCAL;
  t->c_cflag &= ~CRTSCTS;
  t->c_cc[VMIN] = 0;
  t->c_cc[VTIME] = 0;
  if ((dcb.Flags & DCB_PARITY) != 0 && dcb.Parity != NOPARITY) t->c_iflag |= INPCK;
  if ((dcb.Flags & DCB_OUTX_CTS_FLOW) != 0) t->c_cflag |= CRTSCTS;
  if ((dcb.Flags & DCB_OUTX) != 0) t->c_iflag |= IXON;
  if ((dcb.Flags & DCB_INX) != 0) t->c_iflag |= IXOFF;
}

std::mutex MapLock;
std::map<int, std::string>& Overrides() {
  static std::map<int, std::string> overrides;
  return overrides;
}

std::string DefaultDevice(int port) {
  if (port <= 4) return "/dev/ttyS" + std::to_string(port - 1);
  if (port <= 6) return "/dev/ttyUSB" + std::to_string(port - 5);
  if (port <= 8) return "/dev/ttyACM" + std::to_string(port - 7);
  return "/dev/ttyS" + std::to_string(port - 1);
}

// Digits from text up to end (no sign, no leading zero), as a port number; 0 if not one.
int PortDigits(const char* text, const char* end) {
  if (text == end || *text == '0' || end - text > 3) return 0;
  int port = 0;
  for (const char* p = text; p != end; ++p) {
    if (*p < '0' || *p > '9') return 0;
    port = port * 10 + (*p - '0');
  }
  return port <= MaxComPort ? port : 0;
}

}  // namespace

bool GetCommState(HANDLE port, DCB* dcb) {
  Descriptor* d = Line(port);
  if (d == nullptr || dcb == nullptr) return d != nullptr && Fail(ERROR_INVALID_PARAMETER);
  termios2 t{};
  if (!Ioctl(d, TCGETS2, &t)) return false;
  DCB out;
  out.BaudRate = t.c_ospeed;
  switch (t.c_cflag & CSIZE) {
    case CS5: out.ByteSize = 5; break;
    case CS6: out.ByteSize = 6; break;
    case CS7: out.ByteSize = 7; break;
    default: out.ByteSize = 8; break;
  }
  out.Parity = (t.c_cflag & PARENB) == 0 ? NOPARITY : (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
  out.StopBits = (t.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
  out.Flags = DCB_BINARY;
  if (t.c_iflag & INPCK) out.Flags |= DCB_PARITY;
  if (t.c_cflag & CRTSCTS) out.Flags |= DCB_OUTX_CTS_FLOW;
  if (t.c_iflag & IXON) out.Flags |= DCB_OUTX;
  if (t.c_iflag & IXOFF) out.Flags |= DCB_INX;
  int lines = 0;
  if (::ioctl(d->Fd, TIOCMGET, &lines) == 0 && (lines & TIOCM_DTR) != 0) {
    out.Flags |= DCB_DTR_CONTROL_ENABLE;
  }
  *dcb = out;
  return true;
}

bool SetCommState(HANDLE port, const DCB* dcb) {
  Descriptor* d = Line(port);
  if (d == nullptr) return false;
  if (dcb == nullptr || dcb->BaudRate == 0) return Fail(ERROR_INVALID_PARAMETER);
  termios2 t{};
  if (!Ioctl(d, TCGETS2, &t)) return false;
  if (!SetFraming(&t, *dcb)) return Fail(ERROR_INVALID_PARAMETER);
  MakeRaw(&t, *dcb);
  SetRate(&t, dcb->BaudRate);
  if (!Ioctl(d, TCSETS2, &t)) return false;
  // A UART driver rounds an arbitrary rate to what its clock divides to; read back what it got.
  termios2 got{};
  if (!Ioctl(d, TCGETS2, &got)) return false;
  double off = std::abs(static_cast<double>(got.c_ospeed) - dcb->BaudRate) * 100.0 / dcb->BaudRate;
  if (off > RateTolerancePercent) return Fail(ERROR_INVALID_PARAMETER);
  // DTR follows the control mode; lines without modem control simply have none.
  int dtr = TIOCM_DTR;
  bool dtrOn = (dcb->Flags & DCB_DTR_CONTROL_MASK) == DCB_DTR_CONTROL_ENABLE;
  ::ioctl(d->Fd, dtrOn ? TIOCMBIS : TIOCMBIC, &dtr);
  return true;
}

bool GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) {
  Descriptor* d = Line(port);
  if (d == nullptr) return false;
  if (timeouts == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *timeouts = d->GetTimeouts();
  return true;
}

bool SetCommTimeouts(HANDLE port, const COMMTIMEOUTS* timeouts) {
  Descriptor* d = Line(port);
  if (d == nullptr) return false;
  if (timeouts == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  d->SetTimeouts(*timeouts);
  return true;
}

bool EscapeCommFunction(HANDLE port, DWORD function) {
  Descriptor* d = Line(port);
  if (d == nullptr) return false;
  int bits;
  unsigned long request;
  switch (function) {
    case SETDTR: bits = TIOCM_DTR; request = TIOCMBIS; break;
    case CLRDTR: bits = TIOCM_DTR; request = TIOCMBIC; break;
    case SETRTS: bits = TIOCM_RTS; request = TIOCMBIS; break;
    case CLRRTS: bits = TIOCM_RTS; request = TIOCMBIC; break;
    default: return Fail(ERROR_INVALID_PARAMETER);
  }
  return Ioctl(d, request, &bits);
}

bool PurgeComm(HANDLE port, DWORD flags) {
  Descriptor* d = Line(port);
  if (d == nullptr) return false;
  bool tx = (flags & PURGE_TXCLEAR) != 0;
  bool rx = (flags & PURGE_RXCLEAR) != 0;
  if (!tx && !rx) return true;
  int queue = tx && rx ? TCIOFLUSH : tx ? TCOFLUSH : TCIFLUSH;
  if (::ioctl(d->Fd, TCFLSH, queue) == 0) return true;
  return Fail(ErrorFromErrno(errno));
}

std::string ComDevicePath(int port) {
  if (port < 1 || port > MaxComPort) return {};
  std::lock_guard<std::mutex> hold(MapLock);
  auto it = Overrides().find(port);
  return it != Overrides().end() ? it->second : DefaultDevice(port);
}

bool SetComDevice(int port, const char* path) {
  if (port < 1 || port > MaxComPort) return false;
  std::lock_guard<std::mutex> hold(MapLock);
  if (path == nullptr) Overrides().erase(port);
  else Overrides()[port] = path;
  return true;
}

int ComPortFromName(const char* name) {
  if (name == nullptr) return 0;
  size_t length = std::strlen(name);
  // "\\.\COM12": any port number.
  if (length > 7 && std::strncmp(name, "\\\\.\\COM", 7) == 0) return PortDigits(name + 7, name + length);
  // "COM3:": one digit and a colon, the form the handheld platform's device names take.
  if (length == 5 && std::strncmp(name, "COM", 3) == 0 && name[4] == ':') {
    return PortDigits(name + 3, name + 4);
  }
  return 0;
}

}  // namespace platform
