// The serial soak: a receiver at 115200 baud feeds a parser on its COM port for a minute
// (VELMIRA_SOAK_SECONDS to change it), the way an application runs: event mode, the window's
// queue drained and every object deleted on the test's thread. Every sentence must arrive, in
// order, and the heap in use must not grow after the first few seconds. Nothing here keeps what
// it sent or received, so the process's heap is the library's working set plus constants.
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/GpsMessages.h"
#include "support/ReceiverSimulator.h"
#include "velmira/velmira.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t Baud = 115200;
constexpr double BytesPerSecond = Baud / 10.0;  // 8N1: ten bits a byte
constexpr int16_t Port = 2;
constexpr uintptr_t KindSentence = 1;
// Growth allowed between the end of the warm-up and the end: queues keep the largest capacity
// they needed (a few thousand messages if this thread is held up for seconds). A leak of one
// object per sentence exceeds it within the first ten thousand sentences (a minute).
constexpr size_t AllowedGrowth = 256 * 1024;

// Sentence `n` of the stream: a fix (GGA), a fix with movement (RMC) or a proprietary
// sentence, each carrying n, so that a lost, repeated or reordered sentence shows.
std::string Sentence(int64_t n) {
  const int64_t c = n % 8640000;  // n as hundredths of a second of the day
  char time[16], body[128];
  std::snprintf(time, sizeof time, "%02d%02d%02d.%02d", static_cast<int>(c / 360000),
                static_cast<int>(c / 6000 % 60), static_cast<int>(c / 100 % 60),
                static_cast<int>(c % 100));
  const double lat = 7.0 + static_cast<double>(n % 50000) * 0.0001;  // minutes of 48 N
  if (n % 3 == 0) {
    std::snprintf(body, sizeof body, "GPGGA,%s,48%07.4f,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
                  time, lat);
  } else if (n % 3 == 1) {
    std::snprintf(body, sizeof body, "GPRMC,%s,A,48%07.4f,N,01131.000,E,022.4,084.4,230394,,",
                  time, lat);
  } else {
    std::snprintf(body, sizeof body, "PVELM,SOAK,%lld", static_cast<long long>(n));
  }
  return velmira::test::WithChecksum(body);
}

// A receiver on the master side of a pseudo-terminal, sending the stream at the line's byte
// rate. It waits while the line is full, so nothing is dropped before the library.
class Receiver {
 public:
  Receiver() {
    Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[128];
    if (Master >= 0 && ::grantpt(Master) == 0 && ::unlockpt(Master) == 0 &&
        ::ptsname_r(Master, name, sizeof name) == 0) {
      Path = name;
    }
  }
  ~Receiver() {
    Stop();
    if (Master >= 0) ::close(Master);
  }
  const std::string& DevicePath() const { return Path; }
  void Start() {
    Worker = std::thread([this] { Run(); });
  }
  void Stop() {
    Quit = true;
    if (Worker.joinable()) Worker.join();
  }
  int64_t SentCount() const { return Sent.load(); }

 private:
  void Run() {
    const Clock::time_point start = Clock::now();
    double bytes = 0;
    while (!Quit) {
      const double due =
          std::chrono::duration<double>(Clock::now() - start).count() * BytesPerSecond;
      while (bytes < due && !Quit) {
        const std::string line = Sentence(Sent.load()) + "\r\n";
        if (!Write(line)) return;
        bytes += static_cast<double>(line.size());
        Sent.fetch_add(1);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  // The whole line, or false when stopped before it went out or the line failed.
  bool Write(const std::string& line) {
    size_t done = 0;
    while (done < line.size() && !Quit) {
      const ssize_t n = ::write(Master, line.data() + done, line.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else if (n < 0 && errno != EAGAIN) {
        return false;
      } else {
        pollfd wait{Master, POLLOUT, 0};
        ::poll(&wait, 1, 100);
      }
    }
    return done == line.size();
  }

  int Master = -1;
  std::string Path;
  std::thread Worker;
  std::atomic<bool> Quit{false};
  std::atomic<int64_t> Sent{0};
};

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
  Receiver receiver;
  ASSERT_FALSE(receiver.DevicePath().empty());
  ASSERT_EQ(VmComPort_SetDevice(Port, receiver.DevicePath().c_str()), 1);
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
  receiver.Stop();
  while (received < receiver.SentCount() && take(5000)) {  // the rest is on its way
  }
  const size_t heapAtEnd = HeapInUse();
  NmeaParser_Delete(parser);
  VmWindow_Delete(window);
  VmComPort_SetDevice(Port, nullptr);

  EXPECT_EQ(received, receiver.SentCount());
  EXPECT_EQ(wrong, 0);
  EXPECT_LE(heapAtEnd, heapAfterWarmUp + AllowedGrowth);
  std::printf("[ info ] %lld sentences in %d s at %d baud; heap in use %zu KiB after %d s, "
              "%zu KiB at the end\n",
              static_cast<long long>(received), seconds, Baud, heapAfterWarmUp / 1024,
              seconds / 6, heapAtEnd / 1024);
}

}  // namespace
