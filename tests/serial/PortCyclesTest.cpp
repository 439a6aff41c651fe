#include <gtest/gtest.h>

#include <dirent.h>

#include "frame/Error.h"
#include "gps/GpsFix.h"
#include "gps/NmeaParser.h"
#include "gps/SerialReader.h"
#include "support/ReceiverSimulator.h"

namespace velmira {
namespace {

using test::IsolatedComPorts;
using test::ReceiverSimulator;

constexpr int Generous = 10000;  // ms

int CountEntries(const char* folder) {
  DIR* dir = ::opendir(folder);
  if (dir == nullptr) return -1;
  int count = 0;
  while (::readdir(dir) != nullptr) ++count;
  ::closedir(dir);
  return count;
}

// Threads end a moment after they signal their handle; give them that moment.
bool ThreadsBackTo(int baseline) {
  for (int i = 0; i < Generous / 10; ++i) {
    if (CountEntries("/proc/self/task") <= baseline) return true;
    platform::Sleep(10);
  }
  return false;
}

// Enabling and disabling the port over and over must not leak descriptors, threads or the
// port's lock, and every stop must end the reader thread within its limit.
TEST(SerialPortCycles, ThousandEnableDisableCyclesLeakNothing) {
  ReceiverSimulator receiver(115200);
  ASSERT_TRUE(receiver.Ready());
  IsolatedComPorts ports;
  ports.Map(2, receiver.DevicePath());
  receiver.Start();
  int fds = CountEntries("/proc/self/fd");
  int threads = CountEntries("/proc/self/task");
  {
    auto parser = MakeRef<NmeaParser>();
    parser->SetNoEvents(true);
    parser->SetComPort(2);
    parser->SetBaudRate(115200);
    for (int cycle = 0; cycle < 1000; ++cycle) {
      parser->SetPortEnabled(true);
      ASSERT_EQ(parser->GetError().Code, 0) << "cycle " << cycle << ": " << parser->GetError().Message;
      if (cycle % 250 == 0) {  // now and then make sure the thread really reads
        Ref<GpsFix> fix = Ref<GpsFix>::Adopt(parser->GetGpsFix(Generous, 0));
        EXPECT_TRUE(fix) << "cycle " << cycle;
      }
      parser->SetPortEnabled(false);
      ASSERT_NE(parser->GetError().Code, errors::ThreadNotEnded.Code) << "cycle " << cycle;
    }
  }
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
  EXPECT_TRUE(ThreadsBackTo(threads));
  SerialReader other;
  EXPECT_TRUE(other.Open(2, 4800)) << "the port is still held";
}

TEST(SerialPortCycles, DisablingDuringDetectionEndsTheThreadEveryTime) {
  ReceiverSimulator receiver(9600);  // found only in the second pass, so cycles stop detection
  ASSERT_TRUE(receiver.Ready());
  IsolatedComPorts ports;
  ports.Map(3, receiver.DevicePath());
  receiver.Start();
  int fds = CountEntries("/proc/self/fd");
  int threads = CountEntries("/proc/self/task");
  {
    auto parser = MakeRef<NmeaParser>();
    parser->SetNoEvents(true);
    parser->SetBaudRate(0);
    for (int cycle = 0; cycle < 100; ++cycle) {
      parser->SetPortEnabled(true);
      ASSERT_EQ(parser->GetError().Code, 0);
      if (cycle % 10 == 0) platform::Sleep(cycle);  // land in different stages of detection
      parser->SetPortEnabled(false);
      ASSERT_NE(parser->GetError().Code, errors::ThreadNotEnded.Code) << "cycle " << cycle;
    }
  }
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
  EXPECT_TRUE(ThreadsBackTo(threads));
}

}  // namespace
}  // namespace velmira
