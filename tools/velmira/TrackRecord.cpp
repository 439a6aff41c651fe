#include "TrackRecord.h"

namespace cli {
namespace {

constexpr double GapSeconds = 5;  // as velmira nmea's default

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
  if (Sink) Sink->Take(kind, object);
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
