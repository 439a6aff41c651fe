// GGA (fix data): fix quality, time of day, latitude, longitude, altitude and geoid
// separation.
#pragma once

#include "frame/RefObject.h"
#include "gps/DateTime.h"
#include "gps/NmeaPoint.h"

namespace velmira {

class NmeaSentence;

class GgaRecord : public RefObject {
 public:
  // A sentence of another kind leaves every value at its initial value.
  GgaRecord(NmeaSentence& sentence, int16_t datum);

  bool Valid = false;
  DateTime Stamp;  // time only
  FixCoordinates Point;
};

}  // namespace velmira
