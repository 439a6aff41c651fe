// The parser on a serial port, end to end: a simulated receiver on a pseudo-terminal, the
// parser's reader thread, and the window messages or polled records an application sees.
// Every wait below ends as soon as its event comes; the limits only catch a hang.
#include <malloc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "gps/ComPort.h"
#include "support/GpsMessages.h"
#include "support/ReceiverSimulator.h"
#include "velmira/velmira.h"

namespace {

using namespace testsupport;
using velmira::test::ReceiverSimulator;
using velmira::test::WithChecksum;

constexpr int32_t Generous = 15000;  // ms
// Time for a Get started on another thread to install its waiter before the data it waits
// for is sent. Only ordering depends on it, never a result about speed.
constexpr int SettleMs = 500;

// The parser's port is freed before the receivers go (bases are destroyed in reverse).
struct ParserOnPort : ::testing::Test, velmira::test::IsolatedComPorts, ParserWindow {
  void EnablePolled(int16_t port, int32_t rate) {
    NmeaParser_SetNoEvents(Parser, 1);
    Enable(port, rate);
    ASSERT_EQ(ErrNum(), 0);
  }
  // Takes one message (false on time-out) into the log: a sentence as its text, a port state
  // as "status <valid> <port> <rate>", any other record as "kind <n>".
  bool Take(int32_t waitMs) {
    VmMsg m;
    if (VmWindow_GetMessage(Window, &m, waitMs) != 1) return false;
    auto* status = reinterpret_cast<VmComStatus*>(m.lParam);
    auto* sentence = reinterpret_cast<VmNmeaSentence*>(m.lParam);
    Log.push_back(m.wParam == 1   ? Narrow(NmeaSentence_GetSentence(sentence, nullptr))
                  : m.wParam != 9 ? "kind " + std::to_string(m.wParam)
                                  : "status " + std::to_string(ComStatus_GetValidNmea(status)) +
                                        " " + std::to_string(ComStatus_GetComPort(status)) + " " +
                                        std::to_string(ComStatus_GetBaudRate(status)));
    DeleteCarried(m);
    return true;
  }
  // Takes messages until the last one taken starts with `prefix`; false on a time-out.
  bool TakeUntil(const std::string& prefix) {
    while (Take(Generous)) {
      if (Log.back().starts_with(prefix)) return true;
    }
    return false;
  }
  std::vector<std::string> Log;
};
using SerialThroughput = ParserOnPort;

// Detection finds a 9600 receiver only in the second pass over the rates, after 4800 and 57600,
// and stops there; the port state comes first. After 20 quiet read cycles the receiver is lost; a
// detected one is let go and searched for anew. (A port that was asked for stays open: see the
// throughput run.)
TEST_F(ParserOnPort, DetectionOrderPortStateFirstThenLossAndDetectionAnew) {
  ReceiverSimulator& receiver = Plug(9600, 5);
  receiver.Start();
  Enable(0, 0);
  ASSERT_EQ(ErrNum(), 0);
  ASSERT_TRUE(TakeUntil("$"));
  EXPECT_EQ(Log.front(), "status 1 5 9600") << "the port state comes before anything read";
  EXPECT_TRUE(receiver.SetInOrder({4800, 57600, 9600}));
  EXPECT_FALSE(receiver.SetInOrder({9600, 19200}));
  const std::vector<std::string> sent = receiver.Sent();
  EXPECT_NE(std::find(sent.begin(), sent.end(), Log.back()), sent.end());
  receiver.StopSending();
  EXPECT_TRUE(TakeUntil("status 0"));
  EXPECT_TRUE(receiver.WaitForRate(19200, Generous)) << "searched for anew, past 9600";
  receiver.Start();
  EXPECT_TRUE(TakeUntil("status 1 5 9600"));
}

TEST_F(ParserOnPort, OpenRefusalsCarryThePortErrorAndAnEnabledPortRefusesSettings) {
  ReceiverSimulator& receiver = Plug(4800, 2);
  VmNmeaParser* holder = NmeaParser_New();
  NmeaParser_SetComPort(holder, 2);
  NmeaParser_SetPortEnabled(holder, 1);
  ASSERT_EQ(Error_ErrNum(NmeaParser_GetErrHandle(holder)), 0);
  Map(4, "/etc/hostname/not-a-folder");
  const std::pair<int16_t, const char*> refusals[] = {
      {2, "10007 Comm port in use!"}, {6, "10007 Comm port does not exist"},
      {4, "3 Could not open comm port!"}};  // the platform's "path not found"
  for (auto [port, error] : refusals) {
    Enable(port, 4800);
    EXPECT_EQ(Error(), error);
  }
  NmeaParser_Delete(holder);  // stops its thread and frees the port
  Enable(2, 4800);
  ASSERT_EQ(Error(), "0");
  const std::pair<std::function<void()>, const char*> whileEnabled[] = {
      {[&] { Parse(Line("GPGLL,4916.45,N,12311.12,W,225444,A,A")); },
       "10006 Port must not be enabled!"},
      {[&] { NmeaParser_SetComPort(Parser, 3); }, "10006 Port must not be enabled!"},
      {[&] { NmeaParser_SetNoEvents(Parser, 1); }, "10006 Port must not be enabled!"},
      {[&] { NmeaParser_GetGpsFix(Parser, 0, 0); }, "10006 NoEvents must be set!"},
      {[&] { NmeaParser_SetBaudRate(Parser, 57600); }, "0"},  // a known port may change rate
      {[&] { NmeaParser_SetPortEnabled(Parser, 1); }, "0"}};  // enabling twice does nothing
  for (const auto& [call, error] : whileEnabled) {
    call();
    EXPECT_EQ(Error(), error);
  }
  // The line is 8N1 and raw, without flow control, at any rate the termios table has or lacks.
  velmira::test::LineSettings line;
  ASSERT_TRUE(receiver.ReadLineSettings(&line));
  EXPECT_EQ(line.Rate, 57600u);
  NmeaParser_SetBaudRate(Parser, 14400);
  ASSERT_TRUE(receiver.ReadLineSettings(&line));
  EXPECT_EQ(line.Rate, 14400u);
  EXPECT_EQ(line.DataBits * 100 + line.Parity * 10 + line.TwoStopBits, 800);
  EXPECT_EQ(line.NotRaw, "");
  for (int i = 0; i < 2; ++i) {  // and disabling twice neither
    NmeaParser_SetPortEnabled(Parser, 0);
    EXPECT_EQ(Error(), "0");
  }
  Enable(0, 4800);  // detection: the port is not known, so there is nowhere to write
  NmeaParser_WriteData(Parser, u"x", 1);
  EXPECT_EQ(Error(), "10006 Autodetect mode not allowed");
  NmeaParser_SetBaudRate(Parser, 9600);
  EXPECT_EQ(Error(), "10006 Autodetect mode not allowed");
}

// Polled Gets hand out new copies of the latest records. A waiting Get is met only by a later
// record of its own kind: 2D fixes neither end a wait for a 3D one nor stay as the latest, and
// a wait that timed out on one thread leaves another thread's wait in place (it once removed
// it, and that Get slept through its record). A receiver gone quiet clears the records.
TEST_F(ParserOnPort, PolledGetsCopyTheLatestWaitsEndOnlyOnTheirOwnLaterRecordAndLossClears) {
  ReceiverSimulator& receiver = Plug(19200, 2);
  EnablePolled(2, 19200);
  EXPECT_EQ(NmeaParser_GetGpsFix(Parser, 0, 0), nullptr);  // nothing sent yet
  EXPECT_EQ(Error(), "0");
  // Every unit's low byte goes out unchanged: a cooked line would turn LF into CR LF.
  std::u16string units(2995, u'\x4124');
  units += u"\r\x0100\x03\xff\n";
  NmeaParser_WriteData(Parser, units.data(), 3000);
  EXPECT_EQ(Error(), "0");
  ASSERT_TRUE(receiver.WaitForWritten(3000, Generous));
  EXPECT_EQ(receiver.Written(), std::string(2995, '$') + std::string("\r\0\x03\xff\n", 5));

  std::atomic<VmGpsFix*> fix{nullptr};
  std::atomic<VmQuality*> early{nullptr}, late{nullptr};
  std::thread fixWaiter([&] { fix = NmeaParser_GetGpsFix(Parser, Generous, 3); });
  std::thread first([&] { early = NmeaParser_GetQuality(Parser, SettleMs); });
  std::this_thread::sleep_for(std::chrono::milliseconds(SettleMs / 5));
  std::thread second([&] { late = NmeaParser_GetQuality(Parser, Generous); });
  first.join();  // timed out: nothing was sent
  EXPECT_EQ(early.load(), nullptr);
  receiver.StreamSentences({WithChecksum("GPGLL,4916.45,N,12311.12,W,225444,A,A"),
                            WithChecksum("GPRMC,225445,A,4916.45,N,12311.12,W,0.5,54.7,191194,,"),
                            WithChecksum("GPGSV,1,1,01,05,40,083,41"),
                            WithChecksum("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1")});
  receiver.Start();
  second.join();
  ASSERT_NE(late.load(), nullptr);
  Quality_Delete(late.load());
  VmQuality *a = NmeaParser_GetQuality(Parser, 0), *b = NmeaParser_GetQuality(Parser, 0);
  ASSERT_TRUE(a != nullptr && b != nullptr && a != b) << "each call returns a new copy";
  Quality_Delete(a);
  VmMovement* move = NmeaParser_GetMovement(Parser, 0);
  VmSatellites* sats = NmeaParser_GetSatellites(Parser, 0);
  double pdop = 0, heading = 0;
  Quality_GetPDOP(b, &pdop);  // deleting one copy leaves the others intact
  Movement_GetHeading(move, &heading);
  EXPECT_EQ(std::vector<double>({pdop, heading, 1.0 * Satellites_GetCount(sats)}),
            std::vector<double>({2.5, 54.7, 1}));
  Quality_Delete(b);
  Movement_Delete(move);
  Satellites_Delete(sats);
  // Also time for a wrongly woken fix waiter to show.
  EXPECT_EQ(NmeaParser_GetQuality(Parser, SettleMs), nullptr) << "the kept one does not count";
  EXPECT_EQ(fix.load(), nullptr) << "2D fixes must not end a wait for a 3D fix";
  EXPECT_EQ(NmeaParser_GetGpsFix(Parser, 0, 3), nullptr) << "nor stay as the latest";
  receiver.SendBytes(Line("GPGGA,225446,4916.45,N,12311.12,W,1,08,0.9,545.4,M,46.9,M,,"));
  fixWaiter.join();
  ASSERT_NE(fix.load(), nullptr);
  EXPECT_EQ(GpsFix_GetFixType(fix) * 100 + GpsFix_GetSecond(fix), 346);
  GpsFix_Delete(fix);
  // The loss is reported before the records are cleared, so allow the thread that moment.
  bool cleared = false;
  for (int i = 0; i < Generous / 20 && !cleared; ++i) {
    VmComStatus* status = NmeaParser_GetComStatus(Parser);
    VmGpsFix* kept = NmeaParser_GetGpsFix(Parser, 0, 0);
    cleared = ComStatus_GetValidNmea(status) == 0 && kept == nullptr;
    ComStatus_Delete(status);
    GpsFix_Delete(kept);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(cleared);
  EXPECT_EQ(NmeaParser_GetMovement(Parser, 0), nullptr);
}

auto CountEntries(const char* folder) {
  return std::distance(std::filesystem::directory_iterator(folder), {});
}

// Enabling and disabling over and over leaks no descriptor, thread or port lock, and every
// stop ends the reader thread within its limit: at 115200 with every 250th cycle waiting for
// a fix, so the thread really reads, and during detection, where 9600 is found only in the
// second pass, so the cycles stop it at different stages.
TEST_F(ParserOnPort, EnableDisableCyclesLeakNothingAndEveryStopEndsTheThread) {
  const struct { int32_t Rate; int16_t Port; bool Detect; int Cycles, ReadEvery, PauseEvery; }
      cases[] = {{115200, 2, false, 1000, 250, 0}, {9600, 3, true, 100, 0, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Rate);
    Plug(c.Rate, c.Port).Start();
    NmeaParser_SetNoEvents(Parser, 1);
    NmeaParser_SetComPort(Parser, c.Detect ? 0 : c.Port);
    NmeaParser_SetBaudRate(Parser, c.Detect ? 0 : c.Rate);
    const int fds = CountEntries("/proc/self/fd"), threads = CountEntries("/proc/self/task");
    for (int cycle = 0; cycle < c.Cycles; ++cycle) {
      NmeaParser_SetPortEnabled(Parser, 1);
      ASSERT_EQ(Error(), "0") << "cycle " << cycle;
      if (c.ReadEvery > 0 && cycle % c.ReadEvery == 0) {
        VmGpsFix* fix = NmeaParser_GetGpsFix(Parser, Generous, 0);
        EXPECT_NE(fix, nullptr) << "cycle " << cycle;
        GpsFix_Delete(fix);
      }
      if (c.PauseEvery > 0 && cycle % c.PauseEvery == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(cycle));  // into detection
      }
      NmeaParser_SetPortEnabled(Parser, 0);
      ASSERT_EQ(Error(), "0") << "cycle " << cycle;
    }
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
    // Threads end a moment after they signal their handle; give them that moment.
    for (int i = 0; i < 1000 && CountEntries("/proc/self/task") > threads; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_LE(CountEntries("/proc/self/task"), threads);
    velmira::ComPort other;
    EXPECT_TRUE(other.Open(c.Port)) << "the port is still held";
  }
}

// Sentence `n` of the throughput stream: a fix (GGA), a fix with movement (RMC) or a proprietary
// sentence, each carrying n in its time, so that a lost, repeated or reordered sentence shows.
std::string Numbered(int64_t n) {
  char time[24];
  std::snprintf(time, sizeof time, "%06lld.%02lld", static_cast<long long>(n / 100 % 1000000),
                static_cast<long long>(n % 100));
  const std::string t = time;
  return WithChecksum(
      n % 3 == 0   ? "GPGGA," + t + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"
      : n % 3 == 1 ? "GPRMC," + t + ",A,4807.038,N,01131.000,E,022.4,084.4,230394,,"
                   : "PVELM,SOAK," + t);
}

size_t HeapInUse() {
  const struct mallinfo2 m = ::mallinfo2();
  return m.uordblks + m.hblkhd;  // allocated from the arenas, and mapped separately
}

// At 115200 baud for a sustained period (VELMIRA_SOAK_SECONDS, 10 by default; the Release soak
// runs a minute), after noise, NUL bytes and a 10,000-byte line without CR LF (which must
// neither crash nor stall the reader), every sentence put on the line reaches the window in order
// (the records come as from Parse: tests/gps), while the application's thread queues commands
// and reads the port state. Nothing sent or received is kept, so the heap in use, the library's
// working set, must not grow after the first sixth of the run.
TEST_F(SerialThroughput, At115200AfterHostileBytesEverySentenceArrivesInOrderAndTheHeapStaysFlat) {
  const char* soak = std::getenv("VELMIRA_SOAK_SECONDS");
  const int seconds = soak != nullptr && std::atoi(soak) > 0 ? std::atoi(soak) : 10;
  // Queues keep the largest capacity they needed (a few thousand messages if this thread is
  // held up for seconds); a leak of one object per sentence exceeds it within a minute.
  constexpr size_t AllowedGrowth = 256 * 1024;
  ReceiverSimulator& receiver = Plug(115200, 2);
  receiver.StreamGenerated(Numbered);
  std::string noise;
  for (uint32_t i = 0, state = 7; i < 20000; ++i) {
    noise.push_back(static_cast<char>((state = state * 1664525u + 1013904223u) >> 24));
  }
  for (int c = 0; c < 256; ++c) noise.push_back(static_cast<char>(c));
  noise += "$GPGGA," + std::string(10000, '7') + std::string(600, '\0');
  receiver.SendBytes(noise + Line(std::string("GPTXT,01,01,02,a\0b", 18)) + "$$$*\r\n*00\r\n");
  Enable(2, 115200);
  ASSERT_EQ(ErrNum(), 0);
  receiver.Start();
  int64_t received = 0, wrong = 0;
  // Takes a message; a sentence is checked against the stream (the one with a NUL was noise),
  // and only port states stay in the log.
  auto takeChecked = [&](int32_t waitMs) {
    if (!Take(waitMs)) return false;
    const std::string& e = Log.back();
    if (e[0] == '$' && e.find('\0') == std::string::npos && e != Numbered(received++) &&
        wrong++ < 5) {
      ADD_FAILURE() << "sentence " << received - 1 << " is " << e;
    }
    if (e[0] != 's') Log.pop_back();
    return true;
  };
  const std::u16string ping = u"$PVELM,PING*00\r\n";
  size_t queued = 0, heapAfterWarmUp = 0;
  const auto start = std::chrono::steady_clock::now();
  const auto warm = start + std::chrono::milliseconds(seconds * 1000) / 6;
  for (int i = 0; std::chrono::steady_clock::now() < start + std::chrono::seconds(seconds); ++i) {
    if (i % 20 == 0 && queued < 50 * ping.size()) {
      NmeaParser_WriteData(Parser, ping.c_str(), static_cast<int16_t>(ping.size()));
      queued += ping.size();
      VmComStatus* status = NmeaParser_GetComStatus(Parser);
      EXPECT_EQ(ComStatus_GetComPort(status) * 1000000 + ComStatus_GetBaudRate(status), 2115200);
      ComStatus_Delete(status);
    }
    takeChecked(100);
    if (heapAfterWarmUp == 0 && received > 0 && std::chrono::steady_clock::now() >= warm) {
      heapAfterWarmUp = HeapInUse();
    }
  }
  receiver.StopSending();
  while (takeChecked(2000)) {  // the loss comes only after 20 quiet cycles of 200 ms
  }
  const size_t heapAtEnd = HeapInUse();
  EXPECT_EQ(received, receiver.SentCount());
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(Log, std::vector<std::string>{"status 1 2 115200"}) << "found once, never lost";
  EXPECT_LE(heapAtEnd, heapAfterWarmUp + AllowedGrowth);
  EXPECT_EQ(receiver.OverrunBytes(), 0);
  EXPECT_TRUE(receiver.WaitForWritten(queued, Generous));
  // The port asked for stays open through a loss, not detected anew; unplugging is a loss too.
  ASSERT_TRUE(TakeUntil("status 0"));
  receiver.Start();
  EXPECT_TRUE(TakeUntil("status 1 2 115200"));
  const std::vector<uint32_t> rates = receiver.RatesSeen();
  EXPECT_EQ(std::count(rates.begin(), rates.end(), 4800u), 0) << "detection ran";
  receiver.Unplug();
  EXPECT_TRUE(TakeUntil("status 0"));
  std::printf("[ info ] %lld sentences in %d s at 115200 baud; heap in use %zu KiB after the "
              "warm-up, %zu KiB at the end\n",
              static_cast<long long>(received), seconds, heapAfterWarmUp / 1024, heapAtEnd / 1024);
}

}  // namespace
