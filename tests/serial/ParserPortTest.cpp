// The parser on a serial port, end to end: a simulated receiver on a pseudo-terminal, the
// parser's reader thread, and the window messages or polled records an application sees.
// Every wait below ends as soon as its event comes; the limits only catch a hang.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
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

// After 20 quiet read cycles the receiver is lost. A port that was asked for stays open; a
// detected one is let go and searched for anew. An unplugged receiver is lost too.
TEST_F(ParserOnPort, PortStateComesFirstThenLossAndRecoveryOnAnOpenedAndADetectedPort) {
  ReceiverSimulator& receiver = Plug(4800, 2);
  receiver.Start();
  for (bool detected : {false, true}) {
    SCOPED_TRACE(detected ? "detected" : "opened");
    detected ? Enable(0, 0) : Enable(2, 4800);
    ASSERT_EQ(ErrNum(), 0);
    Log.clear();
    ASSERT_TRUE(TakeUntil("$"));
    EXPECT_EQ(Log.front(), "status 1 2 4800") << "the port state comes before anything read";
    const std::vector<std::string> sent = receiver.Sent();
    EXPECT_NE(std::find(sent.begin(), sent.end(), Log.back()), sent.end());
    receiver.StopSending();
    EXPECT_TRUE(TakeUntil("status 0"));
    velmira::ComPort other;
    EXPECT_TRUE(detected ? receiver.WaitForRate(57600, Generous) : !other.Open(2));
    receiver.Start();
    EXPECT_TRUE(TakeUntil("status 1 2 4800"));
    const std::vector<uint32_t> rates = receiver.RatesSeen();
    EXPECT_EQ(std::count(rates.begin(), rates.end(), 57600) > 0, detected);
    NmeaParser_SetPortEnabled(Parser, 0);
    EXPECT_EQ(ErrNum(), 0);
    Posted();
  }
  Enable(2, 4800);
  EXPECT_TRUE(TakeUntil("status 1 2 4800"));
  receiver.Unplug();
  EXPECT_TRUE(TakeUntil("status 0"));
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
}

TEST_F(ParserOnPort, PolledGetsGiveNewCopiesAndAWaitIsMetOnlyByALaterRecord) {
  ReceiverSimulator& receiver = Plug(4800, 2);
  EnablePolled(2, 4800);
  EXPECT_EQ(NmeaParser_GetGpsFix(Parser, 0, 0), nullptr);  // nothing sent yet
  EXPECT_EQ(Error(), "0");
  receiver.Start();
  VmGpsFix* waited = NmeaParser_GetGpsFix(Parser, Generous, 0);
  VmGpsFix *a = NmeaParser_GetGpsFix(Parser, 0, 0), *b = NmeaParser_GetGpsFix(Parser, 0, 0);
  ASSERT_TRUE(waited != nullptr && a != nullptr && b != nullptr);
  EXPECT_NE(a, b) << "each call returns a new copy";
  GpsFix_Delete(a);
  GpsFix_Delete(waited);
  EXPECT_GE(GpsFix_GetFixType(b), 2) << "deleting one copy leaves the others intact";
  GpsFix_Delete(b);
  VmSatellites* sats = NmeaParser_GetSatellites(Parser, Generous);
  ASSERT_NE(sats, nullptr);
  EXPECT_EQ(Satellites_GetCount(sats), 11);
  Satellites_Delete(sats);
  VmMovement* move = NmeaParser_GetMovement(Parser, Generous);
  EXPECT_NE(move, nullptr);
  Movement_Delete(move);
  receiver.StopSending();
  EXPECT_EQ(NmeaParser_GetQuality(Parser, 300), nullptr);
  EXPECT_EQ(Error(), "0");
  VmQuality* kept = NmeaParser_GetQuality(Parser, 0);
  EXPECT_NE(kept, nullptr);
  Quality_Delete(kept);
}

