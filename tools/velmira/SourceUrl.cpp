#include "SourceUrl.h"

#include "Commands.h"

namespace cli {
namespace {

// Rates the library accepts for a port (0 detects).
constexpr long Rates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                          14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

constexpr const char* Schemes = "gpsd://, tcp://, udp://, serial:// or a file path";

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// "DEVICE[?baud=RATE]".
std::string ParseSerial(const std::string& rest, SourceUrl& out) {
  const size_t query = rest.find('?');
  out.Path = rest.substr(0, query);
  if (out.Path.empty() || out.Path.front() != '/') {
    return "serial:// takes a device path, as in serial:///dev/ttyUSB0?baud=4800";
  }
  if (query == std::string::npos) return {};
  const std::string option = rest.substr(query + 1);
  long baud = 0;
  if (!StartsWith(option, "baud=") || !ParseWhole(option.substr(5), 0, 256000, baud)) {
    return "serial:// takes one option, baud=RATE";
  }
  for (long rate : Rates) {
    if (rate == baud) {
      out.Baud = static_cast<int>(baud);
      return {};
    }
  }
  return "baud=" + option.substr(5) + " is not a rate a port takes";
}

// The text with its scheme ("GPSD://" and the like) in lower case: schemes are
// case-insensitive, as the library takes them.
std::string LowerScheme(const std::string& text) {
  const size_t colon = text.find("://");
  std::string out = text;
  for (size_t i = 0; colon != std::string::npos && i < colon; ++i) {
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
  }
  return out;
}

}  // namespace

std::string SourceUrl::Parse(const std::string& given) {
  *this = SourceUrl();
  if (given.empty()) return "--source needs a URL or a file path";
  const std::string text = LowerScheme(given);
  if (StartsWith(text, "gpsd://") || StartsWith(text, "tcp://") || StartsWith(text, "udp://")) {
    Type = Kind::Network;
    Url = text;  // the library checks the rest and says what is wrong
    return {};
  }
  if (StartsWith(text, "serial://")) {
    Type = Kind::Serial;
    return ParseSerial(text.substr(9), *this);
  }
  Type = Kind::File;
  Path = StartsWith(text, "file://") ? given.substr(7) : given;
  if (Path.empty()) return "file:// needs a path";
  if (Path.find("://") != std::string::npos) {
    return "unknown kind of source '" + given + "': use " + Schemes;
  }
  return {};
}

std::string SourceUrl::Label() const {
  if (Type != Kind::Network) return Path;
  const size_t colon = Url.find("://");
  std::string label = Url.substr(0, colon) + " " + Url.substr(colon + 3);
  if (StartsWith(Url, "gpsd://") && Url.find(':', colon + 3) == std::string::npos &&
      Url.find('[', colon + 3) == std::string::npos) {
    // The default port, said: a user who has gpsd elsewhere sees where we look.
    const size_t slash = label.find('/');
    label.insert(slash == std::string::npos ? label.size() : slash, ":2947");
  }
  return label;
}

}  // namespace cli
