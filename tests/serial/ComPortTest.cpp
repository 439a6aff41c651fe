// The COM port under the serial reader: device names, opening and its refusals, the line
// settings it makes and raw bytes both ways.
#include <gtest/gtest.h>

#include "frame/Error.h"
#include "gps/ComPort.h"
#include "support/ReceiverSimulator.h"

namespace velmira {
namespace {

using test::LineSettings;
using test::ReceiverSimulator;

struct PortOnReceiver {
  explicit PortOnReceiver(int32_t rate, int16_t port = 2) : Receiver(rate) {
    EXPECT_TRUE(Receiver.Ready()) << "no pseudo-terminal";
    Ports.Map(port, Receiver.DevicePath());
  }
  ReceiverSimulator Receiver;
  test::IsolatedComPorts Ports;
};

// Single-digit ports use "COM3:", others "\\.\COM12"; each opens only under its own name.
TEST(ComPortOpen, PortsOpenThroughTheirDeviceNamesAndFailuresNameTheCase) {
  char name[ComPort::MaxNameLength];
  const std::pair<int16_t, const char*> names[] = {
      {3, "COM3:"}, {9, "COM9:"}, {10, "\\\\.\\COM10"}, {12, "\\\\.\\COM12"}};
  for (auto [port, want] : names) {
    ComPort::DeviceName(port, name, sizeof name);
    EXPECT_STREQ(name, want);
  }
  PortOnReceiver three(4800, 3), twelve(4800, 12);
  twelve.Ports.Map(3, three.Receiver.DevicePath());
  twelve.Ports.Map(4, "/etc/hostname/not-a-folder");
  ComPort first, second;
  EXPECT_TRUE(first.Open(12)) << first.GetError().Code;
  first.Close();
  ASSERT_TRUE(first.Open(3)) << first.GetError().Code;
  EXPECT_EQ(first.GetError().Code, 0);
  EXPECT_FALSE(second.Open(3));
  EXPECT_EQ(second.GetError().Code, errors::PortInUse.Code);
  EXPECT_STREQ(second.GetError().Message, "Comm port in use!");
  EXPECT_FALSE(second.IsOpen());
  first.Close();
  EXPECT_TRUE(second.Open(3)) << "closing must give the port back";
  ComPort missing, other;
  EXPECT_FALSE(missing.Open(1));
  EXPECT_EQ(missing.GetError().Code, errors::PortMissing.Code);
  EXPECT_STREQ(missing.GetError().Message, "Comm port does not exist");
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_FALSE(other.Open(4));
  EXPECT_EQ(other.GetError().Code, 3);  // the platform's number for "path not found"
  EXPECT_STREQ(other.GetError().Message, "Could not open comm port!");
}

TEST(ComPortConfigure, AppliesRateEightNOneRawAndNoFlowControl) {
  PortOnReceiver r(4800);
  ComPort port;
  EXPECT_FALSE(port.Configure(4800)) << "nothing to configure before Open";
  ASSERT_TRUE(port.Open(2));
  ASSERT_TRUE(port.Configure(4800));
  LineSettings line;
  ASSERT_TRUE(r.Receiver.ReadLineSettings(&line));
  EXPECT_EQ(line.Rate, 4800u);
  EXPECT_EQ(line.DataBits, 8);
  const std::pair<const char*, bool> off[] = {
      {"parity", line.Parity},           {"two stop bits", line.TwoStopBits},
      {"canonical", line.Canonical},     {"echo", line.Echo},
      {"signals", line.Signals},         {"output processing", line.OutputProcessing},
      {"input translation", line.InputTranslation},
      {"hardware flow", line.HardwareFlow}, {"software flow", line.SoftwareFlow},
      {"no receiver", !line.Receiver},   {"modem lines", !line.Local}};
  for (auto [what, set] : off) EXPECT_FALSE(set) << what;
  ASSERT_TRUE(port.Configure(14400));  // rates the termios table lacks still reach the line
  ASSERT_TRUE(r.Receiver.ReadLineSettings(&line));
  EXPECT_EQ(line.Rate, 14400u);
  EXPECT_FALSE(port.Configure(0));
  EXPECT_EQ(port.GetError().Code, errors::PortRefusedBaudrate.Code);
  EXPECT_STREQ(port.GetError().Message, "Unknown baudrate!");
}

// Raw mode matters: a cooked line would turn CR into LF and hold bytes back until a newline.
TEST(ComPortIo, BytesPassUnchangedBothWays) {
  PortOnReceiver r(9600);
  ComPort port;
  ASSERT_TRUE(port.Open(2));
  ASSERT_TRUE(port.Configure(9600));
  const std::string out("$PSRF,1\r\n\0\x03\xff", 12), in("ab\rcd\x7f\x03\n", 8);
  EXPECT_EQ(port.Write(reinterpret_cast<const uint8_t*>(out.data()), 12), 12);
  ASSERT_TRUE(r.Receiver.WaitForWritten(12, 10000));
  EXPECT_EQ(r.Receiver.Written(), out);
  r.Receiver.StreamSentences({}, false);
  r.Receiver.SendBytes(in);
  r.Receiver.Start();
  ASSERT_TRUE(r.Receiver.WaitUntilDrained(10000));
  std::string got;
  uint8_t buffer[50];
  for (int i = 0; i < 1000 && got.size() < in.size(); ++i) {  // arrival is asynchronous
    const int32_t n = port.Read(buffer, sizeof buffer);
    got.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
    if (n == 0) platform::Sleep(10);
  }
  EXPECT_EQ(got, in);
}

}  // namespace
}  // namespace velmira
