#include "TrackRecord.h"

#include <unistd.h>

#include <chrono>

namespace cli {
namespace {

constexpr double GapSeconds = 5;  // as velmira nmea's default
// A flushed file survives the program's death, not the machine's: the disk is brought up to
// date this often, so a power cut loses at most this much of the track.
constexpr auto SyncEvery = std::chrono::seconds(1);

}  // namespace

std::string TrackRecord::Open(const std::string& path) {
  Path = path;
  File = std::fopen(path.c_str(), "wb");
  if (File == nullptr) return "cannot write " + path;
  Sink = std::make_unique<TrackSink>(TrackFormat::Gpx, File, true, "velmira view", GapSeconds, false);
  if (std::ferror(File)) return "cannot write " + path;
  return {};
}

void TrackRecord::Take(uintptr_t kind, void* object) {
  if (!Sink) return;
  Sink->Take(kind, object);
  const auto now = std::chrono::steady_clock::now();
  if (now - LastSync >= SyncEvery) {
    fdatasync(fileno(File));
    LastSync = now;
  }
}

std::string TrackRecord::Close() {
  if (File == nullptr) return {};
  const bool written = Sink->Finish();
  Sink.reset();
  const bool closed = std::fclose(File) == 0;
  File = nullptr;
  return written && closed ? std::string() : "cannot write " + Path;
}

}  // namespace cli
