#include <gtest/gtest.h>

#include <cstring>

#include "support/ReceiverSimulator.h"
#include "frame/Error.h"
#include "gps/ComPort.h"

namespace velmira {
namespace {

using test::IsolatedComPorts;
using test::LineSettings;
using test::ReceiverSimulator;

std::string NameOf(int16_t port) {
  char name[ComPort::MaxNameLength];
  ComPort::DeviceName(port, name, sizeof name);
  return name;
}

TEST(ComPortNames, SingleDigitPortsUseColonFormAndOthersTheBackslashForm) {
  EXPECT_EQ(NameOf(3), "COM3:");
  EXPECT_EQ(NameOf(9), "COM9:");
  EXPECT_EQ(NameOf(10), "\\\\.\\COM10");
  EXPECT_EQ(NameOf(12), "\\\\.\\COM12");
}

// Port 12 only opens when asked for under the backslash name, port 3 only under "COM3:".
TEST(ComPortOpen, PortsOpenThroughTheirDeviceNames) {
  ReceiverSimulator twelve(4800), three(4800);
  ASSERT_TRUE(twelve.Ready() && three.Ready());
  IsolatedComPorts ports;
  ports.Map(12, twelve.DevicePath());
  ports.Map(3, three.DevicePath());
  ComPort port;
  EXPECT_TRUE(port.Open(12)) << port.GetError().Code;
  port.Close();
  EXPECT_TRUE(port.Open(3)) << port.GetError().Code;
  EXPECT_EQ(port.GetError().Code, 0);
}

TEST(ComPortOpen, FailuresNameTheCaseAndHoldNothing) {
  ReceiverSimulator receiver(4800);
  ASSERT_TRUE(receiver.Ready());
  IsolatedComPorts ports;
  ports.Map(2, receiver.DevicePath());
  ports.Map(4, "/etc/hostname/not-a-folder");

  ComPort missing;
  EXPECT_FALSE(missing.Open(1));
  EXPECT_EQ(missing.GetError().Code, errors::PortMissing.Code);
  EXPECT_STREQ(missing.GetError().Message, "Comm port does not exist");
  EXPECT_FALSE(missing.IsOpen());

  ComPort first, second;
  ASSERT_TRUE(first.Open(2));
  EXPECT_FALSE(second.Open(2));
  EXPECT_EQ(second.GetError().Code, errors::PortInUse.Code);
  EXPECT_STREQ(second.GetError().Message, "Comm port in use!");
  EXPECT_FALSE(second.IsOpen());
  first.Close();
  EXPECT_TRUE(second.Open(2)) << "closing must give the port back";

  ComPort other;
  EXPECT_FALSE(other.Open(4));
  EXPECT_EQ(other.GetError().Code, 3);  // the platform's number for "path not found"
  EXPECT_STREQ(other.GetError().Message, "Could not open comm port!");
}

TEST(ComPortConfigure, AppliesRateEightNOneRawAndNoFlowControl) {
  ReceiverSimulator receiver(4800);
  ASSERT_TRUE(receiver.Ready());
  IsolatedComPorts ports;
  ports.Map(2, receiver.DevicePath());
  ComPort port;
  EXPECT_FALSE(port.Configure(4800)) << "nothing to configure before Open";
  ASSERT_TRUE(port.Open(2));
  ASSERT_TRUE(port.Configure(4800));
  LineSettings line;
  ASSERT_TRUE(receiver.ReadLineSettings(&line));
  EXPECT_EQ(line.Rate, 4800u);
  EXPECT_EQ(line.DataBits, 8);
  EXPECT_FALSE(line.Parity);
  EXPECT_FALSE(line.TwoStopBits);
  EXPECT_FALSE(line.Canonical);
  EXPECT_FALSE(line.Echo);
  EXPECT_FALSE(line.Signals);
  EXPECT_FALSE(line.OutputProcessing);
  EXPECT_FALSE(line.InputTranslation);
  EXPECT_FALSE(line.HardwareFlow);
  EXPECT_FALSE(line.SoftwareFlow);
  EXPECT_TRUE(line.Receiver);
  EXPECT_TRUE(line.Local);

  // Rates the termios table lacks still reach the line.
  ASSERT_TRUE(port.Configure(14400));
  ASSERT_TRUE(receiver.ReadLineSettings(&line));
  EXPECT_EQ(line.Rate, 14400u);

  EXPECT_FALSE(port.Configure(0));
  EXPECT_EQ(port.GetError().Code, errors::PortRefusedBaudrate.Code);
  EXPECT_STREQ(port.GetError().Message, "Unknown baudrate!");
}

// Raw mode matters: a cooked line would turn CR into LF and hold bytes back until a newline.
TEST(ComPortIo, BytesPassUnchangedBothWays) {
  ReceiverSimulator receiver(9600);
  ASSERT_TRUE(receiver.Ready());
  IsolatedComPorts ports;
  ports.Map(2, receiver.DevicePath());
  ComPort port;
  ASSERT_TRUE(port.Open(2));
  ASSERT_TRUE(port.Configure(9600));

  std::string out("$PSRF,1\r\n\0\x03\xff", 12);
  EXPECT_EQ(port.Write(reinterpret_cast<const uint8_t*>(out.data()), 12), 12);
  ASSERT_TRUE(receiver.WaitForWritten(12, 10000));
  EXPECT_EQ(receiver.Written(), out);

  std::string in("ab\rcd\x7f\x03\n", 8);
  receiver.StreamSentences({}, false);
  receiver.SendBytes(in);
  receiver.Start();
  ASSERT_TRUE(receiver.WaitUntilDrained(10000));
  std::string got;
  uint8_t buffer[50];
  for (int i = 0; i < 1000 && got.size() < in.size(); ++i) {  // arrival is asynchronous
    int32_t n = port.Read(buffer, sizeof buffer);
    got.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
    if (n == 0) platform::Sleep(10);
  }
  EXPECT_EQ(got, in);
}

}  // namespace
}  // namespace velmira
