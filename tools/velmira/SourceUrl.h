// One option names every input a user has: --source URL, where URL is
//   gpsd://HOST[:PORT][/DEVICE], tcp://HOST:PORT, udp://[BIND]:PORT   read by the library,
//   serial://DEVICE[?baud=RATE]                                        a serial port,
//   file://PATH or a plain path (- for standard input)                 an NMEA log.
#pragma once

#include <string>

namespace cli {

struct SourceUrl {
  enum class Kind { File, Serial, Network };
  Kind Type = Kind::File;
  std::string Path;  // the file or the serial device
  int Baud = -1;     // serial: the rate given, -1 when it is to be detected
  std::string Url;   // network: the URL as the library takes it

  // The problem with `text`, empty when it names a source. Schemes are case-insensitive.
  std::string Parse(const std::string& text);
  // Short form for status lines: "gpsd localhost:2947", "tcp 10.0.0.5:10110", "udp :10110".
  std::string Label() const;
};

}  // namespace cli
