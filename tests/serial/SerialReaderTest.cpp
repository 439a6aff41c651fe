// The serial reader on pseudo-terminal receivers: port and rate detection, reading, loss,
// the write queue, rate changes, hostile bytes and sustained throughput.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "ReaderLoop.h"
#include "frame/Error.h"
#include "gps/ComPort.h"

namespace velmira {
namespace {

using test::IsContiguousRunOf;
using test::LineSettings;
using test::ReaderLoop;
using test::ReceiverSimulator;
using test::WithChecksum;

constexpr int Generous = 10000;  // ms; waits end as soon as the event comes

// True when `wanted` occurs in `seen` in this order (other entries may lie between).
bool InOrder(const std::vector<uint32_t>& seen, const std::vector<uint32_t>& wanted) {
  size_t next = 0;
  for (uint32_t s : seen) next += next < wanted.size() && s == wanted[next];
  return next == wanted.size();
}

bool Contains(const std::vector<uint32_t>& seen, uint32_t rate) {
  return std::find(seen.begin(), seen.end(), rate) != seen.end();
}

std::string TakeText(SerialReader& reader) {
  Ref<NmeaSentence> sentence = Ref<NmeaSentence>::Adopt(reader.TakeSentence());
  return sentence ? Ref<Text>::Adopt(sentence->GetSentence())->Chars() : "(none)";
}

class SerialFixture : public ::testing::Test {
 protected:
  // A receiver at `rate` plugged in as COM`port`; nothing else answers on COM1-COM8.
  ReceiverSimulator& Plug(int32_t rate, int16_t port = 2) {
    Receivers.push_back(std::make_unique<ReceiverSimulator>(rate));
    EXPECT_TRUE(Receivers.back()->Ready()) << "no pseudo-terminal";
    Ports.Map(port, Receivers.back()->DevicePath());
    return *Receivers.back();
  }
  test::IsolatedComPorts Ports;
  std::vector<std::unique_ptr<ReceiverSimulator>> Receivers;
  Ref<SerialReader> Reader = MakeRef<SerialReader>();
  platform::UniqueHandle Stop{platform::CreateEventW(true, false)};
};
using SerialDetection = SerialFixture;
using SerialReading = SerialFixture;
using SerialThroughput = SerialFixture;

TEST_F(SerialDetection, FindsA4800ReceiverOnCom2InTheFirstPassAndDeliversTheProvingSentence) {
  ReceiverSimulator& receiver = Plug(4800);
  receiver.Start();
  EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollFound);
  EXPECT_EQ(Reader->GetPort() * 100000 + Reader->GetBaudRate(), 204800);
  EXPECT_TRUE(Reader->IsValid() && Reader->IsOpen());
  EXPECT_FALSE(Contains(receiver.RatesSeen(), 57600)) << "the second pass must not run";
  // The sentence that proved the receiver is the next one delivered, without a read.
  EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollSentence);
  const std::string text = TakeText(*Reader);
  const std::vector<std::string> sent = receiver.Sent();
  EXPECT_NE(std::find(sent.begin(), sent.end(), text), sent.end()) << text;
  EXPECT_EQ(Reader->TakeSentence(), nullptr) << "one found sentence is taken once";
  EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollSentence);
  platform::SetEvent(Stop.Get());
  EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollStopped);
  EXPECT_FALSE(Reader->IsOpen());
}

TEST_F(SerialDetection, FindsA9600ReceiverOnlyAfter4800And57600WereTried) {
  Plug(9600, 5).Start();
  EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollFound);
  EXPECT_EQ(Reader->GetPort() * 100000 + Reader->GetBaudRate(), 509600);
  const std::vector<uint32_t> rates = Receivers[0]->RatesSeen();
  EXPECT_TRUE(InOrder(rates, {4800, 57600, 9600}));
  EXPECT_FALSE(Contains(rates, 19200)) << "detection went on after the receiver was found";
}

