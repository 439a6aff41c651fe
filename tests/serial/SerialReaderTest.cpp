#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "ReaderLoop.h"
#include "frame/Error.h"
#include "gps/ComPort.h"
#include "gps/SerialReader.h"
#include "support/ReceiverSimulator.h"

namespace velmira {
namespace {

using test::IsContiguousRunOf;
using test::IsolatedComPorts;
using test::LineSettings;
using test::ReaderLoop;
using test::ReceiverSimulator;
using test::WithChecksum;

constexpr int Generous = 10000;  // ms; waits end as soon as the event comes

// True when `wanted` occurs in `seen` in this order (other entries may lie between).
bool InOrder(const std::vector<uint32_t>& seen, const std::vector<uint32_t>& wanted) {
  size_t next = 0;
  for (uint32_t s : seen) {
    if (next < wanted.size() && s == wanted[next]) ++next;
  }
  return next == wanted.size();
}

bool Contains(const std::vector<uint32_t>& seen, uint32_t rate) {
  return std::find(seen.begin(), seen.end(), rate) != seen.end();
}

struct Fixture {
  explicit Fixture(int32_t rate, int16_t port = 2) : Receiver(rate) {
    if (Receiver.Ready()) Ports.Map(port, Receiver.DevicePath());
  }
  ReceiverSimulator Receiver;
  IsolatedComPorts Ports;
  Ref<SerialReader> Reader = MakeRef<SerialReader>();
};

TEST(SerialDetection, FindsA4800ReceiverOnCom2InTheFirstPass) {
  Fixture f(4800);
  ASSERT_TRUE(f.Receiver.Ready());
  f.Receiver.Start();
  platform::UniqueHandle stop(platform::CreateEventW(true, false));

  EXPECT_EQ(f.Reader->Poll(stop.Get(), 0), PollFound);
  EXPECT_EQ(f.Reader->GetPort(), 2);
  EXPECT_EQ(f.Reader->GetBaudRate(), 4800);
  EXPECT_TRUE(f.Reader->IsValid());
  EXPECT_TRUE(f.Reader->IsOpen());
  EXPECT_FALSE(Contains(f.Receiver.RatesSeen(), 57600)) << "the second pass must not run";

  // The sentence that proved the receiver is the next one delivered, without a read.
  EXPECT_EQ(f.Reader->Poll(stop.Get(), 0), PollSentence);
  Ref<NmeaSentence> first = Ref<NmeaSentence>::Adopt(f.Reader->TakeSentence());
  ASSERT_TRUE(first);
  std::string text = Ref<Text>::Adopt(first->GetSentence())->Chars();
  std::vector<std::string> sent = f.Receiver.Sent();
  EXPECT_NE(std::find(sent.begin(), sent.end(), text), sent.end()) << text;
  EXPECT_EQ(f.Reader->TakeSentence(), nullptr) << "one found sentence is taken once";

  EXPECT_EQ(f.Reader->Poll(stop.Get(), 0), PollSentence);
  platform::SetEvent(stop.Get());
  EXPECT_EQ(f.Reader->Poll(stop.Get(), 0), PollStopped);
  EXPECT_FALSE(f.Reader->IsOpen());
}

TEST(SerialDetection, FindsA9600ReceiverOnlyAfter4800And57600WereTried) {
  Fixture f(9600, 5);
  ASSERT_TRUE(f.Receiver.Ready());
  f.Receiver.Start();
  platform::UniqueHandle stop(platform::CreateEventW(true, false));
  EXPECT_EQ(f.Reader->Poll(stop.Get(), 0), PollFound);
  EXPECT_EQ(f.Reader->GetPort(), 5);
  EXPECT_EQ(f.Reader->GetBaudRate(), 9600);
  std::vector<uint32_t> rates = f.Receiver.RatesSeen();
  EXPECT_TRUE(InOrder(rates, {4800, 57600, 9600}));
  EXPECT_FALSE(Contains(rates, 19200)) << "detection goes on after the receiver was found";
}

TEST(SerialDetection, WantedPortIsTheOnlyOneTried) {
  ReceiverSimulator wanted(4800), other(4800);
  ASSERT_TRUE(wanted.Ready() && other.Ready());
  IsolatedComPorts ports;
  ports.Map(1, other.DevicePath());
  ports.Map(12, wanted.DevicePath());
  other.Start();
  wanted.Start();
  auto reader = MakeRef<SerialReader>();
  platform::UniqueHandle stop(platform::CreateEventW(true, false));
  EXPECT_EQ(reader->Poll(stop.Get(), 12), PollFound);
  EXPECT_EQ(reader->GetPort(), 12);
  LineSettings line;
  ASSERT_TRUE(other.ReadLineSettings(&line));
  EXPECT_NE(line.Rate, 4800u) << "COM1 was configured although COM12 was asked for";
}

// A stop during detection ends it at the wait it interrupts: no further rate is tried.
TEST(SerialDetection, StopEndsDetectionWithoutTryingFurtherRates) {
  Fixture f(9600);
  ASSERT_TRUE(f.Receiver.Ready());
  f.Receiver.Start();
  platform::UniqueHandle stop(platform::CreateEventW(true, true));
  EXPECT_EQ(f.Reader->Poll(stop.Get(), 0), PollStopped);
  EXPECT_FALSE(f.Reader->IsOpen());
  std::vector<uint32_t> rates = f.Receiver.RatesSeen();
  EXPECT_FALSE(Contains(rates, 57600));
  EXPECT_FALSE(Contains(rates, 9600));
  ComPort again;
  EXPECT_TRUE(again.Open(2)) << "detection left the port open";

  // And from a running loop: the thread ends on the stop.
  Fixture g(9600);
  ReaderLoop loop(g.Reader.Get(), 0);
  EXPECT_TRUE(loop.Stop());
  EXPECT_EQ(loop.StatesSeen().back(), PollStopped);
}

TEST(SerialDetection, NothingToFindReportsNothingAndOpensNothing) {
  ReceiverSimulator silent(4800);
  ASSERT_TRUE(silent.Ready());
  IsolatedComPorts ports;
  ports.Map(4, silent.DevicePath());  // present but not sending
  auto reader = MakeRef<SerialReader>();
  platform::UniqueHandle stop(platform::CreateEventW(true, false));
  EXPECT_EQ(reader->Poll(stop.Get(), 0), PollNothing);
  EXPECT_FALSE(reader->IsOpen());
  EXPECT_EQ(reader->GetPort(), 0);
  EXPECT_EQ(reader->GetBaudRate(), 0);
  EXPECT_TRUE(InOrder(silent.RatesSeen(), {4800, 57600, 9600, 19200, 38400}));
}

TEST(SerialReading, OpenedPortReportsFoundThenSentencesInOrder) {
  Fixture f(4800);
  ASSERT_TRUE(f.Receiver.Ready());
  ASSERT_TRUE(f.Reader->Open(2, 4800)) << f.Reader->GetError().Message;
  EXPECT_EQ(f.Reader->GetPort(), 2);
  EXPECT_EQ(f.Reader->GetBaudRate(), 4800);
  EXPECT_FALSE(f.Reader->IsValid()) << "valid only once a sentence has come";
  EXPECT_EQ(f.Reader->TakeSentence(), nullptr) << "nothing found, nothing to take";
  f.Receiver.Start();
  ReaderLoop loop(f.Reader.Get(), 0);
  ASSERT_TRUE(loop.WaitForSentences(12, Generous));
  ASSERT_TRUE(loop.Stop());
  std::vector<int16_t> states = loop.StatesSeen();
  ASSERT_GE(states.size(), 3u);
  EXPECT_EQ(states[0], PollFound);
  EXPECT_EQ(states[1], PollSentence);
  EXPECT_EQ(states.back(), PollStopped);
  EXPECT_EQ(std::count(states.begin(), states.end(), PollFound), 1);
  EXPECT_TRUE(IsContiguousRunOf(loop.Sentences(), f.Receiver.Sent()));
}

TEST(SerialReading, OpenFailuresAreCopiedIntoTheReader) {
  Fixture f(4800);
  ASSERT_TRUE(f.Receiver.Ready());
  ASSERT_TRUE(f.Reader->Open(2, 4800));
  auto second = MakeRef<SerialReader>();
  EXPECT_FALSE(second->Open(2, 4800));
  EXPECT_EQ(second->GetError().Code, errors::SerialPort);
  EXPECT_STREQ(second->GetError().Message, "Comm port in use!");
  EXPECT_FALSE(second->IsOpen());
  EXPECT_FALSE(second->Open(7, 4800));
  EXPECT_STREQ(second->GetError().Message, "Comm port does not exist");

  // A rate the port refuses closes it again.
  f.Reader->Close();
  EXPECT_FALSE(second->Open(2, 0));
  EXPECT_STREQ(second->GetError().Message, "Unknown baudrate!");
  EXPECT_TRUE(f.Reader->Open(2, 4800)) << "the refused open kept the port";
}

TEST(SerialReading, LossAfterQuietCyclesThenFoundAgainOnAnOpenedPort) {
  Fixture f(4800);
  ASSERT_TRUE(f.Receiver.Ready());
  ASSERT_TRUE(f.Reader->Open(2, 4800));
  f.Receiver.Start();
  ReaderLoop loop(f.Reader.Get(), 0);
  ASSERT_TRUE(loop.WaitForSentences(3, Generous));
  f.Receiver.StopSending();
  ASSERT_TRUE(loop.WaitForState(PollLost, Generous));
  EXPECT_FALSE(f.Reader->IsValid());
  EXPECT_TRUE(f.Reader->IsOpen()) << "a port that was asked for stays open";
  f.Receiver.ResumeSending();
  ASSERT_TRUE(loop.WaitForState(PollFound, Generous, 2));
  EXPECT_TRUE(f.Reader->IsValid());
  ASSERT_TRUE(loop.Stop());
  std::vector<int16_t> states = loop.StatesSeen();
  EXPECT_EQ(std::count(states.begin(), states.end(), PollLost), 1);
}

TEST(SerialReading, LossClosesADetectedPortAndDetectionFindsItAgain) {
  Fixture f(4800);
  ASSERT_TRUE(f.Receiver.Ready());
  f.Receiver.Start();
  ReaderLoop loop(f.Reader.Get(), 0);
  ASSERT_TRUE(loop.WaitForState(PollFound, Generous));
  ASSERT_TRUE(loop.WaitForSentences(3, Generous));
  f.Receiver.StopSending();
  ASSERT_TRUE(loop.WaitForState(PollLost, Generous));
  // Closed on loss: another program may take the port until detection tries it again.
  f.Receiver.ResumeSending();
  ASSERT_TRUE(loop.WaitForState(PollFound, Generous, 2));
  EXPECT_EQ(f.Reader->GetPort(), 2);
  EXPECT_EQ(f.Reader->GetBaudRate(), 4800);
  ASSERT_TRUE(loop.Stop());
}

TEST(SerialReading, UnpluggedReceiverIsLostAndNotFoundAgain) {
  Fixture f(9600);
  ASSERT_TRUE(f.Receiver.Ready());
  f.Receiver.Start();
  ReaderLoop loop(f.Reader.Get(), 2);
  ASSERT_TRUE(loop.WaitForSentences(2, Generous));
  f.Receiver.Unplug();
  ASSERT_TRUE(loop.WaitForState(PollLost, Generous));
  EXPECT_FALSE(f.Reader->IsValid());
  ASSERT_TRUE(loop.Stop());
}

TEST(SerialWriteQueue, QueuesWhileOpenAndDiscardsBeyond2048) {
  Fixture f(4800);
  ASSERT_TRUE(f.Receiver.Ready());
  uint8_t byte = 'x';
  EXPECT_FALSE(f.Reader->Queue(&byte, 1)) << "nothing to queue for without a port";
  EXPECT_EQ(f.Reader->GetError().Code, 0);
  EXPECT_EQ(f.Reader->QueuedBytes(), 0);

  ASSERT_TRUE(f.Reader->Open(2, 4800));
  std::string big(3000, 'a');
  EXPECT_TRUE(f.Reader->Queue(reinterpret_cast<const uint8_t*>(big.data()), 3000));
  EXPECT_EQ(f.Reader->QueuedBytes(), 3000) << "one call is queued whole";
  Ref<Text> tail = MakeRef<Text>("$PSRF100,1,4800,8,1,0*0E\r\n");
  EXPECT_TRUE(f.Reader->Queue(tail.Get()));
  EXPECT_EQ(f.Reader->QueuedBytes(), tail->Length()) << "the 3000 bytes go first";

  std::string exact(2048 - tail->Length(), 'b');
  EXPECT_TRUE(f.Reader->Queue(reinterpret_cast<const uint8_t*>(exact.data()),
                              static_cast<int32_t>(exact.size())));
  EXPECT_TRUE(f.Reader->Queue(&byte, 1));
  EXPECT_EQ(f.Reader->QueuedBytes(), 2049) << "2048 queued bytes are not yet too many";

  // The read step sends it all in one go.
  f.Receiver.Start();
  ReaderLoop loop(f.Reader.Get(), 0);
  ASSERT_TRUE(f.Receiver.WaitForWritten(2049, Generous));
  EXPECT_EQ(f.Receiver.Written(), tail->Chars() + exact + "x");
  ASSERT_TRUE(loop.Stop());
  EXPECT_EQ(f.Reader->QueuedBytes(), 0) << "closing discards the queue";
  EXPECT_FALSE(f.Reader->Queue(&byte, 1));
}

TEST(SerialRate, SetRateReconfiguresAnOpenPortAndIgnoresRefusals) {
  Fixture f(9600);
  ASSERT_TRUE(f.Receiver.Ready());
  ASSERT_TRUE(f.Reader->Open(2, 4800));
  f.Reader->SetRate(9600);
  EXPECT_EQ(f.Reader->GetBaudRate(), 9600);
  LineSettings line;
  ASSERT_TRUE(f.Receiver.ReadLineSettings(&line));
  EXPECT_EQ(line.Rate, 9600u);
  f.Reader->SetRate(0);
  EXPECT_EQ(f.Reader->GetBaudRate(), 9600);
  EXPECT_EQ(f.Reader->GetError().Code, 0) << "a refused rate is not reported";
  f.Receiver.Start();
  ReaderLoop loop(f.Reader.Get(), 0);
  EXPECT_TRUE(loop.WaitForSentences(2, Generous));
}

// Noise, NUL bytes and a 10,000-byte line with no CR LF must neither crash nor stall reading:
// the sentences that follow are all delivered.
TEST(SerialRobustness, NoiseNulBytesAndEndlessLinesDoNotStallTheReader) {
  Fixture f(115200);
  ASSERT_TRUE(f.Receiver.Ready());
  ASSERT_TRUE(f.Reader->Open(2, 115200));
  std::string noise;
  uint32_t state = 7;
  for (int i = 0; i < 20000; ++i) {
    state = state * 1664525u + 1013904223u;
    noise.push_back(static_cast<char>(state >> 24));
  }
  std::string all256;
  for (int c = 0; c < 256; ++c) all256.push_back(static_cast<char>(c));
  std::string endless = "$GPGGA," + std::string(10000, '7');
  std::string nuls(600, '\0');
  std::string nulInSentence = WithChecksum(std::string("GPTXT,01,01,02,a\0b", 18)) + "\r\n";
  std::vector<std::string> after = {WithChecksum("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"),
                                    WithChecksum("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"),
                                    WithChecksum("PVELM,END")};
  f.Receiver.StreamSentences(after, false);
  f.Receiver.SendBytes(noise + all256 + endless + nuls + nulInSentence + "$$$*\r\n*00\r\n");
  f.Receiver.Start();
  ReaderLoop loop(f.Reader.Get(), 0);
  ASSERT_TRUE(f.Receiver.WaitUntilDrained(Generous * 3));
  ASSERT_TRUE(loop.WaitForSentences(3, Generous));
  std::vector<std::string> got = loop.Sentences();
  ASSERT_GE(got.size(), 3u);
  std::vector<std::string> last(got.end() - 3, got.end());
  EXPECT_EQ(last, after);
  ASSERT_TRUE(loop.Stop());
}

int SustainedSeconds() {
  const char* text = std::getenv("VELMIRA_SOAK_SECONDS");
  int seconds = text != nullptr ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 10;
}

// At 115200 baud for a sustained period every sentence put on the line arrives, in order.
TEST(SerialThroughput, At115200NoSentenceIsLost) {
  Fixture f(115200);
  ASSERT_TRUE(f.Receiver.Ready());
  ASSERT_TRUE(f.Reader->Open(2, 115200));
  f.Receiver.Start();
  ReaderLoop loop(f.Reader.Get(), 0);
  platform::Sleep(static_cast<platform::DWORD>(SustainedSeconds() * 1000));
  f.Receiver.StopSending();
  size_t sent = f.Receiver.SentCount();
  // Everything from the first sentence read to the last one sent must come through.
  ASSERT_TRUE(loop.WaitForSentences(1, Generous));
  std::vector<std::string> first = loop.Sentences();
  std::vector<std::string> log = f.Receiver.Sent();
  size_t start = std::find(log.begin(), log.end(), first[0]) - log.begin();
  ASSERT_LT(start, log.size());
  EXPECT_TRUE(loop.WaitForSentences(sent - start, Generous));
  ASSERT_TRUE(loop.Stop());
  std::vector<std::string> got = loop.Sentences();
  EXPECT_EQ(got.size(), sent - start);
  EXPECT_TRUE(IsContiguousRunOf(got, log));
  EXPECT_EQ(f.Receiver.OverrunBytes(), 0);
  RecordProperty("sentences", static_cast<int>(got.size()));
  std::printf("[ info ] %zu sentences in %d s at 115200 baud (%.0f/s)\n", got.size(),
              SustainedSeconds(), static_cast<double>(got.size()) / SustainedSeconds());
}

// The application's thread queues and asks for the state while the reader thread runs.
TEST(SerialThreads, QueueAndStateQueriesRaceFreeWithTheReaderThread) {
  Fixture f(57600);
  ASSERT_TRUE(f.Receiver.Ready());
  f.Receiver.Start();
  ReaderLoop loop(f.Reader.Get(), 0);
  ASSERT_TRUE(loop.WaitForState(PollFound, Generous));
  uint8_t ping[] = "$PVELM,PING*00\r\n";
  size_t queued = 0;
  for (int i = 0; i < 50; ++i) {
    if (f.Reader->Queue(ping, sizeof ping - 1)) queued += sizeof ping - 1;
    EXPECT_EQ(f.Reader->GetPort(), 2);
    EXPECT_EQ(f.Reader->GetBaudRate(), 57600);
    (void)f.Reader->IsValid();
    if (i % 10 == 0) f.Reader->SetRate(57600);  // reconfigures while the thread reads
    platform::Sleep(5);
  }
  EXPECT_TRUE(f.Receiver.WaitForWritten(queued, Generous));
  ASSERT_TRUE(loop.Stop());
}

}  // namespace
}  // namespace velmira
