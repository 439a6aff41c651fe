// Latitude, longitude and heights read from NMEA text (ddmm.mmmm / dddmm.mmmm with
// hemisphere letters): the coordinates a fix's Position is made from.
#pragma once

#include <cstdint>

#include "geo/Position.h"

namespace velmira {

class Text;

struct NmeaAngle {
  DmsParts Parts;        // of the absolute angle, as the sentence digits give them
  double Radians = 0.0;  // signed by the hemisphere
};

// Any text may be null (absent field). negativeLetter is 'S' for latitude, 'W' for longitude.
NmeaAngle ReadNmeaAngle(const Text* value, const Text* hemisphere, char negativeLetter);
FixCoordinates ReadFixCoordinates(const Text* latitude, const Text* northSouth,
                                  const Text* longitude, const Text* eastWest,
                                  const Text* altitude, const Text* separation, int16_t datum);

}  // namespace velmira