TEST_F(SerialDetection, WantedPortIsTheOnlyOneTriedAndSilenceFindsNothing) {
  ReceiverSimulator &other = Plug(4800, 1), &wanted = Plug(4800, 12), &silent = Plug(4800, 4);
  other.Start();
  wanted.Start();
  EXPECT_EQ(Reader->Poll(Stop.Get(), 12), PollFound);
  EXPECT_EQ(Reader->GetPort(), 12);
  LineSettings line;
  ASSERT_TRUE(other.ReadLineSettings(&line));
  EXPECT_NE(line.Rate, 4800u) << "COM1 was configured although COM12 was asked for";
  Reader->Close();
  other.Unplug();  // now only the silent receiver on COM4 is there: present, not sending
  auto fresh = MakeRef<SerialReader>();
  EXPECT_EQ(fresh->Poll(Stop.Get(), 0), PollNothing);
  EXPECT_FALSE(fresh->IsOpen());
  EXPECT_EQ(fresh->GetPort() + fresh->GetBaudRate(), 0);
  EXPECT_TRUE(InOrder(silent.RatesSeen(), {4800, 57600, 9600, 19200, 38400}));
}

// A stop during detection ends it at the wait it interrupts: no further rate is tried.
TEST_F(SerialDetection, StopEndsDetectionWithoutTryingFurtherRates) {
  Plug(9600).Start();
  platform::SetEvent(Stop.Get());
  EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollStopped);
  EXPECT_FALSE(Reader->IsOpen());
  EXPECT_FALSE(Contains(Receivers[0]->RatesSeen(), 57600));
  EXPECT_FALSE(Contains(Receivers[0]->RatesSeen(), 9600));
  ComPort again;
  EXPECT_TRUE(again.Open(2)) << "detection left the port open";
  again.Close();
  ReaderLoop loop(Reader.Get(), 0);  // and from a running loop: the thread ends on the stop
  EXPECT_TRUE(loop.Stop());
  EXPECT_EQ(loop.StatesSeen().back(), PollStopped);
}

TEST_F(SerialReading, OpenedPortReportsFoundThenSentencesInOrderAndOpenFailuresAreCopied) {
  ReceiverSimulator& receiver = Plug(4800);
  ASSERT_TRUE(Reader->Open(2, 4800)) << Reader->GetError().Message;
  EXPECT_EQ(Reader->GetPort() * 100000 + Reader->GetBaudRate(), 204800);
  EXPECT_FALSE(Reader->IsValid()) << "valid only once a sentence has come";
  EXPECT_EQ(Reader->TakeSentence(), nullptr) << "nothing found, nothing to take";
  auto second = MakeRef<SerialReader>();
  EXPECT_FALSE(second->Open(2, 4800));
  EXPECT_EQ(second->GetError().Code, errors::SerialPort);
  EXPECT_STREQ(second->GetError().Message, "Comm port in use!");
  EXPECT_FALSE(second->Open(7, 4800));
  EXPECT_STREQ(second->GetError().Message, "Comm port does not exist");
  EXPECT_FALSE(second->IsOpen());

  receiver.Start();
  ReaderLoop loop(Reader.Get(), 0);
  ASSERT_TRUE(loop.WaitForSentences(12, Generous));
  ASSERT_TRUE(loop.Stop());
  const std::vector<int16_t> states = loop.StatesSeen();
  ASSERT_GE(states.size(), 3u);
  EXPECT_EQ(states[0], PollFound);
  EXPECT_EQ(states[1], PollSentence);
  EXPECT_EQ(states.back(), PollStopped);
  EXPECT_EQ(std::count(states.begin(), states.end(), PollFound), 1);
  EXPECT_TRUE(IsContiguousRunOf(loop.Sentences(), receiver.Sent()));
  // A rate the port refuses closes it again.
  EXPECT_FALSE(second->Open(2, 0));
  EXPECT_STREQ(second->GetError().Message, "Unknown baudrate!");
  EXPECT_TRUE(Reader->Open(2, 4800)) << "the refused open kept the port";
}

