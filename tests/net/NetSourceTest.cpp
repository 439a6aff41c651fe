// The parser on network sources, end to end: a real gpsd relaying a pseudo-terminal fed with
// the sample drive log, TCP servers of the test's own that drop and return or misbehave, and a
// UDP sender, all on 127.0.0.1. Expected sentences and positions come from the log's text (NMEA's
// own checksum and ddmm.mmmm fields), never from the library. Every wait ends as soon as its
// event comes; the limits only catch a hang.
#include <arpa/inet.h>
#include <fcntl.h>
#include <malloc.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "gps/NetSource.h"
#include "gps/NmeaSentence.h"
#include "gps/SerialReader.h"
#include "support/GpsMessages.h"
#include "support/ReceiverSimulator.h"
#include "support/ToolRunner.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace {

using namespace testsupport;
using velmira::test::WithChecksum;

constexpr int32_t Generous = 15000;  // ms
constexpr const char* Gpsd = "/usr/sbin/gpsd";

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

// A TCP port nobody listens on now: the kernel picks it, the socket is closed again.
uint16_t FreePort(int type = SOCK_STREAM) {
  int fd = ::socket(AF_INET, type, 0);
  sockaddr_in a = Loopback(0);
  socklen_t size = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  ::close(fd);
  return ntohs(a.sin_port);
}

