// An NMEA log as a receiver would have sent it: each line is due at the time its epoch was
// sent, taken from the time stamps of the log's own sentences and scaled by a speed.
#pragma once

#include <string>
#include <vector>

namespace cli {

class NmeaReplay {
 public:
  // Reads the log; false when it cannot be read.
  bool Load(const std::string& path);
  // Starts the clock: line times count from now, `speed` log seconds per wall-clock second.
  void Start(double wallNow, double speed);

  bool Finished() const { return Next >= Lines.size(); }
  // The next line once it is due at wall time `wallNow` (seconds), else null.
  const std::string* Due(double wallNow);
  // Wall time at which the next line is due; only meaningful before Finished().
  double NextDueAt() const;
  // Log seconds from the first time stamp to the last line handed out.
  double LogClock() const { return Clock; }
  const std::vector<std::string>& Text() const { return Lines; }

 private:
  std::vector<std::string> Lines;
  std::vector<double> LogSeconds;  // per line, from the first time stamp on, never decreasing
  size_t Next = 0;
  double Origin = 0, Speed = 1, Clock = 0;
};

}  // namespace cli
