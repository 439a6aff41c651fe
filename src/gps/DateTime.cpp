#include "gps/DateTime.h"

#include <cmath>

#include "frame/Text.h"

namespace velmira {
namespace {

// Two-digit years below the pivot are 20yy, the rest 19yy.
constexpr int32_t CenturyPivot = 80;
// Keeps a millisecond part such as .999 from truncating to 998 through binary rounding.
constexpr double MilliSecondNudge = 0.000005;

// Truncation toward zero into 16 bits; values a 16-bit field cannot hold (huge or NaN
// input) become 0 instead of undefined behaviour.
int16_t Trunc16(double v) {
  double t = std::trunc(v);
  return t >= INT16_MIN && t <= INT16_MAX ? static_cast<int16_t>(t) : 0;
}

}  // namespace

DateTime::DateTime(const Text* date, const Text* time) {
  if (date != nullptr) ReadDate(*date);
  if (time != nullptr) ReadTime(*time);
}

void DateTime::ReadDate(const Text& date) {
  int32_t v = date.ToInt32();
  int32_t yy = v % 100;
  Day = static_cast<int16_t>(v / 10000);
  Month = static_cast<int16_t>((v / 100) % 100);
  Year = static_cast<int16_t>(yy < CenturyPivot ? 2000 + yy : 1900 + yy);
}

void DateTime::ReadTime(const Text& time) {
  double t = time.ToDouble();
  if (!std::isfinite(t)) return;
  double hour = std::trunc(t * 0.0001);
  double minute = std::fmod(std::trunc(t * 0.01), 100.0);
  double r = t - hour * 10000.0 - minute * 100.0;
  double second = std::trunc(r);
  Hour = Trunc16(hour);
  Minute = Trunc16(minute);
  Second = Trunc16(second);
  MilliSecond = Trunc16((r - second) * 1000.0 + MilliSecondNudge);
}

}  // namespace velmira
