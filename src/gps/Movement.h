// Speed, heading and magnetic variation from an RMC or VTG sentence. Immutable once built.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"

namespace velmira {

class NmeaSentence;

class Movement : public RefObject {
 public:
  // Speed units of GetSpeed.
  enum SpeedUnit : int16_t { Knots = 0, MetresPerSecond = 1, KilometresPerHour = 2, MilesPerHour = 3 };

  // Not valid, all values 0, unless the sentence is an RMC or VTG.
  explicit Movement(NmeaSentence& sentence);
  Movement* Copy() const;

  // The speed in the unit; an unknown unit gives 0.0 with "Invalid parameter!".
  double GetSpeed(int16_t unit);
  double GetHeading() const { return Heading; }
  double GetMagneticVariation() const { return Variation; }
  bool IsValid() const { return Valid; }

 private:
  Movement() = default;

  double Speed = 0.0;  // knots, as the sentence gives it
  double Heading = 0.0;
  double Variation = 0.0;
  bool Valid = false;
};

}  // namespace velmira
