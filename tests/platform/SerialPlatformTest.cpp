#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "support/ReceiverSimulator.h"
#include "platform/Files.h"
#include "platform/Serial.h"

namespace platform {
namespace {

using velmira::test::IsolatedComPorts;
using velmira::test::LineSettings;
using velmira::test::ReceiverSimulator;

HANDLE OpenExclusive(const char16_t* name) {
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(ComPortNames, OnlyThePlatformsTwoFormsNameAPort) {
  EXPECT_EQ(ComPortFromName("COM3:"), 3);
  EXPECT_EQ(ComPortFromName("\\\\.\\COM3"), 3);
  EXPECT_EQ(ComPortFromName("\\\\.\\COM12"), 12);
  EXPECT_EQ(ComPortFromName("\\\\.\\COM255"), 255);
  EXPECT_EQ(ComPortFromName("COM12:"), 0) << "two digits need the backslash form";
  EXPECT_EQ(ComPortFromName("COM3"), 0);
  EXPECT_EQ(ComPortFromName("COM0:"), 0);
  EXPECT_EQ(ComPortFromName("\\\\.\\COM256"), 0);
  EXPECT_EQ(ComPortFromName("\\\\.\\COM012"), 0);
  EXPECT_EQ(ComPortFromName("\\\\.\\COM1x"), 0);
  EXPECT_EQ(ComPortFromName("/dev/ttyS0"), 0);
}

TEST(ComPortMapping, DefaultsCoverUsbReceiversAndOverridesRestore) {
  EXPECT_EQ(ComDevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(ComDevicePath(4), "/dev/ttyS3");
  EXPECT_EQ(ComDevicePath(5), "/dev/ttyUSB0");
  EXPECT_EQ(ComDevicePath(6), "/dev/ttyUSB1");
  EXPECT_EQ(ComDevicePath(7), "/dev/ttyACM0");
  EXPECT_EQ(ComDevicePath(8), "/dev/ttyACM1");
  EXPECT_EQ(ComDevicePath(9), "/dev/ttyS8");
  EXPECT_EQ(ComDevicePath(0), "");
  EXPECT_EQ(VmComPort_SetDevice(0, "/x"), 0);
  EXPECT_EQ(VmComPort_SetDevice(256, "/x"), 0);

  ASSERT_EQ(VmComPort_SetDevice(5, "/dev/gps0"), 1);
  EXPECT_EQ(ComDevicePath(5), "/dev/gps0");
  ASSERT_EQ(VmComPort_SetDevice(5, nullptr), 1);
  EXPECT_EQ(ComDevicePath(5), "/dev/ttyUSB0");
}

// The simulator relies on this: terminal ioctls on the master act on the slave's settings.
TEST(PseudoTerminal, MasterSideReportsSettingsMadeOnTheSlave) {
  ReceiverSimulator receiver(4800);
  ASSERT_TRUE(receiver.Ready());
  int slave = ::open(receiver.DevicePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios t{};
  ASSERT_EQ(::tcgetattr(slave, &t), 0);
  ::cfsetispeed(&t, B9600);
  ::cfsetospeed(&t, B9600);
  t.c_cflag |= CSTOPB;
  ASSERT_EQ(::tcsetattr(slave, TCSANOW, &t), 0);
  LineSettings line;
  ASSERT_TRUE(receiver.ReadLineSettings(&line));
  EXPECT_EQ(line.Rate, 9600u);
  EXPECT_TRUE(line.TwoStopBits);
  ::close(slave);
}

TEST(SerialLine, ExclusiveOpenRefusesASecondOpenEvenForRoot) {
  ReceiverSimulator receiver(4800);
  ASSERT_TRUE(receiver.Ready());
  IsolatedComPorts ports;
  ports.Map(3, receiver.DevicePath());
  UniqueHandle first(OpenExclusive(u"COM3:"));
  ASSERT_TRUE(first.Valid()) << GetLastError();
  HANDLE second = OpenExclusive(u"\\\\.\\COM3");
  EXPECT_EQ(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  first.Reset();
  UniqueHandle third(OpenExclusive(u"\\\\.\\COM3"));
  EXPECT_TRUE(third.Valid()) << "the lock must go with the handle";
}

TEST(SerialLine, OpenFailuresMapToPlatformNumbers) {
  IsolatedComPorts ports;
  ports.Map(2, "/etc/hostname/below-a-file");
  ports.Map(3, "/tmp");
  EXPECT_EQ(OpenExclusive(u"COM1:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenExclusive(u"COM2:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(OpenExclusive(u"COM3:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(SerialLine, CommStateRoundTripsIncludingArbitraryRates) {
  ReceiverSimulator receiver(4800);
  ASSERT_TRUE(receiver.Ready());
  IsolatedComPorts ports;
  ports.Map(2, receiver.DevicePath());
  UniqueHandle port(OpenExclusive(u"COM2:"));
  ASSERT_TRUE(port.Valid());
  DCB dcb;
  ASSERT_TRUE(GetCommState(port.Get(), &dcb));
  dcb.BaudRate = 31250;  // not in the termios table
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = TWOSTOPBITS;
  ASSERT_TRUE(SetCommState(port.Get(), &dcb)) << GetLastError();
  DCB back;
  ASSERT_TRUE(GetCommState(port.Get(), &back));
  EXPECT_EQ(back.BaudRate, 31250u);
  EXPECT_EQ(back.StopBits, TWOSTOPBITS);
  EXPECT_EQ(back.ByteSize, 8);
  LineSettings line;
  ASSERT_TRUE(receiver.ReadLineSettings(&line));
  EXPECT_EQ(line.Rate, 31250u);
  EXPECT_TRUE(line.TwoStopBits);

  dcb.ByteSize = 9;
  EXPECT_FALSE(SetCommState(port.Get(), &dcb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(SerialLine, ReadsReturnAtOnceAndCommCallsRefuseFiles) {
  ReceiverSimulator receiver(4800);
  ASSERT_TRUE(receiver.Ready());
  IsolatedComPorts ports;
  ports.Map(2, receiver.DevicePath());
  UniqueHandle port(OpenExclusive(u"COM2:"));
  ASSERT_TRUE(port.Valid());
  COMMTIMEOUTS t;
  ASSERT_TRUE(GetCommTimeouts(port.Get(), &t));
  EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
  uint8_t buffer[50];
  DWORD got = 99;
  EXPECT_TRUE(ReadFile(port.Get(), buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, 0u);

  UniqueHandle file(CreateFileW(u"/etc/hostname", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.Valid());
  DCB dcb;
  EXPECT_FALSE(GetCommState(file.Get(), &dcb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(PurgeComm(file.Get(), PURGE_RXCLEAR));
}

}  // namespace
}  // namespace platform
