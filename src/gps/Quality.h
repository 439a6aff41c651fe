// Dilution of precision from a GSA sentence. Immutable once built.
#pragma once

#include "frame/RefObject.h"

namespace velmira {

class NmeaSentence;

class Quality : public RefObject {
 public:
  // All values 0 unless the sentence is a GSA; empty fields read as 0.
  explicit Quality(NmeaSentence& sentence);
  Quality* Copy() const;

  double HDOP = 0.0;
  double VDOP = 0.0;
  double PDOP = 0.0;

 private:
  Quality() = default;
};

}  // namespace velmira
