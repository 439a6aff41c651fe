#include "ReceiverSimulator.h"

#include <cstdarg>
#include <chrono>
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

constexpr int TickMs = 2;            // how often the line is looked at
constexpr size_t MaxRawPiece = 64;   // raw bytes go out in pieces no larger than this
constexpr int64_t MaxLagBytes = 4096;  // a schedule further behind than this starts afresh
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

}  // namespace

std::string WithChecksum(const std::string& body) {
  uint8_t sum = 0;
  for (unsigned char c : body) sum ^= c;
  return Format("$%s*%02X", body.c_str(), sum);
}

namespace {
// One second of a plausible receiver near Munich moving north-east: RMC, GGA, GSA, three GSV,
// VTG and GLL, with the time advancing by 50 ms per epoch so that every epoch is distinct.
std::vector<std::string> ReceiverEpoch(int epoch) {
  const int centis = epoch * 5;  // 50 ms per epoch
  const std::string time = Format("%02d%02d%02d.%02d", 12 + centis / 360000 % 12,
                                  centis / 6000 % 60, centis / 100 % 60, centis % 100);
  const std::string lat = Format("48%07.4f", 7.038 + (epoch % 10000) * 0.0001);
  const std::string lon = Format("011%07.4f", 31.000 + (epoch % 10000) * 0.0001);
  return {
      WithChecksum(Format("GPRMC,%s,A,%s,N,%s,E,022.4,084.4,230394,003.1,W", time.c_str(),
                          lat.c_str(), lon.c_str())),
      WithChecksum(Format("GPGGA,%s,%s,N,%s,E,1,08,0.9,545.4,M,46.9,M,,", time.c_str(),
                          lat.c_str(), lon.c_str())),
      WithChecksum("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"),
      WithChecksum(Format("GPGSV,3,1,11,03,03,%03d,00,04,15,270,00,06,01,010,00,13,06,292,00",
                          epoch % 360)),
      WithChecksum("GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00"),
      WithChecksum("GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,"),
      WithChecksum(Format("GPVTG,%05.1f,T,034.4,M,005.5,N,010.2,K", 54.7 + epoch % 100)),
      WithChecksum(Format("GPGLL,%s,N,%s,E,%s,A", lat.c_str(), lon.c_str(), time.c_str())),
  };
}

}  // namespace

ReceiverSimulator::ReceiverSimulator(int32_t rate) : OwnRate(rate) {
  int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  char name[128];
  if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
    ::close(fd);
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

ReceiverSimulator::~ReceiverSimulator() { Unplug(); }

void ReceiverSimulator::StreamSentences(std::vector<std::string> sentences, bool repeat) {
  Locked([&] {
    Generate = false;
    Given = std::move(sentences);
    Repeat = repeat;
    Pending.assign(Given.begin(), Given.end());
  });
}

void ReceiverSimulator::SendBytes(const std::string& bytes) {
  std::lock_guard<std::mutex> hold(Mutex);
  for (size_t i = 0; i < bytes.size(); i += MaxRawPiece) Raw.push_back(bytes.substr(i, MaxRawPiece));
}

void ReceiverSimulator::Start() { ResumeSending(); }

void ReceiverSimulator::StopSending() { Locked([&] { Sending = false; }); }

void ReceiverSimulator::ResumeSending() {
  Locked([&] {
    Sending = true;
    ScheduleStartUs = NowUs();
    SentSinceStart = 0;
  });
}

void ReceiverSimulator::Unplug() {
  Locked([&] { Quit = true; });
  if (Worker.joinable()) Worker.join();
  if (Master >= 0) ::close(Master);
  Master = -1;
}

bool ReceiverSimulator::ReadLineSettings(LineSettings* out) const {
  if (Master < 0) return false;
  termios2 t{};
  // On the master side the terminal ioctls act on the slave's settings.
  if (::ioctl(Master, TCGETS2, &t) != 0) return false;
  LineSettings s;
  s.Rate = t.c_ospeed;
  s.DataBits = 5 + static_cast<int>((t.c_cflag & CSIZE) / CS6);  // CS5..CS8 are 0..3 times CS6
  s.Parity = (t.c_cflag & PARENB) != 0;
  s.TwoStopBits = (t.c_cflag & CSTOPB) != 0;
  s.Canonical = (t.c_lflag & ICANON) != 0;
  s.Echo = (t.c_lflag & (ECHO | ECHONL)) != 0;
  s.Signals = (t.c_lflag & ISIG) != 0;
  s.OutputProcessing = (t.c_oflag & OPOST) != 0;
  s.InputTranslation = (t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)) != 0;
  s.HardwareFlow = (t.c_cflag & CRTSCTS) != 0;
  s.SoftwareFlow = (t.c_iflag & (IXON | IXOFF)) != 0;
  s.Receiver = (t.c_cflag & CREAD) != 0;
  s.Local = (t.c_cflag & CLOCAL) != 0;
  *out = s;
  return true;
}

