// VTG (course and speed over ground).
#pragma once

#include "frame/RefObject.h"

namespace velmira {

class NmeaSentence;

class VtgRecord : public RefObject {
 public:
  // A sentence of another kind leaves every value 0 / false.
  explicit VtgRecord(NmeaSentence& sentence);

  bool Valid = false;
  double Speed = 0.0;      // knots
  double Course = 0.0;     // degrees true
  double Variation = 0.0;  // true minus magnetic course, degrees
};

}  // namespace velmira
