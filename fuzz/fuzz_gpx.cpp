// Arbitrary bytes as a GPX file: the reader either refuses them with a message that names the
// input, or gives only points on the globe.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "GpxReader.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckPoints(const cli::TrackSegment& points) {
  for (const cli::TrackPoint& p : points) Check(std::fabs(p.Lat) <= 90 && std::fabs(p.Lon) <= 180);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static char empty = 0;
  // fmemopen refuses a buffer of no bytes.
  std::FILE* in = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : fmemopen(&empty, 1, "rb");
  Check(in != nullptr);
  cli::TrackFile file;
  const std::string problem = cli::GpxReader().Read(in, "input", file);
  std::fclose(in);
  if (!problem.empty()) {
    Check(problem.rfind("input: ", 0) == 0);
    return 0;
  }
  for (const cli::TrackLine& line : file.Lines) {
    for (const cli::TrackSegment& segment : line.Segments) CheckPoints(segment);
  }
  CheckPoints(file.Waypoints);
  return 0;
}
