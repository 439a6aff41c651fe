// The live track of velmira view recorded into a GPX file that is a complete document after
// every event of the parser: the closing tags, and the point of the epoch still coming in, are
// written after the finished points and overwritten by what follows.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "TrackSink.h"

namespace cli {

class TrackRecord {
 public:
  TrackRecord() = default;
  TrackRecord(const TrackRecord&) = delete;
  TrackRecord& operator=(const TrackRecord&) = delete;
  ~TrackRecord() { Close(); }

  // Starts the file (replacing one of that name); the problem, else empty.
  std::string Open(const std::string& path);
  // Follows one parser event; the caller still deletes the object.
  void Take(uintptr_t kind, void* object);
  // Writes the last point and closes the file; the problem, else empty.
  std::string Close();

 private:
  std::string Path;
  std::FILE* File = nullptr;
  std::unique_ptr<TrackSink> Sink;
  std::chrono::steady_clock::time_point LastSync{};
};

}  // namespace cli
