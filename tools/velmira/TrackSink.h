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
  // `flushEachPoint` writes every point through at once (live sources); else the file's
  // buffer decides. A sink that keeps its document closed writes after every event, the
  // point of the epoch still open included.
  TrackSink(TrackFormat format, std::FILE* out, bool keepClosed, const std::string& name,
            double gapSeconds, bool flushEachPoint)
      : KeepClosed(keepClosed),
        Writer(format, out, keepClosed, name),
        Builder(gapSeconds, [this, flushEachPoint](const TrackPoint& p) {
          Writer.Add(p);
          if (flushEachPoint) Writer.Flush();
        }) {
    if (keepClosed) Writer.Flush();  // a valid document before the first point
  }

  // Follows one event; the caller still deletes the object.
  void Take(uintptr_t kind, void* object) {
    Builder.Take(kind, object);
    TrackPoint open;
    if (KeepClosed) Writer.Flush(Builder.Peek(open) ? &open : nullptr);
  }
  // The open epoch's point (unless left out) and the closing text; false when the file
  // refused something.
  bool Finish(bool openEpoch = true) {
    if (openEpoch) Builder.Finish();
    return Writer.Finish();
  }
  long Points() const { return Writer.Points(); }

 private:
  bool KeepClosed;
  TrackWriter Writer;
  TrackBuilder Builder;
};

}  // namespace cli
