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

using test::ReceiverSimulator;

// Takes the sentence the reader has ready: true when it is one the receiver sent whole.
bool TakesASentSentence(SerialReader& reader, const ReceiverSimulator& receiver) {
  Ref<NmeaSentence> sentence = Ref<NmeaSentence>::Adopt(reader.TakeSentence());
  const std::vector<std::string> sent = receiver.Sent();
  return sentence && std::count(sent.begin(), sent.end(),
                                Ref<Text>::Adopt(sentence->GetSentence())->Chars()) > 0;
}

struct SerialReading : ::testing::Test, test::IsolatedComPorts {
  Ref<SerialReader> Reader = MakeRef<SerialReader>();
  platform::UniqueHandle Stop{platform::CreateEventW(true, false)};
};
using SerialDetection = SerialReading;

// Detection tries 4800 first, then in a second pass 57600, 9600, 19200 and 38400, and stops at
// the first find (the parser's detection test sees it within the second pass); a wanted port is
// the only one tried, and a silent receiver is found nowhere.
TEST_F(SerialDetection, WantedPortIsTheOnlyOneTriedAndSilenceFindsNothing) {
  // COM10 is the first port opened by the "\\.\COM10" form of its name.
  ReceiverSimulator &other = Plug(4800, 1), &wanted = Plug(4800, 10), &silent = Plug(4800, 4);
  other.Start();
  wanted.Start();
  EXPECT_EQ(Reader->Poll(Stop.Get(), 10), PollFound);
  EXPECT_EQ(Reader->GetPort() * 100000 + Reader->GetBaudRate(), 1004800);
  EXPECT_TRUE(Reader->IsValid() && Reader->IsOpen());
  EXPECT_FALSE(wanted.SetInOrder({57600})) << "found in the first pass: the second must not run";
  // The sentence that proved the receiver is the next one delivered, without a read.
  EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollSentence);
  EXPECT_TRUE(TakesASentSentence(*Reader, wanted));
  EXPECT_EQ(Reader->TakeSentence(), nullptr) << "one found sentence is taken once";
  test::LineSettings line;
  ASSERT_TRUE(other.ReadLineSettings(&line));
  EXPECT_NE(line.Rate, 4800u) << "COM1 was configured although COM10 was asked for";
  Reader->Close();
  other.Unplug();  // now only the silent receiver on COM4 is there: present, not sending
  EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollNothing);
  EXPECT_FALSE(Reader->IsOpen());
  EXPECT_EQ(Reader->GetPort() + Reader->GetBaudRate(), 0);
  EXPECT_TRUE(silent.SetInOrder({4800, 57600, 9600, 19200, 38400}));
}

// An opened port is valid once a sentence came. The write queue takes whole calls while a
// port is open, discards itself once it holds more than 2048 bytes, goes out in the next read
// step and is dropped on close. A refused rate is ignored on an open port.
TEST_F(SerialReading, OpenedPortWriteQueueAndRefusedRate) {
  ReceiverSimulator& receiver = Plug(4800, 2);
  uint8_t byte = 'x';
  ASSERT_TRUE(Reader->Open(2, 4800)) << Reader->GetError().Message;
  EXPECT_FALSE(Reader->IsValid());
  EXPECT_EQ(Reader->TakeSentence(), nullptr) << "nothing found, nothing to take";
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
  EXPECT_TRUE(Reader->IsValid());
  ASSERT_TRUE(receiver.WaitForWritten(2049, 10000));
  EXPECT_EQ(receiver.Written(), tail->Chars() + exact + "x");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Reader->Poll(Stop.Get(), 0), PollSentence);
    EXPECT_TRUE(TakesASentSentence(*Reader, receiver));
  }
  Reader->SetRate(0);  // the parser's detection rate, asked for on an open port
  EXPECT_EQ(Reader->GetBaudRate() * 100 + Reader->GetError().Code, 480000) << "ignored, unreported";
  EXPECT_TRUE(Reader->Queue(&byte, 1));
  Reader->Close();
  EXPECT_EQ(Reader->QueuedBytes(), 0) << "closing discards the queue";
  EXPECT_FALSE(Reader->Queue(&byte, 1)) << "and nothing is queued without a port";
}

}  // namespace
}  // namespace velmira
