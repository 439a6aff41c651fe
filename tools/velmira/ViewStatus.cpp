#include "ViewStatus.h"

#include <cmath>
#include <cstdio>

#include "Commands.h"
#include "velmira/velmira.h"

namespace cli {
namespace {

// The label draws 8-bit text as Latin-1: the degree sign is one byte.
constexpr const char* DegreeSign = "\xB0";
// Lines break only at plain spaces: inside a field a no-break space keeps "12.3 km/h" whole
// when a narrow window wraps the line.
constexpr char NoBreak = '\xA0';
constexpr const char* Gap = "   ";

std::string Whole(std::string field) {
  for (char& c : field) {
    if (c == ' ') c = NoBreak;
  }
  return field;
}

// 48°07'02.28"N. Seconds are cut, not rounded, to hundredths so they never read 60.
std::string Dms(int degrees, int minutes, double seconds, BSTR hemisphere) {
  char text[48];
  std::snprintf(text, sizeof text, "%d%s%02d'%05.2f\"%s", degrees, DegreeSign, minutes,
                std::floor(seconds * 100) / 100, Narrow(hemisphere).c_str());
  return text;
}

}  // namespace

void ViewStatus::SetFix(VmGpsFix* fix, VmPosition* position) {
  HaveFix = true;
  char text[40];
  // Room for any 16-bit fields, whatever the receiver sent.
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", GpsFix_GetHour(fix), GpsFix_GetMinute(fix),
                GpsFix_GetSecond(fix));
  Time = text;
  if (GpsFix_GetYear(fix) > 0) {  // GGA and GLL fixes carry no date: the last one stays
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", GpsFix_GetYear(fix), GpsFix_GetMonth(fix),
                  GpsFix_GetDay(fix));
    Date = text;
  }
  int16_t d = 0, m = 0;
  double s = 0;
  BSTR hemisphere = Position_GetLatitudeDMS(position, &d, &m, &s, nullptr);
  Latitude = Dms(d, m, s, hemisphere);
  hemisphere = Position_GetLongitudeDMS(position, &d, &m, &s, nullptr);
  Longitude = Dms(d, m, s, hemisphere);
}

std::string ViewStatus::Text(bool lost, bool following) const {
  std::string fix = Whole((Date.empty() ? "" : Date + " ") + Time + " UTC") + Gap + Latitude +
                    Gap + Longitude + Gap + Whole(Grid);
  std::string line = !HaveFix ? "no fix yet" : lost ? "no fix" + std::string(Gap) + "(last fix " + fix + ")" : fix;
  char speed[32] = "--", inView[32] = "--", hdop[32] = "--";
  if (HaveSpeed) std::snprintf(speed, sizeof speed, "%.1f", Kmh);
  if (InView >= 0) std::snprintf(inView, sizeof inView, "%d", InView);
  if (HaveHdop) std::snprintf(hdop, sizeof hdop, "%.1f", Hdop);
  line += "\n" + Whole(speed + std::string(" km/h")) + Gap + Whole(inView + std::string(" satellites")) +
          Gap + Whole("HDOP " + std::string(hdop)) + Gap + Port + Gap +
          (following ? "following" : Whole("not following"));
  return line;
}

}  // namespace cli
