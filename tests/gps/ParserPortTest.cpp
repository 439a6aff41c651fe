// The parser on a serial port, end to end: a simulated receiver on a pseudo-terminal, the
// parser's reader thread, and the window messages or polled records an application sees.
// Every wait below ends as soon as its event comes; the limits only catch a hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/GpsMessages.h"
#include "support/ReceiverSimulator.h"
#include "velmira/velmira.h"

namespace {

using testsupport::DeleteAll;
using testsupport::DeleteCarried;
using testsupport::Drain;
using testsupport::Kinds;
using testsupport::WaitForKind;
using velmira::test::IsolatedComPorts;
using velmira::test::ReceiverSimulator;
using velmira::test::WithChecksum;

constexpr int32_t Generous = 15000;  // ms
// Time for a Get started on another thread to install its waiter before the data it waits
// for is sent. Only ordering depends on it, never a result about speed.
constexpr int SettleMs = 500;

std::string Narrow(BSTR s) {
  std::string out;
  for (uint32_t i = 0; i < SysStringLen(s); ++i) out.push_back(static_cast<char>(s[i]));
  return out;
}

std::string SentenceText(const VmMsg& m) {
  return Narrow(NmeaSentence_GetSentence(reinterpret_cast<VmNmeaSentence*>(m.lParam), nullptr));
}

class ParserOnPort : public ::testing::Test {
 protected:
  void SetUp() override {
    Parser = NmeaParser_New();
    Window = VmWindow_New(nullptr, 0, 0, 1, 1);
    NmeaParser_SetCallbackHWND(Parser, Window);
  }
  void TearDown() override {
    NmeaParser_Delete(Parser);  // stops the thread if a test left it running
    NmeaParser_SetCallbackHWND(nullptr, nullptr);
    DeleteAll(Drain(Window));
    VmWindow_Delete(Window);
  }
  // A receiver at `rate` plugged in as COM`port`; nothing else answers on COM1-COM8.
  ReceiverSimulator& Plug(int32_t rate, int port) {
    Receivers.emplace_back(std::make_unique<ReceiverSimulator>(rate));
    ReceiverSimulator& r = *Receivers.back();
    EXPECT_TRUE(r.Ready());
    Ports.Map(port, r.DevicePath());
    return r;
  }
  void Use(int16_t port, int32_t rate) {
    NmeaParser_SetComPort(Parser, port);
    NmeaParser_SetBaudRate(Parser, rate);
    ASSERT_EQ(ErrNum(), 0);
  }
  int16_t ErrNum() { return Error_ErrNum(NmeaParser_GetErrHandle(Parser)); }
  std::string ErrDesc() { return Narrow(Error_ErrDesc(NmeaParser_GetErrHandle(Parser), nullptr)); }

