// The platform services on Linux: serial ports (names, the COM port map, exclusive opens,
// error numbers, comm state with arbitrary rates, reads that return at once) and windows
// (posting order across threads, what happens to messages whose window goes away, children,
// the foreground window, the pixel surface and its PNG file).
#include <gtest/gtest.h>
#include <png.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "platform/Serial.h"
#include "platform/Windows.h"
#include "platform/WorkerPool.h"
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
  for (auto [name, error] : {std::pair{u"COM1:", ERROR_FILE_NOT_FOUND},
                             {u"COM2:", ERROR_PATH_NOT_FOUND}, {u"COM4:", ERROR_ACCESS_DENIED}}) {
    EXPECT_EQ(OpenExclusive(name), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), error) << "COM" << static_cast<char>(name[3]);
  }

  DCB dcb, back;
  ASSERT_TRUE(GetCommState(port.Get(), &dcb));
  dcb.BaudRate = 31250;  // not in the termios table
  dcb.ByteSize = 8;
  dcb.StopBits = TWOSTOPBITS;
  ASSERT_TRUE(SetCommState(port.Get(), &dcb) && GetCommState(port.Get(), &back)) << GetLastError();
  velmira::test::LineSettings line;
  ASSERT_TRUE(receiver.ReadLineSettings(&line));
  EXPECT_EQ(std::vector<uint32_t>({back.BaudRate, back.StopBits, line.Rate, line.TwoStopBits}),
            std::vector<uint32_t>({31250, TWOSTOPBITS, 31250, 1}));
  dcb.ByteSize = 9;
  EXPECT_FALSE(SetCommState(port.Get(), &dcb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  uint8_t buffer[50];
  DWORD got = 99;  // nothing sent: the read returns at once
  EXPECT_TRUE(ReadFile(port.Get(), buffer, sizeof buffer, &got, nullptr) && got == 0);
  port.Reset();
  EXPECT_TRUE(UniqueHandle(OpenExclusive(u"\\\\.\\COM3")).Valid()) << "the lock goes with it";

  UniqueHandle file(CreateFileW(u"/etc/hostname", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(GetCommState(file.Get(), &dcb) || PurgeComm(file.Get(), PURGE_RXCLEAR));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

std::atomic<int> Discarded{0};
void CountDiscard(uint32_t, uintptr_t, intptr_t lParam) { Discarded += static_cast<int>(lParam); }

TEST(WindowMessages, PostingOrderAcrossThreadsAndDeleteDiscardsPendingOfTheWholeTree) {
  HWND top = VmWindow_New(nullptr, 0, 0, 100, 100), idle = VmWindow_New(nullptr, 0, 0, 1, 1);
  HWND child = VmWindow_New(top, 10, 10, 20, 20), grandchild = VmWindow_New(child, 1, 1, 5, 5);
  constexpr int Count = 5000;
  std::thread poster([top] {
    for (int i = 0; i < Count; ++i) platform::PostMessageW(top, 1125, 1, i);
  });
  VmMsg m;
  for (int i = 0; i < Count; ++i) {
    ASSERT_EQ(VmWindow_GetMessage(top, &m, -1), 1);
    ASSERT_TRUE(m.lParam == i && m.hwnd == top && m.message == 1125u) << i;
  }
  poster.join();
  EXPECT_EQ(VmWindow_GetMessage(top, &m, 0), 0);
  std::atomic<int> result{2};
  std::thread waiter([&] {  // it may or may not be waiting yet; either way it must come back
    platform::MSG m;
    result = platform::GetMessageW(&m, idle, platform::INFINITE);
  });
  VmWindow_Delete(idle);
  waiter.join();
  EXPECT_EQ(result, -1);
  // This thread has just posted to the window when it goes: the look-up it remembers must
  // not outlive the window. Messages left after a take go back with the window too.
  Discarded = 0;
  EXPECT_TRUE(platform::PostMessageW(top, 1125, 1, 1, CountDiscard));
  platform::PostMessageW(top, 1125, 1, 10, CountDiscard);
  ASSERT_EQ(VmWindow_GetMessage(top, &m, 0), 1);  // the reader takes the oldest
  EXPECT_EQ(m.lParam, 1);
  platform::PostMessageW(grandchild, 1125, 1, 100, CountDiscard);
  platform::PostMessageW(grandchild, 1125, 1, 1000, nullptr);  // carries nothing
  VmWindow_Delete(top);
  EXPECT_EQ(Discarded, 110);
  EXPECT_FALSE(platform::IsWindow(child) || platform::IsWindow(grandchild));
  EXPECT_EQ(VmWindow_New(child, 0, 0, 1, 1), nullptr);
  EXPECT_FALSE(platform::PostMessageW(top, 1125, 5, 7, CountDiscard));
  EXPECT_FALSE(platform::PostMessageW(nullptr, 1125, 5, 7, CountDiscard));
  EXPECT_EQ(Discarded, 110) << "a refused post leaves the object with the caller";
  EXPECT_EQ(VmWindow_GetMessage(top, &m, 0), 0);
}

// Every part of every job runs exactly once, on the asking thread alone when limited to one,
// while another thread runs jobs on the same pool and parts run jobs of their own.
TEST(WorkerPool, EveryPartOnceWhileAnotherThreadAndNestedJobsShareThePool) {
  constexpr int32_t Parts = 300, Jobs = 40, Inner = 7;
  for (int32_t threads : {1, 2, 3}) {
    WorkerPool pool;
    pool.SetThreads(threads);
    std::vector<std::atomic<int32_t>> counts(2 * Parts);
    std::atomic<int32_t> inner{0}, elsewhere{0};
    auto jobs = [&](int32_t first) {
      const std::thread::id asker = std::this_thread::get_id();
      for (int32_t j = 0; j < Jobs; ++j) {
        pool.Run(Parts, [&](int32_t part) {
          counts[static_cast<size_t>(first + part)].fetch_add(1);
          if (std::this_thread::get_id() != asker) elsewhere.fetch_add(1);
          if (part % 50 == 0) pool.Run(Inner, [&](int32_t) { inner.fetch_add(1); });
        });
      }
    };
    std::thread other(jobs, Parts);
    jobs(0);
    other.join();
    for (size_t i = 0; i < counts.size(); ++i) ASSERT_EQ(counts[i].load(), Jobs) << threads << " threads, part " << i;
    EXPECT_EQ(inner.load(), 2 * Jobs * (Parts / 50) * Inner);
    EXPECT_TRUE(threads > 1 || elsewhere.load() == 0) << "one thread: the asking one";
  }
}

TEST(WindowTree, ForegroundAndChildLookup) {
  HWND top = VmWindow_New(nullptr, 0, 0, 100, 50);
  HWND left = VmWindow_New(top, 0, 0, 40, 50);
  HWND overlap = VmWindow_New(top, 30, 0, 40, 50);  // created later: on top of left
  VmWindow_SetForeground(left);
  EXPECT_EQ(platform::GetForegroundWindow(), left);
  const std::pair<platform::POINT, HWND> hits[] = {
      {{5, 5}, left}, {{35, 5}, overlap}, {{70, 5}, top},  // right edges are exclusive
      {{99, 49}, top}, {{100, 0}, nullptr}, {{-1, 0}, nullptr}};
  for (auto [at, want] : hits) EXPECT_EQ(platform::ChildWindowFromPoint(top, at), want) << at.x;
  VmWindow_Delete(left);
  EXPECT_EQ(platform::GetForegroundWindow(), nullptr);
  EXPECT_EQ(platform::ChildWindowFromPoint(top, {5, 5}), top);
  VmWindow_Delete(top);
  EXPECT_FALSE(platform::IsWindow(overlap));
}

TEST(WindowSurface, NewSurfaceIsWhiteSidesAreClampedAndThePngIsRgb) {
  HWND w = VmWindow_New(nullptr, 0, 0, 3, 2), odd = VmWindow_New(nullptr, 0, 0, -5, 1 << 30);
  int32_t width = 0, height = 0, stride = 0;
  const uint8_t* px = VmWindow_GetPixels(w, &width, &height, &stride);
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(width * 10000 + height * 100 + stride, 30212);
  EXPECT_EQ(std::vector<uint8_t>(px, px + stride * height), std::vector<uint8_t>(24, 0xFF));
  VmWindow_GetPixels(odd, &width, &height, nullptr);
  EXPECT_EQ(width * 100000 + height, platform::MaxWindowSide);
  VmWindow_Delete(odd);
  EXPECT_TRUE(VmWindow_GetPixels(odd, &width, nullptr, nullptr) == nullptr && width == 0);

  const std::string path = ::testing::TempDir() + "velmira_window.png";
  ASSERT_EQ(VmWindow_SavePng(w, path.c_str()), 1);
  EXPECT_EQ(VmWindow_SavePng(w, "/nonexistent-dir/x.png") + VmWindow_SavePng(w, nullptr), 0);
  VmWindow_Delete(w);
  EXPECT_EQ(VmWindow_SavePng(w, "/tmp/never.png"), 0);
  // The pixels are read back by the tool tests (tests/tools); here only what they cannot see.
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
  EXPECT_EQ(image.width * 100 + image.height, 302u);
  EXPECT_EQ(image.format, static_cast<png_uint_32>(PNG_FORMAT_RGB)) << "8-bit RGB, no alpha";
  png_image_free(&image);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace platform
