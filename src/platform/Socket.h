// TCP and UDP sockets on the loopback or the network, for NMEA that arrives from a server
// instead of a serial line: a non-blocking descriptor, connects and waits that end when a stop
// event is signalled, and receives that never block.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Sync.h"

namespace platform {

class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : Fd(fd) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  Socket(Socket&& other) noexcept : Fd(other.Fd) { other.Fd = -1; }
  Socket& operator=(Socket&& other) noexcept;
  ~Socket() { Close(); }

  bool Valid() const { return Fd >= 0; }
  void Close();

  // Bytes received (> 0), 0 when nothing is waiting, -1 when the peer closed the stream or the
  // connection failed. A datagram longer than `maximum` is cut.
  int32_t Receive(uint8_t* buffer, int32_t maximum);
  // Sends all bytes unless the connection fails or stays full for `timeoutMs`; false then.
  bool SendAll(const uint8_t* bytes, int32_t count, DWORD timeoutMs);

  // How a wait ended.
  enum class Wake { Stopped, Readable, TimedOut };
  // Waits until data (or the end of the stream) can be read, `stop` is signalled or `ms` pass.
  Wake WaitReadable(HANDLE stop, DWORD ms) const;

  // A TCP connection to host:port (a name or a numeric address), tried on each address the
  // name has. Null on failure (last error set) or when `stop` is signalled first, the name's
  // lookup included; the lookup and each connect are given up after `timeoutMs`.
  static Socket ConnectTcp(const std::string& host, uint16_t port, HANDLE stop, DWORD timeoutMs);
  // A UDP socket bound to host:port (an empty host: every local address). Null on failure.
  static Socket BindUdp(const std::string& host, uint16_t port);

 private:
  int Fd = -1;
};

}  // namespace platform
