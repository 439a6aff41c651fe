// Enabling and disabling the port over and over must not leak descriptors, threads or the
// port's lock, and every stop must end the reader thread within its limit.
#include <gtest/gtest.h>

#include <dirent.h>

#include "frame/Error.h"
#include "gps/GpsFix.h"
#include "gps/NmeaParser.h"
#include "gps/SerialReader.h"
#include "support/ReceiverSimulator.h"

namespace velmira {
namespace {

int CountEntries(const char* folder) {
  DIR* dir = ::opendir(folder);
  int count = 0;
  while (dir != nullptr && ::readdir(dir) != nullptr) ++count;
  if (dir != nullptr) ::closedir(dir);
  return count;
}

// Runs `cycles` enable/disable cycles on a parser set to `port` and `rate`; every
// `readEvery`th cycle waits for a fix to make sure the thread really reads, and every
// `pauseEvery`th lets the thread get that many milliseconds into detection.
void Cycle(int32_t receiverRate, int16_t port, int32_t rate, int cycles, int readEvery,
           int pauseEvery) {
  test::IsolatedComPorts ports;
  ports.Plug(receiverRate, port).Start();
  const int fds = CountEntries("/proc/self/fd"), threads = CountEntries("/proc/self/task");
  {
    auto parser = MakeRef<NmeaParser>();
    parser->SetNoEvents(true);
    parser->SetComPort(rate == 0 ? 0 : port);
    parser->SetBaudRate(rate);
    for (int cycle = 0; cycle < cycles; ++cycle) {
      parser->SetPortEnabled(true);
      ASSERT_EQ(parser->GetError().Code, 0) << "cycle " << cycle << ": " << parser->GetError().Message;
      if (readEvery > 0 && cycle % readEvery == 0) {
        EXPECT_TRUE(Ref<GpsFix>::Adopt(parser->GetGpsFix(10000, 0))) << "cycle " << cycle;
      }
      if (pauseEvery > 0 && cycle % pauseEvery == 0) platform::Sleep(cycle);
      parser->SetPortEnabled(false);
      ASSERT_NE(parser->GetError().Code, errors::ThreadNotEnded.Code) << "cycle " << cycle;
    }
  }
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
  // Threads end a moment after they signal their handle; give them that moment.
  for (int i = 0; i < 1000 && CountEntries("/proc/self/task") > threads; ++i) platform::Sleep(10);
  EXPECT_LE(CountEntries("/proc/self/task"), threads);
  SerialReader other;
  EXPECT_TRUE(other.Open(port, 4800)) << "the port is still held";
}

TEST(SerialPortCycles, ThousandEnableDisableCyclesLeakNothing) {
  Cycle(115200, 2, 115200, 1000, 250, 0);
}

// 9600 is found only in the second pass, so the cycles stop detection at different stages.
TEST(SerialPortCycles, DisablingDuringDetectionEndsTheThreadEveryTime) {
  Cycle(9600, 3, 0, 100, 0, 10);
}

}  // namespace
}  // namespace velmira