// After 20 quiet read cycles the receiver is lost. A port that was asked for stays open; a
// detected one is closed, so another program may take it until detection tries it again.
TEST_F(SerialReading, LossAfterQuietCyclesThenFoundAgainOnAnOpenedAndADetectedPort) {
  ReceiverSimulator& receiver = Plug(4800);
  receiver.Start();
  for (bool opened : {true, false}) {
    SCOPED_TRACE(opened ? "opened" : "detected");
    auto reader = MakeRef<SerialReader>();
    ASSERT_TRUE(!opened || reader->Open(2, 4800));
    ReaderLoop loop(reader.Get(), 0);
    ASSERT_TRUE(loop.WaitForSentences(3, Generous));
    receiver.StopSending();
    ASSERT_TRUE(loop.WaitForState(PollLost, Generous));
    EXPECT_FALSE(reader->IsValid());
    EXPECT_EQ(reader->IsOpen(), opened);
    receiver.ResumeSending();
    ASSERT_TRUE(loop.WaitForState(PollFound, Generous, 2));
    EXPECT_TRUE(reader->IsValid());
    EXPECT_EQ(reader->GetPort() * 100000 + reader->GetBaudRate(), 204800);
    ASSERT_TRUE(loop.Stop());
    const std::vector<int16_t> states = loop.StatesSeen();
    EXPECT_EQ(std::count(states.begin(), states.end(), PollLost), 1);
  }
}

TEST_F(SerialReading, UnpluggedReceiverIsLost) {
  ReceiverSimulator& receiver = Plug(9600);
  receiver.Start();
  ReaderLoop loop(Reader.Get(), 2);
  ASSERT_TRUE(loop.WaitForSentences(2, Generous));
  receiver.Unplug();
  ASSERT_TRUE(loop.WaitForState(PollLost, Generous));
  EXPECT_FALSE(Reader->IsValid());
}

TEST_F(SerialReading, WriteQueueTakesWholeCallsWhileOpenAndDiscardsBeyond2048) {
  ReceiverSimulator& receiver = Plug(4800);
  uint8_t byte = 'x';
  EXPECT_FALSE(Reader->Queue(&byte, 1)) << "nothing to queue for without a port";
  EXPECT_EQ(Reader->GetError().Code, 0);
  ASSERT_TRUE(Reader->Open(2, 4800));
  const std::string big(3000, 'a');
  EXPECT_TRUE(Reader->Queue(reinterpret_cast<const uint8_t*>(big.data()), 3000));
  EXPECT_EQ(Reader->QueuedBytes(), 3000) << "one call is queued whole";
  Ref<Text> tail = MakeRef<Text>("$PSRF100,1,4800,8,1,0*0E\r\n");
  EXPECT_TRUE(Reader->Queue(tail.Get()));
  EXPECT_EQ(Reader->QueuedBytes(), tail->Length()) << "the 3000 bytes go first";
  const std::string exact(2048 - tail->Length(), 'b');
  EXPECT_TRUE(Reader->Queue(reinterpret_cast<const uint8_t*>(exact.data()),
                            static_cast<int32_t>(exact.size())));
  EXPECT_TRUE(Reader->Queue(&byte, 1));
  EXPECT_EQ(Reader->QueuedBytes(), 2049) << "2048 queued bytes are not yet too many";
  receiver.Start();  // the read step sends it all in one go
  ReaderLoop loop(Reader.Get(), 0);
  ASSERT_TRUE(receiver.WaitForWritten(2049, Generous));
  EXPECT_EQ(receiver.Written(), tail->Chars() + exact + "x");
  ASSERT_TRUE(loop.Stop());
  EXPECT_EQ(Reader->QueuedBytes(), 0) << "closing discards the queue";
  EXPECT_FALSE(Reader->Queue(&byte, 1));
}

