// NMEA test text and the parser's window messages: sentences with their checksums computed
// here, a parser posting to its own window, and giving back the reference each message carries.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "frame/RefObject.h"
#include "velmira/velmira.h"

namespace velmira {
class NmeaSentence;
}

namespace testsupport {

// "$" + body + "*" + two upper-case hex digits, then CR LF.
std::string Line(const std::string& body);
// The line of a GGA fix at a northern, eastern position (degrees), at 12:00:second.
std::string FixAt(double lat, double lon, int second = 0);
// A sentence object holding "$" + body + "*hh".
velmira::Ref<velmira::NmeaSentence> Sentence(const std::string& body);
// The low bytes of a wide string (empty for null).
std::string Narrow(BSTR text);
// The latitude and longitude of a fix, degrees.
std::pair<double, double> LatLonOf(VmGpsFix* fix);
// Deletes the object a message 1125 carries, through the family its kind names.
void DeleteCarried(const VmMsg& m);

// A parser with a window of its own as the callback window; both go with the object.
struct ParserWindow {
  ParserWindow();
  ~ParserWindow();
  void Parse(const std::string& text);
  void Enable(int16_t port, int32_t rate);  // sets port and rate, then enables the port
  int16_t ErrNum() const { return Error_ErrNum(NmeaParser_GetErrHandle(Parser)); }
  // The error record as "<number> <description>", or "0" after success.
  std::string Error() const;
  // Kinds of everything posted so far; the objects are deleted.
  std::vector<uintptr_t> Posted();

  VmNmeaParser* Parser;
  HWND Window;
};

}  // namespace testsupport
