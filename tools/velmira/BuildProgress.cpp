#include "BuildProgress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace cli {
namespace {

constexpr std::chrono::seconds Silent{1};
constexpr int BarWidth = 40;

}  // namespace

BuildProgress::BuildProgress(bool quiet, std::string what)
    : Quiet(quiet), Terminal(isatty(STDERR_FILENO) != 0), What(std::move(what)),
      Start(std::chrono::steady_clock::now()) {}

BuildProgress::~BuildProgress() {
  if (Terminal && Shown >= 0) std::fputc('\n', stderr);
}

void BuildProgress::Update(int64_t done, int64_t total) {
  if (Quiet || total <= 0 || std::chrono::steady_clock::now() - Start < Silent) return;
  const int percent = static_cast<int>(done * 100 / total);
  if (!Terminal) {
    if (percent / 10 <= Shown) return;
    Shown = percent / 10;
    std::fprintf(stderr, "velmira maplib: %s: %d%%\n", What.c_str(), Shown * 10);
    return;
  }
  if (percent == Shown) return;
  Shown = percent;
  const int filled = percent * BarWidth / 100;
  std::fprintf(stderr, "\r%s [%s%s] %3d%%", What.c_str(), std::string(filled, '#').c_str(),
               std::string(BarWidth - filled, '.').c_str(), percent);
  std::fflush(stderr);
}

}  // namespace cli
