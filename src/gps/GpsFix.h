// A fix as the parser delivers it: fix type, time stamp and position, built from an RMC,
// GLL or GGA sentence. Immutable once built.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "gps/DateTime.h"
#include "gps/NmeaPoint.h"

namespace velmira {

class NmeaSentence;

class GpsFix : public RefObject {
 public:
  static constexpr int32_t NoFix = 0;
  static constexpr int32_t Fix2D = 2;  // RMC or GLL: no altitude
  static constexpr int32_t Fix3D = 3;  // GGA: with altitude

  // Type NoFix unless the sentence is a valid RMC, GLL or GGA.
  GpsFix(NmeaSentence& sentence, int16_t datum);
  // An independent copy (own identity, no lock).
  GpsFix* Copy() const;

  int32_t GetFixType() const { return FixType; }
  const DateTime& GetTimeStamp() const { return Stamp; }
  const FixCoordinates& GetPoint() const { return Point; }
  // A new Position (count 1, the caller's) made from the fix's coordinates.
  Position* NewPosition() const;

 private:
  GpsFix() = default;

  int32_t FixType = NoFix;
  DateTime Stamp;
  FixCoordinates Point;
};

}  // namespace velmira
