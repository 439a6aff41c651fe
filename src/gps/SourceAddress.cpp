#include "gps/SourceAddress.h"

#include <strings.h>

#include <cstring>
#include <string_view>

namespace velmira {
namespace {

struct Scheme {
  const char* Prefix;
  SourceAddress::Kind Type;
  bool PortRequired;
  bool HostRequired;
};
constexpr Scheme Schemes[] = {
    {"gpsd://", SourceAddress::Kind::Gpsd, false, true},
    {"tcp://", SourceAddress::Kind::Tcp, true, true},
    {"udp://", SourceAddress::Kind::Udp, true, false},
};

bool ParsePort(std::string_view text, uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

// "HOST", "HOST:PORT", "[V6]" or "[V6]:PORT" into host and port text (port empty if absent).
bool SplitHostPort(std::string_view text, std::string& host, std::string_view& port) {
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos || close == 1) return false;
    host = text.substr(1, close - 1);
    std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return false;
    port = rest.empty() ? rest : rest.substr(1);
    return rest.empty() || !port.empty();
  }
  const size_t colon = text.find(':');
  if (colon != text.rfind(':')) return false;  // a bare IPv6 address needs its brackets
  host = text.substr(0, colon);
  port = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  return colon == std::string_view::npos || !port.empty();
}

bool HostCharactersOk(const std::string& host) {
  for (unsigned char c : host) {
    if (c <= ' ' || c >= 0x7F || c == '/' || c == '@' || c == '?' || c == '#') return false;
  }
  return true;
}

// The device goes into gpsd's JSON command: no control characters.
bool DeviceCharactersOk(const std::string& device) {
  for (unsigned char c : device) {
    if (c < ' ' || c == 0x7F) return false;
  }
  return true;
}

}  // namespace

bool SourceAddress::Parse(const char* url, SourceAddress& out) {
  if (url == nullptr) return false;
  const std::string_view text(url);
  for (const Scheme& s : Schemes) {
    const std::string_view prefix(s.Prefix);
    if (text.size() < prefix.size() || strncasecmp(url, s.Prefix, prefix.size()) != 0) continue;
    std::string_view rest = text.substr(prefix.size());
    SourceAddress a;
    a.Type = s.Type;
    const size_t slash = rest.find('/');
    if (slash != std::string_view::npos) {
      // Only gpsd takes a path: the device it should relay.
      if (s.Type != Kind::Gpsd || slash + 1 == rest.size()) return false;
      a.Device = rest.substr(slash);
      rest = rest.substr(0, slash);
    }
    std::string_view port;
    if (!SplitHostPort(rest, a.Host, port) || !HostCharactersOk(a.Host)) return false;
    if (!DeviceCharactersOk(a.Device)) return false;
    if (a.Host.empty() && s.HostRequired) return false;
    if (port.empty()) {
      if (s.PortRequired) return false;
      a.Port = GpsdPort;
    } else if (!ParsePort(port, a.Port)) {
      return false;
    }
    out = a;
    return true;
  }
  return false;
}

}  // namespace velmira
