// The serial reader on pseudo-terminal receivers, one Poll at a time as the parser's reader
// thread calls it: port and rate detection, opening and the write queue. The reader on its
// thread (reading, loss, hostile bytes, rate changes, the line it sets) is tested through the
// parser.
#include <gtest/gtest.h>

#include <algorithm>

#include "frame/Text.h"
#include "gps/ComPort.h"
#include "gps/NmeaSentence.h"
#include "gps/SerialReader.h"
#include "platform/Sync.h"
#include "support/ReceiverSimulator.h"

namespace velmira {
namespace {

using test::LineSettings;
using test::ReceiverSimulator;

std::string TakeText(SerialReader& reader) {
  Ref<NmeaSentence> sentence = Ref<NmeaSentence>::Adopt(reader.TakeSentence());
  return sentence ? Ref<Text>::Adopt(sentence->GetSentence())->Chars() : "(none)";
}

bool WasSent(const ReceiverSimulator& receiver, const std::string& text) {
  const std::vector<std::string> sent = receiver.Sent();
  return std::find(sent.begin(), sent.end(), text) != sent.end();
}

// True when `wanted` occurs in `seen` in this order (other entries may lie between).
bool InOrder(const std::vector<uint32_t>& seen, const std::vector<uint32_t>& wanted) {
  size_t next = 0;
  for (uint32_t s : seen) next += next < wanted.size() && s == wanted[next];
  return next == wanted.size();
}

struct SerialReading : ::testing::Test, test::IsolatedComPorts {
  Ref<SerialReader> Reader = MakeRef<SerialReader>();
  platform::UniqueHandle Stop{platform::CreateEventW(true, false)};
};
using SerialDetection = SerialReading;

TEST_F(SerialDetection, TriesRatesInOrderStopsAtTheFirstFindAndDeliversTheProvingSentence) {
  const struct {
    int32_t Rate;
    int16_t Port;
    std::vector<uint32_t> Tried;
    uint32_t NotTried;
  } cases[] = {{4800, 2, {4800}, 57600},  // found in the first pass: the second must not run
               {9600, 5, {4800, 57600, 9600}, 19200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Rate);
    test::IsolatedComPorts ports;
    ReceiverSimulator& receiver = ports.Plug(c.Rate, c.Port);
    receiver.Start();
    auto reader = MakeRef<SerialReader>();
    EXPECT_EQ(reader->Poll(Stop.Get(), 0), PollFound);
    EXPECT_EQ(reader->GetPort() * 100000 + reader->GetBaudRate(), c.Port * 100000 + c.Rate);
    EXPECT_TRUE(reader->IsValid() && reader->IsOpen());
    EXPECT_TRUE(InOrder(receiver.RatesSeen(), c.Tried));
    EXPECT_FALSE(InOrder(receiver.RatesSeen(), {c.NotTried}));
    // The sentence that proved the receiver is the next one delivered, without a read.
    EXPECT_EQ(reader->Poll(Stop.Get(), 0), PollSentence);
    EXPECT_TRUE(WasSent(receiver, TakeText(*reader)));
    EXPECT_EQ(reader->TakeSentence(), nullptr) << "one found sentence is taken once";
  }
}

TEST_F(SerialDetection, WantedPortIsTheOnlyOneTriedAndSilenceFindsNothing) {
  // COM10 is the first port opened by the "\\.\COM10" form of its name.
  ReceiverSimulator &other = Plug(4800, 1), &wanted = Plug(4800, 10), &silent = Plug(4800, 4);
  other.Start();
  wanted.Start();
  EXPECT_EQ(Reader->Poll(Stop.Get(), 10), PollFound);
  EXPECT_EQ(Reader->GetPort(), 10);
  LineSettings line;
  ASSERT_TRUE(other.ReadLineSettings(&line));
  EXPECT_NE(line.Rate, 4800u) << "COM1 was configured although COM10 was asked for";
  Reader->Close();
  other.Unplug();  // now only the silent receiver on COM4 is there: present, not sending
  auto fresh = MakeRef<SerialReader>();
  EXPECT_EQ(fresh->Poll(Stop.Get(), 0), PollNothing);
  EXPECT_FALSE(fresh->IsOpen());
  EXPECT_EQ(fresh->GetPort() + fresh->GetBaudRate(), 0);
  EXPECT_TRUE(InOrder(silent.RatesSeen(), {4800, 57600, 9600, 19200, 38400}));
}

// A stop during detection ends it at the wait it interrupts: no further rate is tried.
TEST_F(SerialDetection, StopEndsDetectionWithoutTryingFurtherRatesAndClosesThePort) {
  ReceiverSimulator& receiver = Plug(9600, 2);
  receiver.Start();
  platform::SetEvent(Stop.Get());
  EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollStopped);
  EXPECT_FALSE(Reader->IsOpen());
  EXPECT_FALSE(InOrder(receiver.RatesSeen(), {57600}) || InOrder(receiver.RatesSeen(), {9600}));
  ComPort again;
  EXPECT_TRUE(again.Open(2)) << "detection left the port open";
}

TEST_F(SerialReading, OpenedPortIsValidOnceASentenceCameAndRefusedRatesAreIgnoredOrCloseIt) {
  ReceiverSimulator& receiver = Plug(4800, 2);
  ASSERT_TRUE(Reader->Open(2, 4800)) << Reader->GetError().Message;
  EXPECT_EQ(Reader->GetPort() * 100000 + Reader->GetBaudRate(), 204800);
  EXPECT_FALSE(Reader->IsValid());
  EXPECT_EQ(Reader->TakeSentence(), nullptr) << "nothing found, nothing to take";
  receiver.Start();
  EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollFound);
  EXPECT_TRUE(Reader->IsValid());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollSentence);
    EXPECT_TRUE(WasSent(receiver, TakeText(*Reader)));
  }
  Reader->SetRate(0);
  EXPECT_EQ(Reader->GetBaudRate() * 100 + Reader->GetError().Code, 480000) << "ignored, unreported";
  Reader->Close();
  auto second = MakeRef<SerialReader>();
  EXPECT_FALSE(second->Open(2, 0));
  EXPECT_STREQ(second->GetError().Message, "Unknown baudrate!");
  EXPECT_TRUE(Reader->Open(2, 4800)) << "the refused open kept the port";
}

TEST_F(SerialReading, WriteQueueTakesWholeCallsWhileOpenAndDiscardsBeyond2048) {
  ReceiverSimulator& receiver = Plug(4800, 2);
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
  receiver.Start();
  EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollFound);  // the read step sends it all in one go
  ASSERT_TRUE(receiver.WaitForWritten(2049, 10000));
  EXPECT_EQ(receiver.Written(), tail->Chars() + exact + "x");
  EXPECT_TRUE(Reader->Queue(&byte, 1));
  Reader->Close();
  EXPECT_EQ(Reader->QueuedBytes(), 0) << "closing discards the queue";
  EXPECT_FALSE(Reader->Queue(&byte, 1));
}

}  // namespace
}  // namespace velmira
