#include "ReceiverSimulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
// termios2 shows arbitrary rates; it cannot share a translation unit with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "velmira/platform.h"

namespace velmira::test {
namespace {

constexpr int TickMs = 2;               // how often the line is looked at
constexpr size_t MaxRawPiece = 64;      // raw bytes go out in pieces no larger than this
constexpr int64_t MaxLagBytes = 4096;   // a schedule further behind than this starts afresh
constexpr int DrainReadsPerTick = 64;

int64_t NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

// One second of a plausible receiver near Munich moving north-east: RMC, GGA, GSA, three GSV,
// VTG and GLL, with the time advancing by 50 ms per epoch so that every epoch is distinct.
std::vector<std::string> ReceiverEpoch(int epoch) {
  const int centis = epoch * 5;
  const std::string time = Format("%02d%02d%02d.%02d", 12 + centis / 360000 % 12,
                                  centis / 6000 % 60, centis / 100 % 60, centis % 100);
  const std::string at = Format("48%07.4f,N,011%07.4f,E", 7.038 + (epoch % 10000) * 0.0001,
                                31.000 + (epoch % 10000) * 0.0001);
  return {
      Format("GPRMC,%s,A,%s,022.4,084.4,230394,003.1,W", time.c_str(), at.c_str()),
      Format("GPGGA,%s,%s,1,08,0.9,545.4,M,46.9,M,,", time.c_str(), at.c_str()),
      "GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1",
      Format("GPGSV,3,1,11,03,03,%03d,00,04,15,270,00,06,01,010,00,13,06,292,00", epoch % 360),
      "GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00",
      "GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,",
      Format("GPVTG,%05.1f,T,034.4,M,005.5,N,010.2,K", 54.7 + epoch % 100),
      Format("GPGLL,%s,%s,A", at.c_str(), time.c_str()),
  };
}

}  // namespace

std::string WithChecksum(const std::string& body) {
  uint8_t sum = 0;
  for (unsigned char c : body) sum ^= c;
  return "$" + body + Format("*%02X", sum);
}

ReceiverSimulator::ReceiverSimulator(int32_t rate) : OwnRate(rate) {
  const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  char name[128];
  if (fd < 0 || ::grantpt(fd) || ::unlockpt(fd) || ::ptsname_r(fd, name, sizeof name)) {
    if (fd >= 0) ::close(fd);
    return;
  }
  // A real receiver does not echo; a fresh pseudo-terminal would, until the library makes the
  // line raw. The rate stays the kernel's default.
  termios2 t{};
  ::ioctl(fd, TCGETS2, &t);
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_oflag &= ~OPOST;
  t.c_iflag &= ~(ICRNL | INLCR | IGNCR | IXON | IXOFF);
  ::ioctl(fd, TCSETS2, &t);
  Master = fd;
  Path = name;
  Worker = std::thread([this] { Run(); });
}

void ReceiverSimulator::StreamSentences(const std::vector<std::string>& sentences) {
  std::lock_guard<std::mutex> hold(Mutex);
  Generate = false;
  Queue.clear();
  for (const std::string& s : sentences) Queue.emplace_back(s, true);
}

void ReceiverSimulator::StreamGenerated(std::function<std::string(int64_t)> next) {
  std::lock_guard<std::mutex> hold(Mutex);
  Next = std::move(next);
  Queue.clear();
}

void ReceiverSimulator::SendBytes(const std::string& bytes) {
  std::lock_guard<std::mutex> hold(Mutex);
  for (size_t i = 0, piece = 0; i < bytes.size(); i += MaxRawPiece, ++piece) {
    Queue.emplace(Queue.begin() + piece, bytes.substr(i, MaxRawPiece), false);
  }
}

void ReceiverSimulator::Start() {
  std::lock_guard<std::mutex> hold(Mutex);
  Sending = true;
  StartUs = NowUs();
  SentSinceStart = 0;
}

void ReceiverSimulator::StopSending() {
  std::lock_guard<std::mutex> hold(Mutex);
  Sending = false;
}

void ReceiverSimulator::Unplug() {
  {
    std::lock_guard<std::mutex> hold(Mutex);
    Quit = true;
  }
  if (Worker.joinable()) Worker.join();
  if (Master >= 0) ::close(Master);
  Master = -1;
}

bool ReceiverSimulator::ReadLineSettings(LineSettings* out) const {
  termios2 t{};
  // On the master side the terminal ioctls act on the slave's settings.
  if (Master < 0 || ::ioctl(Master, TCGETS2, &t) != 0) return false;
  out->Rate = t.c_ospeed;
  out->DataBits = 5 + static_cast<int>((t.c_cflag & CSIZE) / CS6);  // CS5..CS8 are 0..3 times CS6
  out->Parity = (t.c_cflag & PARENB) != 0;
  out->TwoStopBits = (t.c_cflag & CSTOPB) != 0;
  const std::pair<bool, const char*> flags[] = {
      {(t.c_lflag & ICANON) != 0, "canonical"}, {(t.c_lflag & (ECHO | ECHONL)) != 0, "echo"},
      {(t.c_lflag & ISIG) != 0, "signals"}, {(t.c_oflag & OPOST) != 0, "output-processing"},
      {(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)) != 0, "input-translation"},
      {(t.c_cflag & CRTSCTS) != 0, "hardware-flow"}, {(t.c_cflag & CREAD) == 0, "no-receiver"},
      {(t.c_iflag & (IXON | IXOFF)) != 0, "software-flow"},
      {(t.c_cflag & CLOCAL) == 0, "modem-lines"}};
  out->NotRaw.clear();
  for (auto [set, name] : flags) out->NotRaw += set ? std::string(" ") + name : "";
  return true;
}

