// Framing, checksums and field splitting of realistic NMEA text.
//   bench_sentences --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "frame/Text.h"
#include "gps/NmeaSentence.h"
#include "gps/SentenceBuffer.h"

namespace {

using velmira::NmeaSentence;
using velmira::SentenceBuffer;

std::string Line(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
  return "$" + body + tail;
}

// One second of a typical receiver's output, repeated with changing times.
std::string Stream(int seconds) {
  std::string text;
  for (int s = 0; s < seconds; ++s) {
    char time[16];
    std::snprintf(time, sizeof time, "%02d%02d%02d.00", s / 3600 % 24, s / 60 % 60, s % 60);
    std::string t = time;
    text += Line("GPRMC," + t + ",A,4807.0381,N,01131.0002,E,022.4,084.4,230394,003.1,W,A");
    text += Line("GPGGA," + t + ",4807.0381,N,01131.0002,E,1,08,0.9,545.4,M,46.9,M,,");
    text += Line("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
    text += Line("GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00");
    text += Line("GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00");
    text += Line("GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00");
    text += Line("GPVTG,084.4,T,087.5,M,022.4,N,041.5,K,A");
    text += Line("GPGLL,4807.0381,N,01131.0002,E," + t + ",A,A");
  }
  return text;
}

const std::string& Input() {
  static const std::string text = Stream(3600);
  return text;
}

// Reader-sized chunks: the serial reader appends at most 50 bytes at a time.
constexpr size_t Chunk = 50;

void FramingAndChecksums(benchmark::State& state) {
  const std::string& text = Input();
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  int64_t sentences = 0;
  for (auto _ : state) {
    SentenceBuffer buffer;
    for (size_t i = 0; i < text.size(); i += Chunk) {
      size_t n = std::min(Chunk, text.size() - i);
      if (buffer.Append(bytes + i, static_cast<int>(n))) {
        while (buffer.FindSentence()) ++sentences;
      }
    }
  }
  benchmark::DoNotOptimize(sentences);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["sentences/s"] = benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
}
BENCHMARK(FramingAndChecksums)->Unit(benchmark::kMillisecond);

void TakeAndSplitEveryField(benchmark::State& state) {
  const std::string& text = Input();
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  int64_t sentences = 0, fields = 0;
  for (auto _ : state) {
    SentenceBuffer buffer;
    for (size_t i = 0; i < text.size(); i += Chunk) {
      size_t n = std::min(Chunk, text.size() - i);
      if (!buffer.Append(bytes + i, static_cast<int>(n))) continue;
      while (buffer.FindSentence()) {
        NmeaSentence* s = buffer.TakeSentence();
        s->GetType();
        int16_t count = s->GetFieldCount();
        for (int16_t f = 1; f <= count; ++f) fields += s->Fields(f)->Length();
        velmira::ReleaseObject(s);
        ++sentences;
      }
    }
  }
  benchmark::DoNotOptimize(fields);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["sentences/s"] = benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kIsRate);
}
BENCHMARK(TakeAndSplitEveryField)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
