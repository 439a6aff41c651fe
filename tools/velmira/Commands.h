// The subcommands of the velmira program. Each lives in its own source and uses the library
// only through its exported interface.
#pragma once

#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

// Each returns the process exit status: 0 success, 1 failed work, 2 bad usage.
int RunHelp(const Args& args);
int RunDemo(const Args& args);
int RunNmea(const Args& args);
int RunConvert(const Args& args);

struct Command {
  const char* Name;
  const char* Summary;
  int (*Run)(const Args& args);
};

// The table of subcommands, in the order help lists them.
const std::vector<Command>& Commands();

// Converts between the program's UTF-8 text and the library's UTF-16 strings.
std::u16string Widen(const std::string& text);
std::string Narrow(const char16_t* wide);

}  // namespace cli