// A waiting Get is met only by the record it waits for: 2D fixes do not end a wait for a 3D
// one, and a wait that timed out on one thread leaves another thread's wait in place (it once
// removed it, and that Get slept through its record).
TEST_F(ParserOnPort, WaitingGetsEndOnlyOnTheirOwnRecord) {
  ReceiverSimulator& receiver = Plug(19200, 2);
  EnablePolled(2, 19200);
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
                            WithChecksum("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1")});
  receiver.Start();
  second.join();
  ASSERT_NE(late.load(), nullptr);
  double pdop = 0;
  Quality_GetPDOP(late.load(), &pdop);
  EXPECT_DOUBLE_EQ(pdop, 2.5);
  Quality_Delete(late.load());
  std::this_thread::sleep_for(std::chrono::milliseconds(SettleMs));  // for a wrongly woken waiter
  EXPECT_EQ(fix.load(), nullptr) << "2D fixes must not end a wait for a 3D fix";
  receiver.SendBytes(Line("GPGGA,225446,4916.45,N,12311.12,W,1,08,0.9,545.4,M,46.9,M,,"));
  fixWaiter.join();
  ASSERT_NE(fix.load(), nullptr);
  EXPECT_EQ(GpsFix_GetFixType(fix) * 100 + GpsFix_GetSecond(fix), 346);
  GpsFix_Delete(fix);
  // The GLL and RMC fixes were dropped, not stored: the latest is the GGA.
  VmGpsFix* latest = NmeaParser_GetGpsFix(Parser, 0, 3);
  ASSERT_NE(latest, nullptr);
  EXPECT_EQ(GpsFix_GetSecond(latest), 46);
  GpsFix_Delete(latest);
}