  IsolatedComPorts Ports;
  std::vector<std::unique_ptr<ReceiverSimulator>> Receivers;
  VmNmeaParser* Parser = nullptr;
  HWND Window = nullptr;
};

TEST_F(ParserOnPort, PortRmcPostsFixMovementSentenceInThatOrder) {
  ReceiverSimulator& receiver = Plug(38400, 3);
  Use(3, 38400);
  NmeaParser_SetPortEnabled(Parser, 1);
  ASSERT_EQ(ErrNum(), 0);
  receiver.Start();
  std::vector<VmMsg> seen;
  VmMsg m;
  // Collect until two whole RMC sentences have come through.
  int rmcs = 0;
  while (rmcs < 2 && VmWindow_GetMessage(Window, &m, Generous) == 1) {
    seen.push_back(m);
    if (m.wParam == 1 && SentenceText(m).compare(3, 3, "RMC") == 0) ++rmcs;
  }
  NmeaParser_SetPortEnabled(Parser, 0);
  ASSERT_EQ(rmcs, 2);
  size_t last = seen.size() - 1;  // the second RMC's own message
  ASSERT_GE(last, 2u);
  EXPECT_EQ(seen[last - 2].wParam, 5u);
  EXPECT_EQ(seen[last - 1].wParam, 7u);
  EXPECT_EQ(GpsFix_GetFixType(reinterpret_cast<VmGpsFix*>(seen[last - 2].lParam)), 2);
  EXPECT_EQ(GpsFix_GetYear(reinterpret_cast<VmGpsFix*>(seen[last - 2].lParam)), 1994);
  DeleteAll(seen);
}

TEST_F(ParserOnPort, LossPostsInvalidStatusAndDetectionFindsThePortAgain) {
  ReceiverSimulator& receiver = Plug(4800, 2);
  receiver.Start();
  Use(0, 0);
  NmeaParser_SetPortEnabled(Parser, 1);
  VmMsg found = WaitForKind(Window, 9, Generous);
  ASSERT_EQ(found.wParam, 9u);
  DeleteCarried(found);
  VmMsg fix = WaitForKind(Window, 5, Generous);
  ASSERT_EQ(fix.wParam, 5u);
  DeleteCarried(fix);

  receiver.StopSending();
  VmMsg lost = WaitForKind(Window, 9, Generous);  // after 20 quiet read cycles
  ASSERT_EQ(lost.wParam, 9u);
  EXPECT_EQ(ComStatus_GetValidNmea(reinterpret_cast<VmComStatus*>(lost.lParam)), 0);
  DeleteCarried(lost);

  receiver.ResumeSending();
  VmMsg again = WaitForKind(Window, 9, Generous);  // the detected port was closed and found anew
  ASSERT_EQ(again.wParam, 9u);
  auto* status = reinterpret_cast<VmComStatus*>(again.lParam);
  EXPECT_EQ(ComStatus_GetValidNmea(status), 1);
  EXPECT_EQ(ComStatus_GetComPort(status), 2);
  DeleteCarried(again);
  NmeaParser_SetPortEnabled(Parser, 0);
  EXPECT_EQ(ErrNum(), 0);
}

TEST_F(ParserOnPort, PolledGetWithTimeOutZeroAndWaitingCopies) {
  ReceiverSimulator& receiver = Plug(4800, 2);
  Use(2, 4800);
  NmeaParser_SetNoEvents(Parser, 1);
  NmeaParser_SetPortEnabled(Parser, 1);
  ASSERT_EQ(ErrNum(), 0);
  EXPECT_EQ(NmeaParser_GetGpsFix(Parser, 0, 0), nullptr);  // nothing sent yet
  EXPECT_EQ(ErrNum(), 0);

  receiver.Start();
  VmGpsFix* waited = NmeaParser_GetGpsFix(Parser, Generous, 0);
  ASSERT_NE(waited, nullptr);
  VmGpsFix* a = NmeaParser_GetGpsFix(Parser, 0, 0);
  VmGpsFix* b = NmeaParser_GetGpsFix(Parser, 0, 0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
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
  ASSERT_NE(move, nullptr);
  Movement_Delete(move);

  // A wait is satisfied only by a record that arrives after the call.
  receiver.StopSending();
  EXPECT_EQ(NmeaParser_GetQuality(Parser, 300), nullptr);
  EXPECT_EQ(ErrNum(), 0);
  VmQuality* kept = NmeaParser_GetQuality(Parser, 0);
  EXPECT_NE(kept, nullptr);
  Quality_Delete(kept);
}

TEST_F(ParserOnPort, MinimumFixTypeThreeIgnoresGllAndRmcUntilGga) {
  ReceiverSimulator& receiver = Plug(19200, 2);
  Use(2, 19200);
  NmeaParser_SetNoEvents(Parser, 1);
  NmeaParser_SetPortEnabled(Parser, 1);
  ASSERT_EQ(ErrNum(), 0);

  std::atomic<VmGpsFix*> result{nullptr};
  std::atomic<bool> returned{false};
  std::thread waiter([&] {
    result = NmeaParser_GetGpsFix(Parser, Generous, 3);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(SettleMs));
  receiver.StreamSentences({WithChecksum("GPGLL,4916.45,N,12311.12,W,225444,A,A"),
                            WithChecksum("GPRMC,225445,A,4916.45,N,12311.12,W,0.5,54.7,191194,,")},
                           false);
  receiver.Start();
  ASSERT_TRUE(receiver.WaitUntilDrained(Generous));
  std::this_thread::sleep_for(std::chrono::milliseconds(SettleMs));  // let the thread decode them
  EXPECT_FALSE(returned) << "2D fixes must not end a wait for a 3D fix";

  receiver.SendBytes(
      WithChecksum("GPGGA,225446,4916.45,N,12311.12,W,1,08,0.9,545.4,M,46.9,M,,") + "\r\n");
  waiter.join();
  VmGpsFix* fix = result.load();
  ASSERT_NE(fix, nullptr);
  EXPECT_EQ(GpsFix_GetFixType(fix), 3);
  EXPECT_EQ(GpsFix_GetSecond(fix), 46);
  GpsFix_Delete(fix);
  // The GLL and RMC fixes were dropped, not stored: the latest is the GGA.
  VmGpsFix* latest = NmeaParser_GetGpsFix(Parser, 0, 3);
  ASSERT_NE(latest, nullptr);
  EXPECT_EQ(GpsFix_GetFixType(latest), 3);
  GpsFix_Delete(latest);
}

// Regression: an earlier waiting call that timed out removed the waiter of a later call on
// another thread, which then slept through the record it was waiting for.
TEST_F(ParserOnPort, TimedOutGetLeavesTheWaiterOfALaterGetInPlace) {
  ReceiverSimulator& receiver = Plug(4800, 2);
  Use(2, 4800);
  NmeaParser_SetNoEvents(Parser, 1);
  NmeaParser_SetPortEnabled(Parser, 1);
  ASSERT_EQ(ErrNum(), 0);
  std::atomic<VmQuality*> early{nullptr};
  std::atomic<VmQuality*> late{nullptr};
  std::thread first([&] { early = NmeaParser_GetQuality(Parser, SettleMs); });
  std::this_thread::sleep_for(std::chrono::milliseconds(SettleMs / 5));
  std::thread second([&] { late = NmeaParser_GetQuality(Parser, Generous); });
  first.join();  // timed out: nothing was sent
  EXPECT_EQ(early.load(), nullptr);
  receiver.StreamSentences({WithChecksum("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1")}, false);
  receiver.Start();
  second.join();
  ASSERT_NE(late.load(), nullptr);
  double pdop = 0;
  Quality_GetPDOP(late.load(), &pdop);
  EXPECT_DOUBLE_EQ(pdop, 2.5);
  Quality_Delete(late.load());
}

TEST_F(ParserOnPort, WriteDataQueuesCommandsOnlyForAKnownPortAndRate) {
  ReceiverSimulator& receiver = Plug(4800, 2);
  Use(2, 4800);
  NmeaParser_SetPortEnabled(Parser, 1);
  ASSERT_EQ(ErrNum(), 0);
  receiver.Start();
  const std::u16string command = u"$PSRF103,00,01,00,01*25\r\n";
  NmeaParser_WriteData(Parser, command.c_str(), static_cast<int16_t>(command.size()));
  EXPECT_EQ(ErrNum(), 0);
  ASSERT_TRUE(receiver.WaitForWritten(command.size(), Generous));
  EXPECT_EQ(receiver.Written(), "$PSRF103,00,01,00,01*25\r\n");
  NmeaParser_SetPortEnabled(Parser, 0);

  Use(0, 4800);  // detection: the port is not known, so there is nowhere to write
  NmeaParser_SetPortEnabled(Parser, 1);
  NmeaParser_WriteData(Parser, command.c_str(), 3);
  EXPECT_EQ(ErrNum(), 10006);
  EXPECT_EQ(ErrDesc(), "Autodetect mode not allowed");
  NmeaParser_SetBaudRate(Parser, 9600);
  EXPECT_EQ(ErrDesc(), "Autodetect mode not allowed");
  NmeaParser_SetPortEnabled(Parser, 0);
  EXPECT_EQ(ErrNum(), 0);
}

TEST_F(ParserOnPort, DeletingAnEnabledParserStopsItsThreadAndFreesThePort) {
  Plug(4800, 2);
  VmNmeaParser* holder = NmeaParser_New();
  NmeaParser_SetComPort(holder, 2);
  NmeaParser_SetPortEnabled(holder, 1);
  ASSERT_EQ(Error_ErrNum(NmeaParser_GetErrHandle(holder)), 0);
  Use(2, 4800);
  NmeaParser_SetPortEnabled(Parser, 1);
  EXPECT_EQ(ErrDesc(), "Comm port in use!");
  NmeaParser_Delete(holder);
  NmeaParser_SetPortEnabled(Parser, 1);
  EXPECT_EQ(ErrNum(), 0);
}

TEST_F(ParserOnPort, SettingsThatNeedADisabledPortAreRefusedWhileEnabled) {
  Plug(4800, 2);
  Use(2, 4800);
  NmeaParser_SetPortEnabled(Parser, 1);
  ASSERT_EQ(ErrNum(), 0);
  NmeaParser_Parse(Parser, u"$GPGLL,4916.45,N,12311.12,W,225444,A,A*1D\r\n");
  EXPECT_EQ(ErrDesc(), "Port must not be enabled!");
  NmeaParser_SetComPort(Parser, 3);
  EXPECT_EQ(ErrDesc(), "Port must not be enabled!");
  NmeaParser_SetNoEvents(Parser, 1);
  EXPECT_EQ(ErrNum(), 10006);
  NmeaParser_GetGpsFix(Parser, 0, 0);
  EXPECT_EQ(ErrDesc(), "NoEvents must be set!");
  NmeaParser_SetBaudRate(Parser, 57600);  // a known port may change rate while enabled
  EXPECT_EQ(ErrNum(), 0);
  NmeaParser_SetPortEnabled(Parser, 1);  // enabling twice does nothing
  EXPECT_EQ(ErrNum(), 0);
  NmeaParser_SetPortEnabled(Parser, 0);
  EXPECT_EQ(ErrNum(), 0);
  NmeaParser_SetPortEnabled(Parser, 0);
  EXPECT_EQ(ErrNum(), 0);
  DeleteAll(Drain(Window));
}

int SustainedSeconds() {
  const char* text = std::getenv("VELMIRA_SOAK_SECONDS");
  int seconds = text != nullptr ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 10;
}

// Set VELMIRA_SOAK_SECONDS=60 for the full run.
TEST_F(ParserOnPort, At115200EverySentenceReachesTheWindowInOrder) {
  ReceiverSimulator& receiver = Plug(115200, 2);
  Use(2, 115200);
  NmeaParser_SetPortEnabled(Parser, 1);
  ASSERT_EQ(ErrNum(), 0);
  receiver.Start();
  std::vector<std::string> got;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(SustainedSeconds());
  VmMsg m;
  while (std::chrono::steady_clock::now() < until) {
    if (VmWindow_GetMessage(Window, &m, 100) != 1) continue;
    if (m.wParam == 1) got.push_back(SentenceText(m));
    DeleteCarried(m);
  }
  receiver.StopSending();
  std::vector<std::string> sent = receiver.Sent();
  ASSERT_FALSE(got.empty());
  size_t start = std::find(sent.begin(), sent.end(), got.front()) - sent.begin();
  ASSERT_LT(start, sent.size());
  // Take the rest: everything sent from the first sentence seen on must arrive.
  while (got.size() < sent.size() - start && VmWindow_GetMessage(Window, &m, 2000) == 1) {
    if (m.wParam == 1) got.push_back(SentenceText(m));
    DeleteCarried(m);
  }
  ASSERT_EQ(got.size(), sent.size() - start);
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], sent[start + i]) << i;
  EXPECT_EQ(receiver.OverrunBytes(), 0);
  NmeaParser_SetPortEnabled(Parser, 0);
  std::printf("[ info ] %zu sentences through the parser in %d s at 115200 baud\n", got.size(),
              SustainedSeconds());
}

}  // namespace