bool ReceiverSimulator::SetInOrder(const std::vector<uint32_t>& rates) const {
  size_t next = 0;
  for (uint32_t seen : RatesSeen()) next += next < rates.size() && seen == rates[next];
  return next == rates.size();
}

bool ReceiverSimulator::WaitForRate(uint32_t rate, int timeoutMs) const {
  return WaitFor(timeoutMs, [&] { return std::count(Rates.begin(), Rates.end(), rate) > 0; });
}

bool ReceiverSimulator::WaitForWritten(size_t bytes, int timeoutMs) const {
  return WaitFor(timeoutMs, [&] { return WrittenBytes.size() >= bytes; });
}

void ReceiverSimulator::Run() {
  for (char buffer[512];;) {
    LineSettings line;
    const bool plugged = ReadLineSettings(&line);
    std::unique_lock<std::mutex> hold(Mutex);
    if (Quit) return;
    ssize_t n = 0;
    for (int i = 0; i < DrainReadsPerTick && (n = ::read(Master, buffer, sizeof buffer)) > 0; ++i) {
      WrittenBytes.append(buffer, static_cast<size_t>(n));
    }
    if (plugged && (Rates.empty() || Rates.back() != line.Rate)) Rates.push_back(line.Rate);
    if (Sending) {
      SendDue(plugged && line.Rate == static_cast<uint32_t>(OwnRate) && line.DataBits == 8 &&
              !line.Parity && !line.TwoStopBits);
    }
    Changed.notify_all();
    hold.unlock();
    pollfd p{Master, POLLIN, 0};
    // With no slave open the master reports a hang-up at once; do not spin on it.
    if (::poll(&p, 1, TickMs) > 0 && (p.revents & POLLIN) == 0) ::usleep(TickMs * 1000);
  }
}

void ReceiverSimulator::SendDue(bool lineMatches) {
  int64_t due = (NowUs() - StartUs) * OwnRate / 10 / 1000000 - SentSinceStart;
  if (due > MaxLagBytes) {  // the thread was held up; a receiver does not catch up in bursts
    StartUs = NowUs();
    SentSinceStart = 0;
    return;
  }
  for (;;) {
    if (Queue.empty() && Next) {
      Queue.emplace_back(Next(Count), true);
    } else if (Queue.empty() && Generate) {
      for (const std::string& body : ReceiverEpoch(Epoch++)) {
        Queue.emplace_back(WithChecksum(body), true);
      }
    }
    if (Queue.empty()) return;
    const auto& [item, isSentence] = Queue.front();
    std::string wire = isSentence ? item + "\r\n" : item;
    const int64_t size = static_cast<int64_t>(wire.size());
    if (size > due) return;
    // A UART at another rate sees noise; never a "$", so never a sentence by chance.
    for (char& c : wire) {
      if (lineMatches) break;
      NoiseState = NoiseState * 1103515245u + 12345u;
      c = static_cast<char>(NoiseState >> 16) == '$' ? '#' : static_cast<char>(NoiseState >> 16);
    }
    const ssize_t n = ::write(Master, wire.data(), wire.size());
    Overrun += size - std::max<ssize_t>(n, 0);
    if (isSentence && lineMatches && n == size) {
      ++Count;
      if (!Next) SentLog.push_back(item);
    }
    Queue.pop_front();
    due -= size;
    SentSinceStart += size;
  }
}

IsolatedComPorts::IsolatedComPorts() {
  for (int port = 1; port <= 8; ++port) Map(port, "/nonexistent/com" + std::to_string(port));
}

IsolatedComPorts::~IsolatedComPorts() {
  Receivers.clear();
  for (int port : Mapped) VmComPort_SetDevice(static_cast<int16_t>(port), nullptr);
}

void IsolatedComPorts::Map(int port, const std::string& path) {
  VmComPort_SetDevice(static_cast<int16_t>(port), path.c_str());
  Mapped.push_back(port);
}

ReceiverSimulator& IsolatedComPorts::Plug(int32_t rate, int port) {
  Receivers.push_back(std::make_unique<ReceiverSimulator>(rate));
  EXPECT_TRUE(Receivers.back()->Ready()) << "no pseudo-terminal";
  Map(port, Receivers.back()->DevicePath());
  return *Receivers.back();
}

}  // namespace velmira::test
