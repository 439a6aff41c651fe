// Receiver statements read from the sentences themselves (the fix records carry none of them):
// RMC status V, GGA quality 0, GLL status V and GSA mode 1 say the fix is lost; GGA field 7
// is the number of satellites in use; GGA quality 2 and 3 are DGPS and PPS fixes; GSA mode 2
// and 3 are 2-D and 3-D fixes. Civil dates and day numbers after H. Hinnant's
// days_from_civil and civil_from_days.
#include "TrackBuilder.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Commands.h"
#include "velmira/velmira.h"

namespace cli {
namespace {

constexpr double SecondsPerDay = 86400;
constexpr int16_t Wgs84 = 1;
constexpr double SamePlace = 1e-6;  // degrees (0.1 m): sentences of one epoch may round apart

long DaysFromCivil(long y, long m, long d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long z, long& y, long& m, long& d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = yoe + era * 400 + (m <= 2);
}

// "YYYY-MM-DDThh:mm:ss[.sss]Z"
std::string IsoTime(long day, double second, bool fractions) {
  long y = 0, m = 0, d = 0;
  CivilFromDays(day, y, m, d);
  const long ms = std::lround(second * 1000);
  char text[48];
  int n = std::snprintf(text, sizeof text, "%04ld-%02ld-%02ldT%02ld:%02ld:%02ld", y, m, d,
                        ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
  if (fractions) n += std::snprintf(text + n, sizeof text - n, ".%03ld", ms % 1000);
  std::snprintf(text + n, sizeof text - n, "Z");
  return text;
}

std::string Field(VmNmeaSentence* s, int16_t index) {
  return Narrow(NmeaSentence_Fields(s, index, nullptr));
}

// Seconds of the day of an hhmmss[.sss] field, negative when it is not one.
double TimeOfDay(const std::string& field) {
  const size_t digits = field.find_first_not_of("0123456789");
  if (field.size() < 6 || digits < 6 || field.find_first_not_of("0123456789.") != std::string::npos) return -1;
  const auto two = [&field](size_t at) { return (field[at] - '0') * 10 + field[at + 1] - '0'; };
  return two(0) * 3600.0 + two(2) * 60.0 + std::strtod(field.c_str() + 4, nullptr);
}

}  // namespace

void TrackBuilder::Take(uintptr_t kind, void* object) {
  switch (kind) {
    case KindFix: OnFix(static_cast<VmGpsFix*>(object)); break;
    case KindSentence: OnSentence(static_cast<VmNmeaSentence*>(object)); break;
    case KindQuality: OnQuality(static_cast<VmQuality*>(object)); break;
    default: break;
  }
}

void TrackBuilder::OnFix(VmGpsFix* fix) {
  const int ms = GpsFix_GetMilliSecond(fix);
  const double second = GpsFix_GetHour(fix) * 3600.0 + GpsFix_GetMinute(fix) * 60.0 +
                        GpsFix_GetSecond(fix) + ms / 1000.0;
  Fractions = Fractions || ms != 0;
  Handle<VmPosition> where(GpsFix_GetPosition(fix), Position_Delete);
  if (Position_GetDatum(where.get()) != Wgs84) Position_SetDatum(where.get(), Wgs84);
  double lat = 0, lon = 0;
  Position_GetLatitudeDecDeg(where.get(), &lat);
  Position_GetLongitudeDecDeg(where.get(), &lon);
  // A fix elsewhere is another point even under the same time stamp (logs made by hand).
  const bool moved = std::fabs(lat - Point.Lat) > SamePlace || std::fabs(lon - Point.Lon) > SamePlace;
  if (Open && (second != EpochSecond || moved)) Emit();
  if (!Open) {
    Point = TrackPoint();
    Point.Lat = lat;
    Point.Lon = lon;
    Open = true;
    EpochSecond = second;
    EpochDay = LONG_MIN;
  }
  if (GpsFix_GetFixType(fix) == 3 && std::isnan(Point.Ele)) {
    Handle<VmPosition> where(GpsFix_GetPosition(fix), Position_Delete);
    double alt = 0;
    Position_GetAltitude(where.get(), 0, &alt);
    Point.Ele = alt;
  }
  const int month = GpsFix_GetMonth(fix), day = GpsFix_GetDay(fix);
  if (GpsFix_GetYear(fix) != 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31) {
    EpochDay = DaysFromCivil(GpsFix_GetYear(fix), month, day);
  }
}

void TrackBuilder::OnSentence(VmNmeaSentence* sentence) {
  const std::string command = Narrow(NmeaSentence_GetCommand(sentence, nullptr));
  if (command == "RMC" || command == "GGA") {
    Fractions = Fractions || Field(sentence, 1).find('.') != std::string::npos;
  }
  if (command == "RMC" && Field(sentence, 2) == "V") return FixLost();
  if (command == "GLL" && Field(sentence, 6) == "V") return FixLost();
  if (command == "GSA") {
    const std::string mode = Field(sentence, 2);
    if (mode == "1") return FixLost();
    if (Open && Point.Fix.empty() && (mode == "2" || mode == "3")) Point.Fix = mode + "d";
  }
  if (command == "GGA") {
    const std::string quality = Field(sentence, 6);
    if (quality == "0") return FixLost();
    // Only the GGA of the open epoch speaks for it.
    if (!Open || std::fabs(TimeOfDay(Field(sentence, 1)) - EpochSecond) > 5e-4) return;
    if (quality == "2") Point.Fix = "dgps";
    if (quality == "3") Point.Fix = "pps";
    const std::string used = Field(sentence, 7);
    if (!used.empty() && used.size() <= 3 && used.find_first_not_of("0123456789") == std::string::npos) {
      Point.Sat = std::atoi(used.c_str());
    }
  }
}

void TrackBuilder::OnQuality(VmQuality* quality) {
  if (!Open) return;
  // The receiver leaves a field empty (read as 0) when it has no value.
  const auto known = [](double v) { return v > 0 ? v : Unknown; };
  double v = 0;
  Quality_GetHDOP(quality, &v);
  Point.Hdop = known(v);
  Quality_GetVDOP(quality, &v);
  Point.Vdop = known(v);
  Quality_GetPDOP(quality, &v);
  Point.Pdop = known(v);
}

void TrackBuilder::FixLost() {
  if (Open) Emit();
  Lost = true;
}

TrackPoint TrackBuilder::Closed(long& day, double& time) const {
  day = Day;
  if (EpochDay != LONG_MIN) {
    day = EpochDay;
  } else if (day != LONG_MIN && EpochSecond < LastSecond - SecondsPerDay / 2) {
    ++day;  // past midnight since the last date
  }
  // Without any date the time of day alone measures gaps, across midnight too.
  time = day != LONG_MIN ? day * SecondsPerDay + EpochSecond : EpochSecond;
  double step = time - LastTime;
  if (day == LONG_MIN) step = std::fmod(step + SecondsPerDay, SecondsPerDay);
  TrackPoint point = Point;
  point.NewSegment = !Emitted || Lost || std::fabs(step) > Gap;
  // A time stamp past the day's end (a damaged field) is left out, not written as a time.
  if (day != LONG_MIN && EpochSecond < SecondsPerDay) point.Time = IsoTime(day, EpochSecond, Fractions);
  return point;
}

bool TrackBuilder::Peek(TrackPoint& point) const {
  if (!Open) return false;
  long day = 0;
  double time = 0;
  point = Closed(day, time);
  return true;
}

void TrackBuilder::Emit() {
  Open = false;
  long day = 0;
  double time = 0;
  const TrackPoint point = Closed(day, time);
  Day = day;
  LastTime = time;
  Lost = false;
  Emitted = true;
  LastSecond = EpochSecond;
  Out(point);
}

void TrackBuilder::Finish() {
  if (Open) Emit();
}

}  // namespace cli
