// Sentences per second from a TCP server on the loopback through VmNmeaParser_OpenSource in event
// mode: the benchmark thread serves the sample drive log, the parser's reader thread frames and
// decodes it, and a third thread drains and deletes the window messages, as an application's
// message loop would. bench_nmea_parse's BM_ParseEvents is the same work from memory.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "support/GpsMessages.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace {

using testsupport::DeleteCarried;

// The sample drive log as the receiver sent it, and its line count.
std::string LoadLog(int64_t& lines) {
  std::ifstream in(VELMIRA_SOURCE_DIR "/examples/drive.nmea", std::ios::binary);
  std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  lines = 0;
  for (char c : log) lines += c == '\n';
  return log;
}

// Messages taken so far, and the thread that takes them.
struct Drain {
  explicit Drain(HWND window)
      : Worker([this, window] {
          VmMsg m;
          while (!Stop.load()) {
            if (VmWindow_GetMessage(window, &m, 50) != 1) continue;
            DeleteCarried(m);
            Taken.fetch_add(1, std::memory_order_release);
          }
        }) {}
  ~Drain() {
    Stop = true;
    Worker.join();
  }
  // Waits until no message has come for quietMs; the count then.
  long Settle(int quietMs) {
    long seen = -1;
    while (seen != Taken.load()) {
      seen = Taken.load();
      std::this_thread::sleep_for(std::chrono::milliseconds(quietMs));
    }
    return seen;
  }
  std::atomic<long> Taken{0};
  std::atomic<bool> Stop{false};
  std::thread Worker;
};

bool SendAll(int fd, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void BM_TcpEvents(benchmark::State& state) {
  int64_t lines = 0;
  const std::string log = LoadLog(lines);
  int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener, 1) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
    state.SkipWithError("no loopback socket");
    return;
  }
  VmNmeaParser* parser = NmeaParser_New();
  HWND window = VmWindow_New(nullptr, 0, 0, 0, 0);
  NmeaParser_SetCallbackHWND(parser, window);
  {
    Drain drain(window);
    const std::string url = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    VmNmeaParser_OpenSource(parser, url.c_str());
    const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    // Messages per pass as the stream settles: the second pass starts, as every later one does,
    // with the parser state the end of the log leaves behind.
    long perPass = 0;
    for (int pass = 0; pass < 2 && client >= 0; ++pass) {
      const long before = drain.Settle(0);
      SendAll(client, log);
      perPass = drain.Settle(300) - before;
    }
    if (client < 0 || perPass <= 0) state.SkipWithError("nothing came through the link");
    long expected = drain.Taken.load();
    for (auto _ : state) {
      if (!SendAll(client, log)) {
        state.SkipWithError("the link dropped");
        break;
      }
      expected += perPass;
      // The server has nothing more to do: it sleeps rather than take a core from the two
      // threads at work.
      while (drain.Taken.load(std::memory_order_acquire) < expected) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
    }
    state.SetItemsProcessed(state.iterations() * lines);
    state.counters["messages_per_sentence"] = static_cast<double>(perPass) / static_cast<double>(lines);
    VmNmeaParser_CloseSource(parser);
    if (client >= 0) ::close(client);
  }
  ::close(listener);
  NmeaParser_SetCallbackHWND(parser, nullptr);
  NmeaParser_Delete(parser);
  VmWindow_Delete(window);
}
BENCHMARK(BM_TcpEvents)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