// One listening socket on 127.0.0.1:port and the connection it accepted last.
class Server {
 public:
  explicit Server(uint16_t port) : Port(port) { Listen(); }
  ~Server() { Stop(); }
  void Listen() {
    Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(Listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in a = Loopback(Port);
    ASSERT_EQ(::bind(Listener, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(Listener, 8), 0);
  }
  // Waits for the next connection; false when none came in time.
  bool Accept() {
    pollfd p{Listener, POLLIN, 0};
    if (::poll(&p, 1, Generous) != 1) return false;
    Drop();
    Client = ::accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
    return Client >= 0;
  }
  bool Send(const std::string& bytes) {
    return ::send(Client, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  void Drop() {
    if (Client >= 0) ::close(Client);
    Client = -1;
  }
  void Stop() {  // the server goes away: no connection, nobody listening
    Drop();
    if (Listener >= 0) ::close(Listener);
    Listener = -1;
  }
  const uint16_t Port;

 private:
  int Listener = -1, Client = -1;
};

std::string FixText(std::pair<double, double> latLon) {
  char text[64];
  std::snprintf(text, sizeof text, "fix %.7f %.7f", latLon.first, latLon.second);
  return text;
}

// A parser reading a source, and its messages as text: a sentence as itself, a fix as
// "fix LAT LON" (degrees, 7 decimals), a port state as "status V", other records dropped.
struct SourceParser : ParserWindow {
  // Opens the source at `kind`://127.0.0.1:`port`, or `kind` alone without a port; the error.
  std::string Open(const std::string& kind, uint16_t port = 0) {
    VmNmeaParser_OpenSource(Parser, (port ? kind + "://127.0.0.1:" + std::to_string(port) : kind).c_str());
    return Error();
  }
  bool Take(int32_t waitMs) {
    VmMsg m;
    if (VmWindow_GetMessage(Window, &m, waitMs) != 1) return false;
    if (m.wParam == 1) {
      Log.push_back(Narrow(NmeaSentence_GetSentence(reinterpret_cast<VmNmeaSentence*>(m.lParam), nullptr)));
    } else if (m.wParam == 5) {
      Log.push_back(FixText(LatLonOf(reinterpret_cast<VmGpsFix*>(m.lParam))));
    } else if (m.wParam == 9) {
      auto* s = reinterpret_cast<VmComStatus*>(m.lParam);
      Log.push_back("status " + std::to_string(ComStatus_GetValidNmea(s)) + " " +
                    std::to_string(ComStatus_GetComPort(s)) + " " + std::to_string(ComStatus_GetBaudRate(s)));
    }
    DeleteCarried(m);
    return true;
  }
  bool TakeUntil(const std::string& text) {
    while (Take(Generous)) {
      if (Log.back() == text) return true;
    }
    return false;
  }
  // What was taken that starts with `kind`, without the test's own markers.
  std::vector<std::string> Taken(const std::string& kind) const {
    std::vector<std::string> out;
    for (const std::string& s : Log) {
      if (s.starts_with(kind) && !s.starts_with("$GPTXT")) out.push_back(s);
    }
    return out;
  }
  std::vector<std::string> Log;
};

std::string Marker(int n) { return WithChecksum("GPTXT,01,01,02,mark " + std::to_string(n)); }

// A fix sentence numbered n: its latitude says which it is.
std::string Numbered(int n) {
  char body[96];
  std::snprintf(body, sizeof body, "GPGGA,120000.00,%02d%02d.%04d,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,",
                10 + n / 6000, n / 100 % 60, n % 100 * 100);
  return WithChecksum(body);
}

// The sentences of a log as NMEA frames them: from the last "$" of a line to its end, kept when
// the checksum (XOR of the characters between "$" and "*", two hex digits) is right.
std::vector<std::string> CheckedSentences(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t dollar = line.rfind('$'), star = line.rfind('*');
    if (dollar == std::string::npos || star == std::string::npos || star < dollar || star + 3 != line.size()) continue;
    unsigned sum = 0;
    for (size_t i = dollar + 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum);
    if (line.compare(star + 1, 2, digits) == 0) out.push_back(line.substr(dollar));
  }
  return out;
}

// "fix LAT LON" from a sentence's ddmm.mmmm fields (GGA fields 2-5, RMC 3-6, GLL 1-4).
std::string FixOf(const std::string& sentence) {
  std::vector<std::string> f;
  size_t from = 0;
  for (size_t comma; (comma = sentence.find_first_of(",*", from)) != std::string::npos; from = comma + 1) {
    f.push_back(sentence.substr(from, comma - from));
  }
  const std::string kind = f[0].substr(3);
  const size_t at = kind == "GGA" ? 2 : kind == "RMC" ? 3 : 1;
  if (f.size() < at + 4 || f[at].size() < 3 || f[at + 2].size() < 4) return "fix none";
  auto degrees = [](const std::string& text, const std::string& side, int degreeDigits) {
    const double d = std::stod(text.substr(0, degreeDigits)) + std::stod(text.substr(degreeDigits)) / 60;
    return side == "S" || side == "W" ? -d : d;
  };
  return FixText({degrees(f[at], f[at + 1], 2), degrees(f[at + 2], f[at + 3], 3)});
}

// gpsd on a pseudo-terminal it reads as its receiver, listening on 127.0.0.1:Port.
struct GpsdOnTerminal {
  GpsdOnTerminal() : Port(FreePort()) {
    Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0 || ::ptsname_r(Master, name, sizeof name) != 0) return;
    termios raw{};  // no echo of what is written before gpsd sets the line up itself
    ::tcgetattr(Master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(Master, TCSANOW, &raw);
    // -N foreground, -n read the device without waiting for a client, -b never write to it.
    Pid = velmira::test::Spawn({Gpsd, "-N", "-n", "-b", "-S", std::to_string(Port), name});
  }
  ~GpsdOnTerminal() {
    if (Pid > 0) {
      ::kill(Pid, SIGTERM);
      ::waitpid(Pid, nullptr, 0);
    }
    if (Master >= 0) ::close(Master);
  }
  void Write(const std::string& bytes) { ASSERT_EQ(::write(Master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
  const uint16_t Port;
  int Master = -1;
  pid_t Pid = -1;
};

TEST(NetSource, GpsdRelaysTheLogsSentencesAndTheFixesSitWhereTheLogSays) {
  if (!std::filesystem::exists(Gpsd)) GTEST_SKIP() << "gpsd is not installed (" << Gpsd << ")";
  GpsdOnTerminal gpsd;
  ASSERT_GT(gpsd.Pid, 0);
  SourceParser p;
  ASSERT_EQ(p.Open("gpsd", gpsd.Port), "0");
  // gpsd relays only to a client that watches: markers go out until one comes back.
  std::atomic<bool> relayed{false};
  std::thread warmUp([&] {
    for (int i = 0; i < Generous / 100 && !relayed; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
      gpsd.Write(Marker(0) + "\r\n");
    }
  });
  const bool heard = p.TakeUntil(Marker(0));
  relayed = true;
  warmUp.join();
  ASSERT_TRUE(heard) << "nothing relayed by gpsd";
  EXPECT_EQ(p.Log.front(), "status 1 0 0") << "the link state comes first";

  const std::string log = VELMIRA_SOURCE_DIR "/examples/drive.nmea";
  std::ifstream in(log, std::ios::binary);
  std::string lines, line;
  for (int n = 1; std::getline(in, line); ++n) {
    lines += line + "\n";
    if (n % 16 == 0) {  // a receiver's pace, roughly: gpsd reads a pseudo-terminal in gulps
      gpsd.Write(lines);
      lines.clear();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  gpsd.Write(lines + Marker(1) + "\r\n");
  ASSERT_TRUE(p.TakeUntil(Marker(1)));
  EXPECT_EQ(p.Taken("$"), CheckedSentences(log));
  int fixes = 0;
  for (size_t i = 0; i + 1 < p.Log.size(); ++i) {
    if (!p.Log[i].starts_with("fix")) continue;
    ++fixes;  // a fix comes just before its own sentence
    EXPECT_EQ(p.Log[i], FixOf(p.Log[i + 1])) << p.Log[i + 1];
  }
  EXPECT_GT(fixes, 1000);
}

// The server goes away mid-stream and comes back: the loss is reported at once, the link is
// made again, and every sentence sent while a link was up arrives, in order.
TEST(NetSource, TcpServerThatDropsAndReturnsIsFollowedWithoutLoss) {
  Server server(FreePort());
  SourceParser p;
  ASSERT_EQ(p.Open("tcp", server.Port), "0");
  std::vector<std::string> sent;
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(server.Accept()) << "round " << round;
    std::string burst;
    for (int i = 0; i < 200; ++i) {
      sent.push_back(Numbered(round * 1000 + i));
      burst += sent.back() + "\r\n";
    }
    ASSERT_TRUE(server.Send(burst + Marker(round) + "\r\n"));
    ASSERT_TRUE(p.TakeUntil(Marker(round)));
    server.Stop();  // gone: the next round listens anew on the same port
    ASSERT_TRUE(p.TakeUntil("status 0 0 0")) << "round " << round;
    server.Listen();
  }
  EXPECT_EQ(p.Taken("$"), sent);
  EXPECT_EQ(p.Taken("status"), std::vector<std::string>({"status 1 0 0", "status 0 0 0", "status 1 0 0",
                                              "status 0 0 0", "status 1 0 0", "status 0 0 0"}));
  VmNmeaParser_CloseSource(p.Parser);
  EXPECT_EQ(p.Error(), "0");
}

// Datagrams of one or two sentences, with and without their line end; then the same sender in
// polled mode, where the latest fix is the last one sent.
TEST(NetSource, UdpDatagramsAreFollowedInEventAndPolledMode) {
  const uint16_t port = FreePort(SOCK_DGRAM);
  int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to = Loopback(port);
  auto send = [&](const std::string& d) { ::sendto(sender, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to); };
  for (bool polled : {false, true}) {
    SourceParser p;
    if (polled) NmeaParser_SetNoEvents(p.Parser, 1);
    ASSERT_EQ(p.Open("udp", port), "0");
    std::vector<std::string> sent;
    for (int i = 0; i < 300; ++i) {
      sent.push_back(Numbered(i));
      std::string datagram = sent.back();
      if (i % 2 == 1) sent.push_back(Numbered(i + 5000)), datagram += "\r\n" + sent.back();  // two sentences in one
      send(datagram + (i % 3 == 0 ? "" : i % 3 == 1 ? "\r" : "\r\n"));
      std::this_thread::sleep_for(std::chrono::microseconds(200));  // no flood of the socket buffer
    }
    const std::string last = FixOf(sent.back());
    if (!polled) {
      send(Marker(0));
      ASSERT_TRUE(p.TakeUntil(Marker(0)));
      EXPECT_EQ(p.Taken("$"), sent);
      continue;
    }
    std::string latest;
    for (int i = 0; i < Generous / 10 && latest != last; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      VmGpsFix* fix = NmeaParser_GetGpsFix(p.Parser, 0, 0);  // the latest, without waiting
      if (fix == nullptr) continue;
      latest = FixText(LatLonOf(fix));
      GpsFix_Delete(fix);
    }
    EXPECT_EQ(latest, last);
    VmComStatus* status = NmeaParser_GetComStatus(p.Parser);
    EXPECT_EQ(ComStatus_GetValidNmea(status), 1);
    ComStatus_Delete(status);
  }
  // A port that is taken cannot be bound twice, without SO_REUSEADDR on the holder's side.
  int holder = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ::bind(holder, reinterpret_cast<sockaddr*>(&to), sizeof to);
  SourceParser blocked;
  EXPECT_EQ(blocked.Open("udp", port), "31 Could not open network source!");
  ::close(holder);
  ::close(sender);
}

size_t HeapInUse() { return mallinfo2().uordblks; }

// A megabyte without a line end, random bytes around good sentences, a server that accepts and
// says nothing: only the good sentences come through, memory stays where it was, and the source
// closes at once whatever the link is doing.
TEST(NetSource, HostileServersLeaveOnlyTheGoodSentencesAndBoundedMemory) {
  Server server(FreePort());
  SourceParser p;
  p.Open("tcp", server.Port);
  ASSERT_TRUE(server.Accept());
  ASSERT_TRUE(server.Send(Numbered(1) + "\r\n"));
  ASSERT_TRUE(p.TakeUntil(Numbered(1)));
  const size_t heapBefore = HeapInUse();
  std::mt19937 random(18);
  std::vector<std::string> good = {Numbered(1)};
  for (int round = 0; round < 4; ++round) {
    std::string junk(1 << 20, 'x');  // round 0: one line of a megabyte, without an end
    if (round > 0) {
      for (char& c : junk) c = static_cast<char>(random());
    }
    ASSERT_TRUE(server.Send(junk));
    good.push_back(Numbered(100 + round));
    // After noise a sentence needs its own start: a "$" in the noise may have opened one.
    ASSERT_TRUE(server.Send("\r\n" + good.back() + "\r\n"));
  }
  // Binary bytes whose checksum happens to match (random junk does so every few megabytes).
  ASSERT_TRUE(server.Send(WithChecksum(std::string("GPXYZ,\x01\xfe\x7f,1")) + "\r\n" + Marker(0) + "\r\n"));
  ASSERT_TRUE(p.TakeUntil(Marker(0)));
  EXPECT_EQ(p.Taken("$"), good);
  EXPECT_LT(HeapInUse(), heapBefore + (1 << 20)) << "four megabytes of junk were kept";

  // Half-open: connected, silent, never closed. Then nobody there at all (the source waits to
  // try again). Closing ends the reader in both.
  server.Drop();
  ASSERT_TRUE(server.Accept());
  VmNmeaParser_CloseSource(p.Parser);
  EXPECT_EQ(p.Error(), "0");
  server.Stop();
  p.Open("tcp", server.Port);
  std::this_thread::sleep_for(std::chrono::milliseconds(700));  // into the wait after a refusal
  VmNmeaParser_CloseSource(p.Parser);
  EXPECT_EQ(p.Error(), "0");
}

// A thousand links made and dropped by the server, driven through the reader's own Poll: each
// is found and lost once, and no descriptor or heap block is left behind.
TEST(NetSource, AThousandConnectDropCyclesLeakNothing) {
  Server server(FreePort());
  auto countFds = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator{});
  };
  velmira::SourceAddress address;
  ASSERT_TRUE(velmira::SourceAddress::Parse(("tcp://127.0.0.1:" + std::to_string(server.Port)).c_str(), address));
  platform::UniqueHandle stop(platform::CreateEventW(true, false));
  auto reader = velmira::MakeRef<velmira::SerialReader>();
  auto source = velmira::MakeRef<velmira::NetSource>(address, 1, 1);
  velmira::NetSource* net = source.Get();
  reader->OpenSource(velmira::Ref<velmira::ByteSource>::Adopt(source.Detach()));
  constexpr int Cycles = 1000;
  platform::EventDescriptor(stop.Get());  // made now: the stop event keeps it to the end
  const long fdsBefore = countFds();
  size_t heapBefore = 0;
  int found = 0, lost = 0;
  std::thread serve([&] {
    for (int i = 0; i < Cycles && server.Accept(); ++i) {
      server.Send(Numbered(i) + "\r\n");
      server.Drop();
    }
  });
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (lost < Cycles) {
    ASSERT_LT(std::chrono::steady_clock::now(), limit) << found << " found, " << lost << " lost";
    const int16_t state = reader->Poll(stop.Get(), 0);
    if (state == velmira::PollFound) ++found;
    if (state == velmira::PollLost && ++lost == 10) heapBefore = HeapInUse();
    if (state == velmira::PollSentence || state == velmira::PollFound) {
      velmira::Ref<velmira::NmeaSentence>::Adopt(reader->TakeSentence());
    }
    ASSERT_LE(net->Connections(), Cycles + 1) << "more links than the server made";
  }
  serve.join();
  EXPECT_EQ(found, Cycles);
  EXPECT_LE(HeapInUse(), heapBefore + 4096);
  platform::SetEvent(stop.Get());
  EXPECT_EQ(reader->Poll(stop.Get(), 0), velmira::PollStopped);
  EXPECT_EQ(countFds(), fdsBefore) << "a link's descriptor was kept";
}

// What OpenSource takes, and the states in which it refuses.
TEST(NetSource, UrlsAndStates) {
  const std::string udp = "udp://:" + std::to_string(FreePort(SOCK_DGRAM));
  const std::pair<const char*, const char*> cases[] = {
      {"gpsd://localhost", "0"}, {"gpsd://127.0.0.1:1/dev/ttyUSB0", "0"}, {"tcp://[::1]:10110", "0"},
      {udp.c_str(), "0"}, {"TCP://127.0.0.1:1", "0"},
      {"tcp://127.0.0.1", "10003 Unknown source URL!"}, {"tcp://:10110", "10003 Unknown source URL!"},
      {"tcp://h:0", "10003 Unknown source URL!"}, {"tcp://h:65536", "10003 Unknown source URL!"},
      {"tcp://h:1/x", "10003 Unknown source URL!"}, {"gpsd://", "10003 Unknown source URL!"},
      {"udp://::1:5", "10003 Unknown source URL!"}, {"serial:///dev/ttyS0", "10003 Unknown source URL!"},
      {"", "10003 Unknown source URL!"}, {nullptr, "10003 Unknown source URL!"},
  };
  SourceParser p;
  for (auto [url, error] : cases) {
    VmNmeaParser_OpenSource(p.Parser, url);
    EXPECT_EQ(p.Error(), error) << (url ? url : "null");
    VmNmeaParser_CloseSource(p.Parser);
  }
  p.Open(udp);
  EXPECT_EQ(p.Open(udp), "10006 Port must not be enabled!");
  p.Parse(Line("GPGLL,4916.45,N,12311.12,W,225444,A,A"));
  EXPECT_EQ(p.Error(), "10006 Port must not be enabled!");
  NmeaParser_SetBaudRate(p.Parser, 4800);
  EXPECT_EQ(p.Error(), "10006 Port must not be enabled!");
  NmeaParser_WriteData(p.Parser, u"x", 1);  // nowhere to send a datagram: dropped
  EXPECT_EQ(p.Error(), "0");
  VmNmeaParser_CloseSource(p.Parser);
  p.Parse(Line("GPGLL,4916.45,N,12311.12,W,225444,A,A"));
  EXPECT_EQ(p.Error(), "0");
}

// velmira nmea --source on a TCP server: it stops after --count objects, the first of which is
// the link's state, and each fix sits where a sentence of the feed says. (The program hands
// every network URL to the parser alike: gpsd is the parser's own test above.)
TEST(NetSource, NmeaProgramReadsATcpSource) {
  Server server(FreePort());
  std::vector<std::string> feed;
  std::set<std::string> places;  // the feed's positions, 7 decimals
  for (int i = 0; i < 2000; ++i) feed.push_back(Numbered(i)), places.insert(FixOf(feed.back()));
  std::atomic<bool> done{false};
  std::thread feeder([&] {  // the feed again and again until the program has what it wants
    if (!server.Accept()) return;
    for (size_t i = 0; !done && server.Send(feed[i] + "\r\n"); i = (i + 1) % feed.size()) {
      if (i % 16 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const std::string address = "127.0.0.1:" + std::to_string(server.Port);
  const velmira::test::ToolResult r = velmira::test::RunTool("nmea --source tcp://" + address + " --count 10 --seconds 30");
  done = true;
  feeder.join();  // the program is gone, so a send fails at once
  ASSERT_EQ(r.Status, 0) << r.Errors;
  ASSERT_EQ(r.Lines.size(), 10u);
  EXPECT_EQ(r.Lines[0], "{\"class\":\"COMSTATUS\",\"valid\":true,\"port\":0,\"baud\":0}");
  EXPECT_NE(r.Errors.find("valid NMEA from tcp " + address), std::string::npos) << r.Errors;
  int fixes = 0;
  for (const std::string& line : r.Lines) {
    if (!line.starts_with("{\"class\":\"FIX\"")) continue;
    const size_t lat = line.find("\"lat\":"), lon = line.find(",\"lon\":");
    EXPECT_TRUE(places.count(FixText({std::stod(line.substr(lat + 6)), std::stod(line.substr(lon + 7))}))) << line;
    ++fixes;
  }
  EXPECT_GT(fixes, 0);
}

}  // namespace
