// Latitude, longitude and heights read from NMEA text (ddmm.mmmm / dddmm.mmmm with
// hemisphere letters), the values a fix's Position is made from.
#pragma once

#include <cstdint>

namespace velmira {

class Text;

// Degrees, minutes and seconds of an absolute angle, as the sentence digits give them.
struct NmeaAngle {
  int16_t Degrees = 0;
  int16_t Minutes = 0;
  double Seconds = 0.0;
  double Radians = 0.0;  // signed by the hemisphere
};

struct NmeaPoint {
  NmeaAngle Latitude;
  NmeaAngle Longitude;
  double Altitude = 0.0;  // above mean sea level, metres
  double Height = 0.0;    // above the ellipsoid: altitude + geoid separation, 0 without one
  int16_t Datum = 1;
};

// Any text may be null (absent field). negativeLetter is 'S' for latitude, 'W' for longitude.
NmeaAngle ReadNmeaAngle(const Text* value, const Text* hemisphere, char negativeLetter);
NmeaPoint ReadNmeaPoint(const Text* latitude, const Text* northSouth, const Text* longitude,
                        const Text* eastWest, const Text* altitude, const Text* separation,
                        int16_t datum);

}  // namespace velmira