TEST_F(SerialReading, SetRateReconfiguresAnOpenPortAndIgnoresRefusals) {
  ReceiverSimulator& receiver = Plug(9600);
  ASSERT_TRUE(Reader->Open(2, 4800));
  Reader->SetRate(9600);
  LineSettings line;
  ASSERT_TRUE(receiver.ReadLineSettings(&line));
  EXPECT_EQ(line.Rate, 9600u);
  Reader->SetRate(0);
  EXPECT_EQ(Reader->GetBaudRate(), 9600);
  EXPECT_EQ(Reader->GetError().Code, 0) << "a refused rate is not reported";
  receiver.Start();
  ReaderLoop loop(Reader.Get(), 0);
  for (int i = 0; i < 5; ++i) Reader->SetRate(9600);  // reconfigures while the thread reads
  EXPECT_TRUE(loop.WaitForSentences(2, Generous));
}

// Noise, NUL bytes and a 10,000-byte line with no CR LF must neither crash nor stall reading:
// the sentences that follow are all delivered.
TEST_F(SerialReading, NoiseNulBytesAndEndlessLinesDoNotStallTheReader) {
  ReceiverSimulator& receiver = Plug(115200);
  ASSERT_TRUE(Reader->Open(2, 115200));
  std::string noise;
  uint32_t state = 7;
  for (int i = 0; i < 20000; ++i) noise.push_back(static_cast<char>((state = state * 1664525u + 1013904223u) >> 24));
  for (int c = 0; c < 256; ++c) noise.push_back(static_cast<char>(c));
  noise += "$GPGGA," + std::string(10000, '7') + std::string(600, '\0');
  noise += WithChecksum(std::string("GPTXT,01,01,02,a\0b", 18)) + "\r\n$$$*\r\n*00\r\n";
  const std::vector<std::string> after = {
      WithChecksum("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"),
      WithChecksum("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"), WithChecksum("PVELM,END")};
  receiver.StreamSentences(after, false);
  receiver.SendBytes(noise);
  receiver.Start();
  ReaderLoop loop(Reader.Get(), 0);
  ASSERT_TRUE(receiver.WaitUntilDrained(Generous * 3));
  ASSERT_TRUE(loop.WaitForSentences(3, Generous));
  const std::vector<std::string> got = loop.Sentences();
  EXPECT_EQ(std::vector<std::string>(got.end() - 3, got.end()), after);
}

// At 115200 baud for a sustained period (VELMIRA_SOAK_SECONDS, 10 by default) every sentence
// put on the line arrives, in order, while the application's thread queues and reads state.
TEST_F(SerialThroughput, At115200NoSentenceIsLost) {
  const char* soak = std::getenv("VELMIRA_SOAK_SECONDS");
  const int seconds = soak != nullptr && std::atoi(soak) > 0 ? std::atoi(soak) : 10;
  ReceiverSimulator& receiver = Plug(115200);
  ASSERT_TRUE(Reader->Open(2, 115200));
  receiver.Start();
  ReaderLoop loop(Reader.Get(), 0);
  uint8_t ping[] = "$PVELM,PING*00\r\n";
  size_t queued = 0;
  for (int i = 0; i < seconds * 20; ++i) {
    if (i < 50 && Reader->Queue(ping, sizeof ping - 1)) queued += sizeof ping - 1;
    EXPECT_EQ(Reader->GetPort() * 1000000 + Reader->GetBaudRate(), 2115200);
    platform::Sleep(50);
  }
  receiver.StopSending();
  const size_t sent = receiver.SentCount();
  ASSERT_TRUE(loop.WaitForSentences(1, Generous));
  // Everything from the first sentence read to the last one sent must come through.
  const std::vector<std::string> log = receiver.Sent();
  const size_t start = std::find(log.begin(), log.end(), loop.Sentences()[0]) - log.begin();
  ASSERT_LT(start, log.size());
  EXPECT_TRUE(loop.WaitForSentences(sent - start, Generous));
  ASSERT_TRUE(loop.Stop());
  EXPECT_EQ(loop.Sentences().size(), sent - start);
  EXPECT_TRUE(IsContiguousRunOf(loop.Sentences(), log));
  EXPECT_EQ(receiver.OverrunBytes(), 0);
  EXPECT_TRUE(receiver.WaitForWritten(queued, Generous));
  std::printf("[ info ] %zu sentences in %d s at 115200 baud\n", sent - start, seconds);
}

}  // namespace
}  // namespace velmira
