// Sentences per second through NmeaParser_Parse: polled mode (records kept as the latest,
// nothing posted) and event mode (every record and sentence posted to a window whose queue a
// second thread drains and deletes, as an application's message loop would).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/GpsMessages.h"
#include "velmira/velmira.h"

namespace {

using testsupport::DeleteCarried;

// The sample drive log: RMC, VTG, GGA, GSA, GSV groups and GLL, with a few damaged lines.
std::vector<std::u16string> LoadLines() {
  std::ifstream in(VELMIRA_SOURCE_DIR "/examples/drive.nmea", std::ios::binary);
  std::vector<std::u16string> lines;
  std::string line;
  while (std::getline(in, line)) {
    std::u16string wide;
    for (unsigned char c : line) wide.push_back(c);
    wide.push_back(u'\n');  // getline took the LF; the CR is still there
    lines.push_back(std::move(wide));
  }
  return lines;
}

const std::vector<std::u16string>& Lines() {
  static const std::vector<std::u16string> lines = LoadLines();
  return lines;
}

void BM_ParsePolled(benchmark::State& state) {
  const auto& lines = Lines();
  VmNmeaParser* parser = NmeaParser_New();
  NmeaParser_SetNoEvents(parser, 1);
  for (auto _ : state) {
    for (const std::u16string& line : lines) NmeaParser_Parse(parser, line.c_str());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
  NmeaParser_Delete(parser);
}
BENCHMARK(BM_ParsePolled);

// Event mode with the messages taken on the parsing thread between Parse calls, as a
// single-threaded application (or velmira nmea) does.
void BM_ParseEventsSameThread(benchmark::State& state) {
  const auto& lines = Lines();
  VmNmeaParser* parser = NmeaParser_New();
  HWND window = VmWindow_New(nullptr, 0, 0, 0, 0);
  NmeaParser_SetCallbackHWND(parser, window);
  VmMsg m;
  for (auto _ : state) {
    for (const std::u16string& line : lines) {
      NmeaParser_Parse(parser, line.c_str());
      while (VmWindow_GetMessage(window, &m, 0) == 1) DeleteCarried(m);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
  NmeaParser_SetCallbackHWND(parser, nullptr);
  NmeaParser_Delete(parser);
  VmWindow_Delete(window);
}
BENCHMARK(BM_ParseEventsSameThread);

void BM_ParseEvents(benchmark::State& state) {
  const auto& lines = Lines();
  VmNmeaParser* parser = NmeaParser_New();
  HWND window = VmWindow_New(nullptr, 0, 0, 0, 0);
  NmeaParser_SetCallbackHWND(parser, window);

  std::atomic<long> taken{0};
  std::atomic<bool> stop{false};
  std::thread drain([&] {
    VmMsg m;
    while (!stop.load()) {
      if (VmWindow_GetMessage(window, &m, 50) == 1) {
        DeleteCarried(m);
        taken.fetch_add(1, std::memory_order_release);
      }
    }
  });

  // Count the messages one pass posts, so each iteration can wait until all are drained.
  // The second pass is counted: it starts, as every later one does, with the parser state
  // the end of the log leaves behind (a GSV group cut at the end, for instance).
  long perPass = 0;
  {
    HWND counter = VmWindow_New(nullptr, 0, 0, 0, 0);
    NmeaParser_SetCallbackHWND(parser, counter);
    VmMsg m;
    for (int pass = 0; pass < 2; ++pass) {
      perPass = 0;
      for (const std::u16string& line : lines) NmeaParser_Parse(parser, line.c_str());
      while (VmWindow_GetMessage(counter, &m, 0) == 1) {
        DeleteCarried(m);
        ++perPass;
      }
    }
    VmWindow_Delete(counter);
    NmeaParser_SetCallbackHWND(parser, window);
  }

  long expected = 0;
  for (auto _ : state) {
    for (const std::u16string& line : lines) NmeaParser_Parse(parser, line.c_str());
    expected += perPass;
    while (taken.load(std::memory_order_acquire) < expected) std::this_thread::yield();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
  state.counters["messages_per_sentence"] =
      static_cast<double>(perPass) / static_cast<double>(lines.size());

  stop = true;
  drain.join();
  NmeaParser_SetCallbackHWND(parser, nullptr);
  NmeaParser_Delete(parser);
  VmWindow_Delete(window);
}
BENCHMARK(BM_ParseEvents)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
