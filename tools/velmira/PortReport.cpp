#include "PortReport.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "Commands.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace cli {
namespace {

// COM numbers that detection searches.
constexpr int FirstDetectedPort = 1;
constexpr int LastDetectedPort = 8;
// Any rate the library accepts: opening a port to hear whether it opens.
constexpr int32_t ProbeRate = 4800;

}  // namespace

std::string ErrorText(VmError* record) { return Narrow(Error_ErrDesc(record, nullptr)); }

std::string DeviceOf(int port) {
  std::string path(VmComPort_GetDevice(static_cast<int16_t>(port), nullptr, 0), '\0');
  VmComPort_GetDevice(static_cast<int16_t>(port), path.data(), path.size() + 1);
  return path;
}

std::string PortName(int port) {
  return "COM" + std::to_string(port) + " (" + DeviceOf(port) + ")";
}

namespace {

// The library maps a refused permission to "in use"; say which it is when we can tell.
std::string PermissionHint(const std::string& path) {
  if (::access(path.c_str(), R_OK | W_OK) == 0 || errno != EACCES) return {};
  struct stat info;
  const group* owner = ::stat(path.c_str(), &info) == 0 ? ::getgrgid(info.st_gid) : nullptr;
  return owner != nullptr
             ? std::string(" (no permission; members of group ") + owner->gr_name + " have it)"
             : std::string(" (no permission)");
}

}  // namespace

std::string CannotOpen(int port, const std::string& message) {
  const std::string path = DeviceOf(port);
  return "COM" + std::to_string(port) + " is " + path + ", which cannot be opened: " + message +
         PermissionHint(path);
}

namespace {

// The library's verdict on opening the port, empty when it opens: a parser opens it as the
// reader thread would (polled, so nothing is posted) and closes it again at once.
std::string OpenProblem(int port) {
  VmNmeaParser* probe = NmeaParser_New();
  NmeaParser_SetNoEvents(probe, 1);
  NmeaParser_SetComPort(probe, static_cast<int16_t>(port));
  NmeaParser_SetBaudRate(probe, ProbeRate);
  NmeaParser_SetPortEnabled(probe, 1);
  VmError* err = NmeaParser_GetErrHandle(probe);
  const std::string problem = Error_ErrNum(err) != 0 ? ErrorText(err) : std::string();
  NmeaParser_Delete(probe);
  return problem;
}

}  // namespace

std::vector<int> UsablePorts(const char* command, int wanted) {
  std::vector<int> usable;
  const int first = wanted == 0 ? FirstDetectedPort : wanted;
  const int last = wanted == 0 ? LastDetectedPort : wanted;
  for (int port = first; port <= last; ++port) {
    const std::string problem = OpenProblem(port);
    if (problem.empty()) {
      usable.push_back(port);
    } else {
      std::fprintf(stderr, "velmira %s: %s\n", command, CannotOpen(port, problem).c_str());
    }
  }
  if (usable.empty() && wanted == 0) {
    std::fprintf(stderr, "velmira %s: none of COM%d to COM%d can be opened\n", command, first,
                 last);
  }
  return usable;
}

std::string Tried(const std::vector<int>& ports, int baud) {
  std::string text;
  for (int port : ports) text += (text.empty() ? "" : ", ") + PortName(port);
  return text +
         (baud > 0 ? " at " + std::to_string(baud) + " baud" : " at " + std::string(DetectedRates));
}

}  // namespace cli
