#include <cstdio>
#include <cstring>

#include "Commands.h"

namespace cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> table = {
      {"demo", "decode the bundled NMEA log and place every fix on a map grid", RunDemo},
      {"help", "show this help", RunHelp},
      {"nmea", "decode NMEA from a file, standard input or a serial port as JSON Lines", RunNmea},
      {"convert", "convert points between datums and grids (stdin to stdout)", RunConvert},
  };
  return table;
}

int RunHelp(const Args&) {
  std::printf(
      "velmira %s: GPS input, geodesy and maps\n\n"
      "usage: velmira COMMAND [ARGUMENTS]\n       velmira --version\n\ncommands:\n",
      VELMIRA_VERSION);
  for (const Command& c : Commands()) std::printf("  %-10s %s\n", c.Name, c.Summary);
  return 0;
}

std::u16string Widen(const std::string& text) {
  // Bytes map to the units of the same value: the library keeps the low byte of each unit.
  std::u16string wide;
  wide.reserve(text.size());
  for (unsigned char c : text) wide.push_back(c);
  return wide;
}

std::string Narrow(const char16_t* wide) {
  std::string text;
  if (wide == nullptr) return text;
  for (; *wide != 0; ++wide) text.push_back(static_cast<char>(*wide & 0xFF));
  return text;
}

}  // namespace cli

int main(int argc, char** argv) {
  if (argc < 2) {
    cli::RunHelp({});
    return 2;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("velmira %s\n", VELMIRA_VERSION);
    return 0;
  }
  cli::Args args(argv + 2, argv + argc);
  for (const cli::Command& c : cli::Commands()) {
    if (std::strcmp(argv[1], c.Name) == 0) return c.Run(args);
  }
  std::fprintf(stderr, "velmira: unknown command '%s' (try 'velmira help')\n", argv[1]);
  return 2;
}
