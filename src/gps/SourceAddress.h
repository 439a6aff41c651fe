// Where a network source is: "gpsd://HOST[:PORT][/DEVICE]" (gpsd's port 2947 by default),
// "tcp://HOST:PORT" or "udp://[BIND]:PORT". Hosts are names or numeric addresses, IPv6 ones in
// brackets.
#pragma once

#include <cstdint>
#include <string>

namespace velmira {

struct SourceAddress {
  enum class Kind { Gpsd, Tcp, Udp };
  static constexpr uint16_t GpsdPort = 2947;

  Kind Type = Kind::Tcp;
  std::string Host;    // empty for a UDP source bound to every local address
  uint16_t Port = 0;
  std::string Device;  // gpsd only: the device to watch, empty for all

  // False when the text is not such a URL.
  static bool Parse(const char* url, SourceAddress& out);
};

}  // namespace velmira
