// How many sentences per second the serial reader takes off a line that never runs dry: a
// pseudo-terminal fed as fast as it accepts data, read through Poll and TakeSentence as the
// parser's reader thread does (without decoding). A real line at 115200 baud carries about
// 190 such sentences per second.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "gps/NmeaSentence.h"
#include "gps/SerialReader.h"
#include "platform/Serial.h"

namespace {

std::string Sentence(const char* body) {
  unsigned sum = 0;
  for (const char* p = body; *p != 0; ++p) sum ^= static_cast<unsigned char>(*p);
  char out[128];
  std::snprintf(out, sizeof out, "$%s*%02X\r\n", body, sum);
  return out;
}

void BM_SerialReaderSentences(benchmark::State& state) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  char name[128];
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
      ::ptsname_r(master, name, sizeof name) != 0) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  platform::SetComDevice(2, name);
  auto reader = velmira::MakeRef<velmira::SerialReader>();
  if (!reader->Open(2, 115200)) {
    state.SkipWithError("open failed");
    return;
  }
  std::string block;
  for (int i = 0; i < 8; ++i) {
    block += Sentence("GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
    block += Sentence("GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    block += Sentence("GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00");
  }
  std::atomic<bool> quit{false};
  std::thread feeder([&] {
    size_t at = 0;
    while (!quit.load()) {
      ssize_t n = ::write(master, block.data() + at, block.size() - at);
      if (n > 0) {
        at = (at + static_cast<size_t>(n)) % block.size();
        continue;
      }
      pollfd p{master, POLLOUT, 0};
      ::poll(&p, 1, 10);
    }
  });
  platform::UniqueHandle stop(platform::CreateEventW(true, false));
  int64_t sentences = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    if (reader->Poll(stop.Get(), 2) == velmira::PollSentence) {
      velmira::NmeaSentence* s = reader->TakeSentence();
      if (s != nullptr) {
        ++sentences;
        velmira::Ref<velmira::Text> text = velmira::Ref<velmira::Text>::Adopt(s->GetSentence());
        bytes += text->Length() + 2;
        velmira::ReleaseObject(s);
      }
    }
  }
  quit = true;
  feeder.join();
  reader->Close();
  ::close(master);
  platform::SetComDevice(2, nullptr);
  state.counters["sentences/s"] = benchmark::Counter(static_cast<double>(sentences),
                                                     benchmark::Counter::kIsRate);
  state.counters["baud_equivalent"] = benchmark::Counter(static_cast<double>(bytes) * 10,
                                                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SerialReaderSentences)->MinTime(2.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
