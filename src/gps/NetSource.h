// NMEA from a server: a gpsd daemon asked to relay its receiver's sentences, a TCP stream or UDP
// datagrams. The reader thread reads it as it reads a COM port; behind that the source keeps the
// link up: it connects on the reader thread, and after a failure or a drop tries again after a
// delay that doubles from 0.5 s up to 5 s, for as long as the reader runs.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "gps/ByteSource.h"
#include "gps/SourceAddress.h"
#include "platform/Socket.h"

namespace velmira {

class NetSource : public ByteSource {
 public:
  static constexpr platform::DWORD FirstRetryMs = 500;
  static constexpr platform::DWORD LastRetryMs = 5000;
  // A connect that hangs (a host that drops packets) is given up after this long.
  static constexpr platform::DWORD ConnectTimeoutMs = 5000;
  // gpsd's greeting is one JSON line; a server that sends more than this without a line end
  // before it is not gpsd, and the link is dropped.
  static constexpr int32_t MaxBannerBytes = 4096;

  // The retry delays may be shortened (tests that make a thousand links).
  explicit NetSource(const SourceAddress& address, platform::DWORD firstRetryMs = FirstRetryMs,
                     platform::DWORD lastRetryMs = LastRetryMs);
  ~NetSource() override;

  // Binds a UDP source now, so that a port in use is reported at once; stream sources connect
  // on the reader thread. False with the error set.
  bool Open();
  void Close() override;
  int32_t Read(uint8_t* buffer, int32_t maximum) override;
  // Sends to a connected stream; nothing for UDP or while the link is down.
  int32_t Write(const uint8_t* buffer, int32_t count) override;
  Wake WaitCycle(platform::HANDLE stop, platform::DWORD cycleMs) override;
  bool TextOnly() const override { return true; }

  // Links made since the source was opened.
  int64_t Connections() const { return Connects; }

 private:
  bool Stream() const { return Address.Type != SourceAddress::Kind::Udp; }
  void Connect(platform::HANDLE stop);
  void Drop();
  // Takes the receive buffer's new bytes through gpsd's greeting and datagram ends.
  void Received(int32_t count);
  void SendWatch();

  SourceAddress Address;
  platform::Socket Link;
  std::array<uint8_t, 16384> Buffer{};
  int32_t Head = 0, Tail = 0;  // bytes [Head, Tail) are waiting to be read
  bool AwaitingBanner = false;
  int32_t BannerBytes = 0;
  bool DroppedLink = false;      // reported by the next WaitCycle
  bool HeardSinceConnect = false;  // the backoff starts over once a link carries data
  const platform::DWORD FirstRetry, LastRetry;
  platform::DWORD RetryMs;
  platform::DWORD NextAttempt = 0;  // tick count
  platform::DWORD CycleStart = 0;
  int64_t Connects = 0;
};

}  // namespace velmira
