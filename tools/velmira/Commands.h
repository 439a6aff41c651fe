// The subcommands of the velmira program. Each lives in its own source and uses the library
// only through its exported interface.
//
// Conventions every subcommand follows (as gpsdecode, cs2cs and git do):
// - `velmira COMMAND --help` (or -h, anywhere among the arguments) prints the command's usage
//   on standard output and exits 0. Main answers it from the command's row in the table, so
//   the command never sees those arguments.
// - A bad option or argument prints "velmira COMMAND: what is wrong", then the usage, on
//   standard error and exits 2: the command returns BadUsage(...).
// - Failed work (a file that cannot be read, a port that cannot be opened, input the library
//   refuses) prints "velmira COMMAND: ..." on standard error and exits 1.
// - Results go to standard output only; notes on progress go to standard error.
// A new command is one row in Commands() (name, summary, usage, entry point) and a source.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct VmError;
struct VmPoint;
struct VmPosition;

namespace cli {

using Args = std::vector<std::string>;

// Each returns the process exit status: 0 success, 1 failed work, 2 bad usage.
int RunHelp(const Args& args);
int RunDemo(const Args& args);
int RunNmea(const Args& args);
int RunConvert(const Args& args);
int RunMapLib(const Args& args);
int RunRender(const Args& args);
int RunView(const Args& args);

struct Command {
  const char* Name;
  const char* Summary;  // one line for the command list
  const char* Usage;    // "usage: velmira NAME ..." and the options, each line ending in \n
  int (*Run)(const Args& args);
};

// The table of subcommands, in the order help lists them.
const std::vector<Command>& Commands();

// Prints "velmira NAME: problem" and NAME's usage on standard error; returns 2.
int BadUsage(const char* name, const std::string& problem);

// An argument that looks like an option: starts with '-' and is not "-" alone.
bool IsOption(const std::string& arg);

// Converts between the program's UTF-8 text and the library's UTF-16 strings.
std::u16string Widen(const std::string& text);
std::string Narrow(const char16_t* wide);

// The whole of `text` as a finite number, or as a whole number within [low, high].
bool ParseNumber(const std::string& text, double& value);
bool ParseWhole(const std::string& text, long low, long high, long& value);

// "WxH" with both sides from 1 to MaxWindowSide, the largest window side the library makes.
constexpr long MaxWindowSide = 8192;
bool ParseSize(const std::string& text, int32_t& width, int32_t& height);

// The names of the icons of a map library file, in file order: the exports list no icons.
std::vector<std::string> IconNames(const std::string& path);

// A library object's failure as "message (error N)"; empty when its record holds none.
std::string LibraryError(VmError* record);

// Message 1125 of a parser in event mode: wParam names the kind of object lParam carries,
// which the receiver of the message owns.
constexpr uint32_t GpsMessage = 1125;
enum GpsEventKind : uintptr_t {
  KindSentence = 1,
  KindFix = 5,
  KindSatellites = 6,
  KindMovement = 7,
  KindQuality = 8,
  KindStatus = 9
};
// Deletes the object a message 1125 carries through its family's Delete.
void DeleteCarried(uintptr_t kind, void* object);

// Owns one library object and gives it back with its family's Delete.
template <class T>
using Handle = std::unique_ptr<T, void (*)(T*)>;

// A string the library returned, as UTF-8; the string is freed.
std::string TakeText(char16_t* s);
// A new point at x, y and a new position at WGS 84 degrees (the library's default datum).
Handle<VmPoint> NewPoint(int32_t x, int32_t y);
Handle<VmPosition> NewPosition(double lat, double lon);

}  // namespace cli