std::vector<uint32_t> ReceiverSimulator::RatesSeen() const { return Locked([&] { return Rates; }); }
std::vector<std::string> ReceiverSimulator::Sent() const { return Locked([&] { return SentLog; }); }
size_t ReceiverSimulator::SentCount() const { return Locked([&] { return SentLog.size(); }); }
std::string ReceiverSimulator::Written() const { return Locked([&] { return WrittenBytes; }); }

bool ReceiverSimulator::WaitUntilDrained(int timeoutMs) const {
  return WaitFor(timeoutMs, [this] { return Raw.empty() && Pending.empty() && !Generate && !Repeat; });
}

bool ReceiverSimulator::WaitForWritten(size_t bytes, int timeoutMs) const {
  return WaitFor(timeoutMs, [&] { return WrittenBytes.size() >= bytes; });
}

void ReceiverSimulator::Run() {
  for (;;) {
    if (Locked([&] { return Quit; })) return;
    Record();
    ObserveLine();
    SendDue();
    pollfd p{Master, POLLIN, 0};
    // With no slave open the master reports a hang-up at once; do not spin on it.
    if (::poll(&p, 1, TickMs) > 0 && (p.revents & POLLIN) == 0) ::usleep(TickMs * 1000);
  }
}

void ReceiverSimulator::Record() {
  char buffer[512];
  for (int i = 0; i < DrainReadsPerTick; ++i) {
    ssize_t n = ::read(Master, buffer, sizeof buffer);
    if (n <= 0) return;
    std::lock_guard<std::mutex> hold(Mutex);
    WrittenBytes.append(buffer, static_cast<size_t>(n));
    Changed.notify_all();
  }
}

void ReceiverSimulator::ObserveLine() {
  LineSettings now;
  if (!ReadLineSettings(&now)) return;
  std::lock_guard<std::mutex> hold(Mutex);
  Current = now;
  if (Rates.empty() || Rates.back() != now.Rate) Rates.push_back(now.Rate);
}

bool ReceiverSimulator::LineMatches() const {
  return Current.Rate == static_cast<uint32_t>(OwnRate) && Current.DataBits == 8 &&
         !Current.Parity && !Current.TwoStopBits;
}

// Called with the mutex held.
bool ReceiverSimulator::NextItem(std::string* item, bool* isSentence) {
  if (!Raw.empty()) {
    *item = Raw.front();
    *isSentence = false;
    return true;
  }
  if (Pending.empty()) {
    if (Generate) {
      for (std::string& s : ReceiverEpoch(Epoch++)) Pending.push_back(std::move(s));
    } else if (Repeat && !Given.empty()) {
      Pending.assign(Given.begin(), Given.end());
    }
  }
  if (Pending.empty()) return false;
  *item = Pending.front() + "\r\n";
  *isSentence = true;
  return true;
}

void ReceiverSimulator::SendDue() {
  std::unique_lock<std::mutex> hold(Mutex);
  if (!Sending) return;
  int64_t due = (NowUs() - ScheduleStartUs) * OwnRate / 10 / 1000000 - SentSinceStart;
  if (due > MaxLagBytes) {  // the thread was held up; a receiver does not catch up in bursts
    ScheduleStartUs = NowUs();
    SentSinceStart = 0;
    return;
  }
  std::string item;
  bool isSentence;
  while (NextItem(&item, &isSentence) && static_cast<int64_t>(item.size()) <= due) {
    std::string wire = item;
    bool matches = LineMatches();
    if (!matches) {
      // A UART at another rate sees noise; never a "$", so never a sentence by chance.
      for (char& c : wire) {
        NoiseState = NoiseState * 1103515245u + 12345u;
        c = static_cast<char>(NoiseState >> 16);
        if (c == '$') c = '#';
      }
    }
    ssize_t n = ::write(Master, wire.data(), wire.size());
    size_t written = n > 0 ? static_cast<size_t>(n) : 0;
    Overrun += static_cast<int64_t>(wire.size() - written);
    if (isSentence) {
      if (matches && written == wire.size()) SentLog.push_back(Pending.front());
      Pending.pop_front();
    } else {
      Raw.pop_front();
    }
    due -= static_cast<int64_t>(item.size());
    SentSinceStart += static_cast<int64_t>(item.size());
  }
  Changed.notify_all();
}

IsolatedComPorts::IsolatedComPorts() {
  for (int port = 1; port <= 8; ++port) {
    std::string path = "/nonexistent/velmira-com" + std::to_string(port);
    VmComPort_SetDevice(static_cast<int16_t>(port), path.c_str());
    Mapped.push_back(port);
  }
}

IsolatedComPorts::~IsolatedComPorts() {
  for (int port : Mapped) VmComPort_SetDevice(static_cast<int16_t>(port), nullptr);
}

void IsolatedComPorts::Map(int port, const std::string& path) {
  VmComPort_SetDevice(static_cast<int16_t>(port), path.c_str());
  Mapped.push_back(port);
}

}  // namespace velmira::test
