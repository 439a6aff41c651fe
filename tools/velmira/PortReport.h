// What the program tells a user about serial ports. The library detects quietly: ports that
// do not open are skipped and nothing is said until a receiver is found. A user at a terminal
// needs to hear which device each COM number is, why a port cannot be used and what was tried.
#pragma once

#include <string>
#include <vector>

struct VmError;

namespace cli {

// The library's detection order, and roughly how long it spends on each rate.
constexpr const char* DetectedRates = "4800, then 57600, 9600, 19200 and 38400 baud";
constexpr const char* DetectionPace = " (about a second each)";

// The library's message of a failure, without the code.
std::string ErrorText(VmError* record);

// The device node COM<port> stands for, and "COM<port> (device)".
std::string DeviceOf(int port);
std::string PortName(int port);

// "COM<port> is DEVICE, which cannot be opened: MESSAGE", with a hint when the user lacks the
// permission.
std::string CannotOpen(int port, const std::string& message);

// Opens each port once (COM1 to COM8 for port 0) and says on standard error, as
// "velmira COMMAND: ...", why those that fail cannot be used; the ports that open.
std::vector<int> UsablePorts(const char* command, int wanted);

// "COM1 (device), COM2 (device) at RATE baud" or at the rates of detection for rate 0.
std::string Tried(const std::vector<int>& ports, int baud);

}  // namespace cli
