// GLL (geographic position): latitude, longitude, time of day and status.
#pragma once

#include "frame/RefObject.h"
#include "gps/DateTime.h"
#include "gps/NmeaPoint.h"

namespace velmira {

class NmeaSentence;

class GllRecord : public RefObject {
 public:
  // A sentence of another kind leaves every value at its initial value.
  GllRecord(NmeaSentence& sentence, int16_t datum);

  bool Valid = false;
  DateTime Stamp;  // time only
  FixCoordinates Point;
};

}  // namespace velmira