TEST_F(ParserOnPort, WriteDataSendsLowBytesToAKnownPortOnlyAndLossClearsTheLatestRecords) {
  ReceiverSimulator& receiver = Plug(9600, 3);
  receiver.Start();
  EnablePolled(3, 9600);
  // Every unit's low byte goes out unchanged: a cooked line would turn LF into CR LF.
  std::u16string units(2995, u'\x4124');
  units += u"\r\x0100\x03\xff\n";
  NmeaParser_WriteData(Parser, units.data(), 3000);
  EXPECT_EQ(Error(), "0");
  ASSERT_TRUE(receiver.WaitForWritten(3000, Generous));
  EXPECT_EQ(receiver.Written(), std::string(2995, '$') + std::string("\r\0\x03\xff\n", 5));
  VmGpsFix* fix = NmeaParser_GetGpsFix(Parser, Generous, 0);
  ASSERT_NE(fix, nullptr);
  GpsFix_Delete(fix);
  receiver.StopSending();
  // The loss is reported before the records are cleared, so allow the thread that moment.
  bool cleared = false;
  for (int i = 0; i < Generous / 20 && !cleared; ++i) {
    VmComStatus* status = NmeaParser_GetComStatus(Parser);
    fix = NmeaParser_GetGpsFix(Parser, 0, 0);
    cleared = ComStatus_GetValidNmea(status) == 0 && fix == nullptr;
    ComStatus_Delete(status);
    GpsFix_Delete(fix);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(cleared);
  EXPECT_EQ(NmeaParser_GetMovement(Parser, 0), nullptr);
  NmeaParser_SetPortEnabled(Parser, 0);
  Enable(0, 4800);  // detection: the port is not known, so there is nowhere to write
  NmeaParser_WriteData(Parser, units.data(), 3);
  EXPECT_EQ(Error(), "10006 Autodetect mode not allowed");
  NmeaParser_SetBaudRate(Parser, 9600);
  EXPECT_EQ(Error(), "10006 Autodetect mode not allowed");
}

// Noise, NUL bytes and a 10,000-byte line with no CR LF must neither crash nor stall reading:
// the sentences that follow are all delivered.
TEST_F(ParserOnPort, NoiseNulBytesAndEndlessLinesDoNotStallTheReader) {
  ReceiverSimulator& receiver = Plug(115200, 2);
  std::string noise;
  for (uint32_t i = 0, state = 7; i < 20000; ++i) {
    noise.push_back(static_cast<char>((state = state * 1664525u + 1013904223u) >> 24));
  }
  for (int c = 0; c < 256; ++c) noise.push_back(static_cast<char>(c));
  noise += "$GPGGA," + std::string(10000, '7') + std::string(600, '\0');
  noise += Line(std::string("GPTXT,01,01,02,a\0b", 18)) + "$$$*\r\n*00\r\n";
  const std::vector<std::string> after = {
      WithChecksum("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"),
      WithChecksum("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"), WithChecksum("PVELM,END")};
  receiver.StreamSentences(after);
  receiver.SendBytes(noise);
  receiver.Start();
  Enable(2, 115200);
  ASSERT_TRUE(TakeUntil(after.back()));
  ASSERT_GE(Log.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(Log.end() - 5, Log.end()),
            std::vector<std::string>({"kind 8", after[0], "kind 7", after[1], after[2]}));
}

int CountEntries(const char* folder) {
  DIR* dir = ::opendir(folder);
  int count = 0;
  while (dir != nullptr && ::readdir(dir) != nullptr) ++count;
  if (dir != nullptr) ::closedir(dir);
  return count;
}

// Enabling and disabling over and over leaks no descriptor, thread or port lock, and every
// stop ends the reader thread within its limit: at 115200 with every 250th cycle waiting for
// a fix, so the thread really reads, and during detection, where 9600 is found only in the
// second pass, so the cycles stop it at different stages.
TEST_F(ParserOnPort, EnableDisableCyclesLeakNothingAndEveryStopEndsTheThread) {
  const struct {
    int32_t Rate;
    int16_t Port;
    bool Detect;
    int Cycles, ReadEvery, PauseEvery;
  } cases[] = {{115200, 2, false, 1000, 250, 0}, {9600, 3, true, 100, 0, 10}};
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

// At 115200 baud for a sustained period (VELMIRA_SOAK_SECONDS, 10 by default) every sentence
// put on the line reaches the window, in order and each RMC after its fix and movement, while
// the application's thread queues commands and reads the port state.
TEST_F(SerialThroughput, At115200EverySentenceReachesTheWindowInOrder) {
  const char* soak = std::getenv("VELMIRA_SOAK_SECONDS");
  const int seconds = soak != nullptr && std::atoi(soak) > 0 ? std::atoi(soak) : 10;
  ReceiverSimulator& receiver = Plug(115200, 2);
  Enable(2, 115200);
  ASSERT_EQ(ErrNum(), 0);
  receiver.Start();
  const std::u16string ping = u"$PVELM,PING*00\r\n";
  size_t queued = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (int i = 0; std::chrono::steady_clock::now() < until; ++i) {
    if (i % 20 == 0 && queued < 50 * ping.size()) {
      NmeaParser_WriteData(Parser, ping.c_str(), static_cast<int16_t>(ping.size()));
      queued += ping.size();
      VmComStatus* status = NmeaParser_GetComStatus(Parser);
      EXPECT_EQ(ComStatus_GetComPort(status) * 1000000 + ComStatus_GetBaudRate(status), 2115200);
      ComStatus_Delete(status);
    }
    Take(100);
  }
  receiver.StopSending();
  const std::vector<std::string> sent = receiver.Sent();
  std::vector<std::string> got;
  const auto collect = [&] {
    got.clear();
    for (const std::string& entry : Log) {
      if (entry[0] == '$') got.push_back(entry);
    }
    return got.size();
  };
  ASSERT_GT(collect(), 0u);
  const size_t start = std::find(sent.begin(), sent.end(), got.front()) - sent.begin();
  ASSERT_LT(start, sent.size());
  while (collect() < sent.size() - start && Take(2000)) {
  }
  ASSERT_EQ(got.size(), sent.size() - start);
  const auto [g, w] = std::mismatch(got.begin(), got.end(), sent.begin() + start);
  EXPECT_TRUE(g == got.end()) << "sentence " << g - got.begin() << ": " << *g << " for " << *w;
  for (size_t i = 2; i < Log.size(); ++i) {
    EXPECT_TRUE(!Log[i].starts_with("$GPRMC") || Log[i - 2] + Log[i - 1] == "kind 5kind 7") << i;
  }
  EXPECT_EQ(std::count_if(Log.begin(), Log.end(), [](auto& e) { return e[0] == 's'; }), 1)
      << "found once, never lost";
  EXPECT_EQ(receiver.OverrunBytes(), 0);
  EXPECT_TRUE(receiver.WaitForWritten(queued, Generous));
  std::printf("[ info ] %zu sentences through the parser in %d s at 115200 baud\n", got.size(),
              seconds);
}

}  // namespace
