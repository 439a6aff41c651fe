// RMC (recommended minimum data): validity, speed, course, magnetic variation, date and
// time, latitude and longitude.
#pragma once

#include "frame/RefObject.h"
#include "gps/DateTime.h"
#include "gps/NmeaPoint.h"

namespace velmira {

class NmeaSentence;

class RmcRecord : public RefObject {
 public:
  // A sentence of another kind leaves every value at its initial value.
  RmcRecord(NmeaSentence& sentence, int16_t datum);

  bool Valid = false;
  double Speed = 0.0;      // knots
  double Course = 0.0;     // degrees true
  double Variation = 0.0;  // degrees, west negative
  DateTime Stamp;
  FixCoordinates Point;
};

}  // namespace velmira
