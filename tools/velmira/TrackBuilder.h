// Turns the events of an NmeaParser into track points: one point per receiver epoch (the
// RMC, GGA and GLL fixes of one time stamp), on WGS 84, with the date of the epoch's RMC (or
// the last one, carried over midnight), the altitude of its GGA, satellites in use and fix
// quality from GGA and GSA, and the dilutions of precision from GSA. A point opens a new
// segment after the receiver said it lost the fix, or after a gap in time.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>

#include "TrackPoint.h"

struct VmGpsFix;
struct VmNmeaSentence;
struct VmQuality;

namespace cli {

class TrackBuilder {
 public:
  using Sink = std::function<void(const TrackPoint&)>;
  TrackBuilder(double gapSeconds, Sink sink) : Gap(gapSeconds), Out(std::move(sink)) {}

  // Follows one parser event (message 1125's kind and object); the caller deletes the object.
  void Take(uintptr_t kind, void* object);
  // Hands on the point of the epoch still open.
  void Finish();
  // The open epoch's point as it stands now, as Finish would hand it on; false when none is.
  bool Peek(TrackPoint& point) const;

 private:
  void OnFix(VmGpsFix* fix);
  void OnSentence(VmNmeaSentence* sentence);
  void OnQuality(VmQuality* quality);
  void Emit();
  // The open epoch's point with its time and segment flag; its day and time in seconds.
  TrackPoint Closed(long& day, double& time) const;
  void FixLost();

  double Gap;
  Sink Out;
  TrackPoint Point;           // the open epoch's point
  bool Open = false;
  double EpochSecond = 0;     // of the day, with milliseconds
  long EpochDay = LONG_MIN;   // days since 1970-01-01 from the epoch's own RMC, else unknown
  long Day = LONG_MIN;        // the day of the last point handed on
  double LastSecond = 0;      // its second of the day
  double LastTime = 0;        // its time in seconds, for gaps
  bool Emitted = false;
  bool Lost = false;          // the next point opens a segment
  bool Fractions = false;     // the receiver gives fractions of seconds
};

}  // namespace cli
