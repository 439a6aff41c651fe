// A track written while the parser's events come in: the events go through a TrackBuilder
// into a TrackWriter. Any source of events feeds it, as the JSON Lines output is fed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "TrackBuilder.h"
#include "TrackWriter.h"

namespace cli {

class TrackSink {
 public:
  // `flushEachPoint` writes every point through at once (live sources, records); else the
  // file's buffer decides.
  TrackSink(TrackFormat format, std::FILE* out, bool keepClosed, const std::string& name,
            double gapSeconds, bool flushEachPoint)
      : Writer(format, out, keepClosed, name),
        Builder(gapSeconds, [this, flushEachPoint](const TrackPoint& p) {
          Writer.Add(p);
          if (flushEachPoint) Writer.Flush();
        }) {
    if (keepClosed) Writer.Flush();  // a valid document before the first point
  }

  // Follows one event; the caller still deletes the object.
  void Take(uintptr_t kind, void* object) { Builder.Take(kind, object); }
  // The open epoch's point (unless left out) and the closing text; false when the file
  // refused something.
  bool Finish(bool openEpoch = true) {
    if (openEpoch) Builder.Finish();
    return Writer.Finish();
  }
  long Points() const { return Writer.Points(); }

 private:
  TrackWriter Writer;
  TrackBuilder Builder;
};

}  // namespace cli
