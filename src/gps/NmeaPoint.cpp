#include "gps/NmeaPoint.h"

#include <cmath>

#include "frame/Text.h"

namespace velmira {
namespace {

constexpr double MinutesToDegrees = 0.016666666666666666;
constexpr double SecondsToDegrees = 0.0002777777777777778;
constexpr double DegreesToRadians = 0.017453292519943295;
// Whole values outside this range cannot be degrees and minutes of an angle; they are
// read as 0 rather than overflowing the 16-bit parts.
constexpr double MaxWholeValue = 3276799.0;

}  // namespace

NmeaAngle ReadNmeaAngle(const Text* value, const Text* hemisphere, char negativeLetter) {
  NmeaAngle a;
  if (value == nullptr) return a;
  double v = value->ToDouble();
  if (!(std::fabs(v) <= MaxWholeValue)) return a;  // also catches NaN
  double n = std::trunc(v);
  int32_t whole = static_cast<int32_t>(n);
  int32_t minutes = whole % 100;
  int32_t degrees = (whole - minutes) / 100;
  double seconds = (v - n) * 60.0;
  a.Parts.Degrees = static_cast<int16_t>(degrees);
  a.Parts.Minutes = static_cast<int16_t>(minutes);
  a.Parts.Seconds = seconds;
  a.Radians = (minutes * MinutesToDegrees + seconds * SecondsToDegrees + degrees) * DegreesToRadians;
  if (hemisphere != nullptr && hemisphere->CharAt(0) == negativeLetter) a.Radians = -a.Radians;
  return a;
}

FixCoordinates ReadFixCoordinates(const Text* latitude, const Text* northSouth,
                                  const Text* longitude, const Text* eastWest,
                                  const Text* altitude, const Text* separation, int16_t datum) {
  FixCoordinates p;
  NmeaAngle lat = ReadNmeaAngle(latitude, northSouth, 'S');
  NmeaAngle lon = ReadNmeaAngle(longitude, eastWest, 'W');
  p.Latitude = lat.Radians;
  p.LatitudeDms = lat.Parts;
  p.Longitude = lon.Radians;
  p.LongitudeDms = lon.Parts;
  p.Altitude = altitude != nullptr ? altitude->ToDouble() : 0.0;
  p.Height = separation != nullptr ? separation->ToDouble() + p.Altitude : 0.0;
  p.Datum = datum;
  return p;
}

}  // namespace velmira
