// The serial port services on Linux: port names, the COM port map, exclusive opens, error
// numbers, comm state with arbitrary rates and reads that return at once.
#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/Serial.h"
#include "support/ReceiverSimulator.h"

namespace platform {
namespace {

HANDLE OpenExclusive(const char16_t* name) {
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(ComPortNames, OnlyThePlatformsTwoFormsNameAPortAndTheMapCoversUsbReceivers) {
  const std::pair<const char*, int> names[] = {
      {"COM3:", 3},        {"\\\\.\\COM3", 3},   {"\\\\.\\COM12", 12}, {"\\\\.\\COM255", 255},
      {"COM12:", 0},  // two digits need the backslash form
      {"COM3", 0},         {"COM0:", 0},         {"\\\\.\\COM256", 0}, {"\\\\.\\COM012", 0},
      {"\\\\.\\COM1x", 0}, {"/dev/ttyS0", 0}};
  for (auto [name, port] : names) EXPECT_EQ(ComPortFromName(name), port) << name;
  const std::pair<int16_t, const char*> paths[] = {
      {1, "/dev/ttyS0"},   {4, "/dev/ttyS3"},   {5, "/dev/ttyUSB0"}, {6, "/dev/ttyUSB1"},
      {7, "/dev/ttyACM0"}, {8, "/dev/ttyACM1"}, {9, "/dev/ttyS8"},   {0, ""}};
  for (auto [port, path] : paths) EXPECT_EQ(ComDevicePath(port), path) << port;
  EXPECT_EQ(VmComPort_SetDevice(0, "/x") + VmComPort_SetDevice(256, "/x"), 0);
  ASSERT_EQ(VmComPort_SetDevice(5, "/dev/gps0"), 1);
  EXPECT_EQ(ComDevicePath(5), "/dev/gps0");
  ASSERT_EQ(VmComPort_SetDevice(5, nullptr), 1);
  EXPECT_EQ(ComDevicePath(5), "/dev/ttyUSB0");
}

TEST(SerialLine, ExclusiveOpenCommStateAndImmediateReadsAndFailuresMapToPlatformNumbers) {
  velmira::test::IsolatedComPorts ports;
  velmira::test::ReceiverSimulator& receiver = ports.Plug(4800, 3);
  UniqueHandle port(OpenExclusive(u"COM3:"));
  ASSERT_TRUE(port.Valid()) << GetLastError();
  EXPECT_EQ(OpenExclusive(u"\\\\.\\COM3"), INVALID_HANDLE_VALUE) << "even for root";
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ports.Map(2, "/etc/hostname/below-a-file");
  ports.Map(4, "/tmp");
  const std::pair<const char16_t*, DWORD> failures[] = {
      {u"COM1:", ERROR_FILE_NOT_FOUND},
      {u"COM2:", ERROR_PATH_NOT_FOUND},
      {u"COM4:", ERROR_ACCESS_DENIED}};
  for (auto [name, error] : failures) {
    EXPECT_EQ(OpenExclusive(name), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), error) << "COM" << static_cast<char>(name[3]);
  }

  DCB dcb, back;
  ASSERT_TRUE(GetCommState(port.Get(), &dcb));
  dcb.BaudRate = 31250;  // not in the termios table
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = TWOSTOPBITS;
  ASSERT_TRUE(SetCommState(port.Get(), &dcb)) << GetLastError();
  ASSERT_TRUE(GetCommState(port.Get(), &back));
  EXPECT_EQ(std::vector<uint32_t>({back.BaudRate, back.StopBits, back.ByteSize}),
            std::vector<uint32_t>({31250, TWOSTOPBITS, 8}));
  velmira::test::LineSettings line;
  ASSERT_TRUE(receiver.ReadLineSettings(&line));
  EXPECT_EQ(line.Rate, 31250u);
  EXPECT_TRUE(line.TwoStopBits);
  dcb.ByteSize = 9;
  EXPECT_FALSE(SetCommState(port.Get(), &dcb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  COMMTIMEOUTS t;
  ASSERT_TRUE(GetCommTimeouts(port.Get(), &t));
  EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
  uint8_t buffer[50];
  DWORD got = 99;
  EXPECT_TRUE(ReadFile(port.Get(), buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, 0u);
  port.Reset();
  EXPECT_TRUE(UniqueHandle(OpenExclusive(u"\\\\.\\COM3")).Valid()) << "the lock goes with it";

  UniqueHandle file(CreateFileW(u"/etc/hostname", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.Valid());
  EXPECT_FALSE(GetCommState(file.Get(), &dcb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(PurgeComm(file.Get(), PURGE_RXCLEAR));
}

}  // namespace
}  // namespace platform
