#include "gps/NetSource.h"

#include <algorithm>
#include <cstring>

#include "platform/Files.h"

namespace velmira {
namespace {

// How long a write to a stream may wait for room before the link counts as gone.
constexpr platform::DWORD SendTimeoutMs = 1000;

// Signed distance between tick counts, right across the counter's wrap.
int32_t MsUntil(platform::DWORD when, platform::DWORD now) { return static_cast<int32_t>(when - now); }

bool Signalled(platform::HANDLE event) {
  return platform::WaitForSingleObject(event, 0) == platform::WAIT_OBJECT_0;
}

// gpsd's WATCH command: relay the receiver's NMEA as it comes (of one device, if named).
std::string WatchCommand(const std::string& device) {
  std::string command = "?WATCH={\"enable\":true,\"nmea\":true";
  if (!device.empty()) {
    command += ",\"device\":\"";
    for (char c : device) {
      if (c == '"' || c == '\\') command += '\\';
      command += c;
    }
    command += '"';
  }
  return command + "}\n";
}

}  // namespace

NetSource::NetSource(const SourceAddress& address, platform::DWORD firstRetryMs,
                     platform::DWORD lastRetryMs)
    : Address(address),
      FirstRetry(firstRetryMs),
      LastRetry(lastRetryMs),
      RetryMs(firstRetryMs),
      NextAttempt(platform::GetTickCount()),
      CycleStart(NextAttempt) {}

NetSource::~NetSource() { NetSource::Close(); }

bool NetSource::Open() {
  Err.Clear();
  if (Stream()) return true;
  Link = platform::Socket::BindUdp(Address.Host, Address.Port);
  if (!Link.Valid()) {
    const platform::DWORD error = platform::GetLastError();
    Err.Set(static_cast<int16_t>(error != 0 ? error : platform::ERROR_GEN_FAILURE),
            errors::CouldNotOpenSource);
    return false;
  }
  ++Connects;
  return true;
}

void NetSource::Close() {
  Link.Close();
  Head = Tail = 0;
}

void NetSource::Connect(platform::HANDLE stop) {
  Link = platform::Socket::ConnectTcp(Address.Host, Address.Port, stop, ConnectTimeoutMs);
  const platform::DWORD now = platform::GetTickCount();
  if (!Link.Valid()) {
    NextAttempt = now + RetryMs;
    RetryMs = std::min(RetryMs * 2, LastRetry);
    return;
  }
  ++Connects;
  AwaitingBanner = Address.Type == SourceAddress::Kind::Gpsd;
  BannerBytes = 0;
  HeardSinceConnect = false;
  CycleStart = now;
}

void NetSource::Drop() {
  Link.Close();
  Head = Tail = 0;
  DroppedLink = true;
  AwaitingBanner = false;
  NextAttempt = platform::GetTickCount() + RetryMs;
  RetryMs = std::min(RetryMs * 2, LastRetry);
}

void NetSource::SendWatch() {
  const std::string command = WatchCommand(Address.Device);
  if (!Link.SendAll(reinterpret_cast<const uint8_t*>(command.data()),
                    static_cast<int32_t>(command.size()), SendTimeoutMs)) {
    Drop();
  }
}

void NetSource::Received(int32_t count) {
  Head = 0;
  Tail = count;
  if (!HeardSinceConnect) {
    HeardSinceConnect = true;
    RetryMs = FirstRetry;
  }
  if (AwaitingBanner) {
    const void* lf = std::memchr(Buffer.data(), '\n', static_cast<size_t>(count));
    if (lf == nullptr) {
      Head = Tail;
      BannerBytes += count;
      if (BannerBytes > MaxBannerBytes) Drop();
      return;
    }
    Head = static_cast<int32_t>(static_cast<const uint8_t*>(lf) - Buffer.data()) + 1;
    AwaitingBanner = false;
    SendWatch();
    return;
  }
  // A datagram is a whole message: its last line ends with it, whether or not the sender
  // wrote the line end.
  if (!Stream() && Buffer[Tail - 1] != '\n') {
    if (Buffer[Tail - 1] != '\r') Buffer[Tail++] = '\r';
    Buffer[Tail++] = '\n';
  }
}

int32_t NetSource::Read(uint8_t* buffer, int32_t maximum) {
  if (buffer == nullptr || maximum <= 0) return 0;
  if (Head == Tail) {
    if (!Link.Valid()) return 0;
    // Room for the line end a datagram may need.
    const int32_t room = static_cast<int32_t>(Buffer.size()) - 2;
    const int32_t got = Link.Receive(Buffer.data(), room);
    if (got < 0 && Stream()) Drop();
    if (got <= 0) return 0;
    Received(got);
  }
  const int32_t n = std::min(maximum, Tail - Head);
  std::memcpy(buffer, Buffer.data() + Head, static_cast<size_t>(n));
  Head += n;
  return n;
}

int32_t NetSource::Write(const uint8_t* buffer, int32_t count) {
  if (!Stream() || !Link.Valid() || AwaitingBanner || buffer == nullptr || count <= 0) return 0;
  if (Link.SendAll(buffer, count, SendTimeoutMs)) return count;
  Drop();
  return 0;
}

ByteSource::Wake NetSource::WaitCycle(platform::HANDLE stop, platform::DWORD cycleMs) {
  if (DroppedLink) {
    DroppedLink = false;
    return Wake::Dropped;
  }
  platform::DWORD now = platform::GetTickCount();
  if (!Link.Valid()) {
    if (!Stream()) {  // a UDP socket is never lost once bound
      return platform::WaitForSingleObject(stop, cycleMs) == platform::WAIT_OBJECT_0 ? Wake::Stopped
                                                                                     : Wake::CycleOver;
    }
    // Down: wait for the next attempt, a cycle at most at a time, then connect.
    const int32_t until = MsUntil(NextAttempt, now);
    if (until > 0) {
      const auto wait = std::min<platform::DWORD>(static_cast<platform::DWORD>(until), cycleMs);
      if (platform::WaitForSingleObject(stop, wait) == platform::WAIT_OBJECT_0) return Wake::Stopped;
      if (MsUntil(NextAttempt, platform::GetTickCount()) > 0) return Wake::CycleOver;
    }
    Connect(stop);
    if (Signalled(stop)) return Wake::Stopped;
    return Link.Valid() ? Wake::Data : Wake::CycleOver;
  }
  // Up: data ends the wait early, but the cycle keeps its length, so a server that sends only
  // junk is found out after as many cycles as a quiet one.
  const int32_t left = MsUntil(CycleStart + cycleMs, now);
  if (left > 0 && Head != Tail) return Wake::Data;  // a read loop cut short by a flood
  if (left > 0) {
    switch (Link.WaitReadable(stop, static_cast<platform::DWORD>(left))) {
      case platform::Socket::Wake::Stopped: return Wake::Stopped;
      case platform::Socket::Wake::Readable: return Wake::Data;
      case platform::Socket::Wake::TimedOut: break;
    }
    now = platform::GetTickCount();
  }
  CycleStart = now;
  return Wake::CycleOver;
}

}  // namespace velmira
