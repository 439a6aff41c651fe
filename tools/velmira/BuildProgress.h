// Progress of a long build on standard error: nothing for the first second, then a bar
// redrawn in place on a terminal, or one line per tenth of the work when standard error is a
// file or a pipe (so logs stay readable). Quiet builds show nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace cli {

class BuildProgress {
 public:
  BuildProgress(bool quiet, std::string what);
  ~BuildProgress();
  BuildProgress(const BuildProgress&) = delete;
  BuildProgress& operator=(const BuildProgress&) = delete;

  void Update(int64_t done, int64_t total);

 private:
  bool Quiet;
  bool Terminal;
  std::string What;
  std::chrono::steady_clock::time_point Start;
  int Shown = -1;  // the last percentage (terminal) or tenth (otherwise) written
};

}  // namespace cli
