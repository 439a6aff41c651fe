// The serial soak: a receiver at 115200 baud feeds a parser on its COM port for a minute
// (VELMIRA_SOAK_SECONDS to change it), the way an application runs: event mode, the window's
// queue drained and every object deleted on the test's thread. Every sentence must arrive, in
// order, and the heap in use must not grow after the first few seconds. Nothing here keeps what
// it sent or received, so the process's heap is the library's working set plus constants.
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "support/GpsMessages.h"
#include "support/ReceiverSimulator.h"
#include "velmira/velmira.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t Baud = 115200;
constexpr int16_t Port = 2;
constexpr uintptr_t KindSentence = 1;
// Growth allowed between the end of the warm-up and the end: queues keep the largest capacity
// they needed (a few thousand messages if this thread is held up for seconds). A leak of one
// object per sentence exceeds it within the first ten thousand sentences (a minute).
constexpr size_t AllowedGrowth = 256 * 1024;

// Sentence `n` of the stream: a fix (GGA), a fix with movement (RMC) or a proprietary
// sentence, each carrying n in its time, so that a lost, repeated or reordered sentence shows.
std::string Sentence(int64_t n) {
  char time[24];
  std::snprintf(time, sizeof time, "%06lld.%02lld", static_cast<long long>(n / 100 % 1000000),
                static_cast<long long>(n % 100));
  const std::string t = time;
  return velmira::test::WithChecksum(
      n % 3 == 0   ? "GPGGA," + t + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"
      : n % 3 == 1 ? "GPRMC," + t + ",A,4807.038,N,01131.000,E,022.4,084.4,230394,,"
                   : "PVELM,SOAK," + t);
}

size_t HeapInUse() {
  const struct mallinfo2 m = ::mallinfo2();
  return m.uordblks + m.hblkhd;  // allocated from the arenas, and mapped separately
}

int Seconds() {
  const char* text = std::getenv("VELMIRA_SOAK_SECONDS");
  const int seconds = text != nullptr ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 60;
}

TEST(SerialSoak, EverySentenceArrivesInOrderAndTheHeapDoesNotGrow) {
  velmira::test::IsolatedComPorts ports;
  velmira::test::ReceiverSimulator& receiver = ports.Plug(Baud, Port);
  receiver.StreamGenerated(Sentence);
  HWND window = VmWindow_New(nullptr, 0, 0, 1, 1);
  VmNmeaParser* parser = NmeaParser_New();
  NmeaParser_SetCallbackHWND(parser, window);
  NmeaParser_SetComPort(parser, Port);
  NmeaParser_SetBaudRate(parser, Baud);
  NmeaParser_SetPortEnabled(parser, 1);
  ASSERT_EQ(Error_ErrNum(NmeaParser_GetErrHandle(parser)), 0);
  receiver.Start();

  const int seconds = Seconds();
  const Clock::time_point start = Clock::now(), warm = start + std::chrono::seconds(seconds / 6);
  int64_t received = 0, wrong = 0;
  size_t heapAfterWarmUp = 0;
  auto take = [&](int32_t timeoutMs) {
    VmMsg m;
    if (VmWindow_GetMessage(window, &m, timeoutMs) != 1) return false;
    if (m.wParam == KindSentence) {
      BSTR s = NmeaSentence_GetSentence(reinterpret_cast<VmNmeaSentence*>(m.lParam), nullptr);
      const std::string text(s, s + SysStringLen(s));
      if (text != Sentence(received) && wrong++ < 5) {
        ADD_FAILURE() << "sentence " << received << " is " << text;
      }
      ++received;
    }
    testsupport::DeleteCarried(m);
    return true;
  };
  while (Clock::now() < start + std::chrono::seconds(seconds)) {
    take(100);
    if (heapAfterWarmUp == 0 && Clock::now() >= warm) heapAfterWarmUp = HeapInUse();
  }
  receiver.StopSending();
  while (received < receiver.SentCount() && take(5000)) {  // the rest is on its way
  }
  const size_t heapAtEnd = HeapInUse();
  NmeaParser_Delete(parser);
  VmWindow_Delete(window);

  EXPECT_EQ(received, receiver.SentCount());
  EXPECT_EQ(wrong, 0);
  EXPECT_LE(heapAtEnd, heapAfterWarmUp + AllowedGrowth);
  std::printf("[ info ] %lld sentences in %d s at %d baud; heap in use %zu KiB after %d s, "
              "%zu KiB at the end\n",
              static_cast<long long>(received), seconds, Baud, heapAfterWarmUp / 1024,
              seconds / 6, heapAtEnd / 1024);
}

}  // namespace
