// A GPS receiver on the master side of a pseudo-terminal, for tests of the serial reader and
// the parser. It streams NMEA in real time at its own baud rate (rate/10 bytes per second),
// sends only noise while the line (the slave side, as configured by the library) is set to
// another rate or framing, can fall silent or be unplugged, and records what the library writes.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmira::test {

// "$" + body + "*" + the two upper-case hex digits of the checksum (no CR LF).
std::string WithChecksum(const std::string& body);

// The slave side's settings as read from the master side.
struct LineSettings {
  uint32_t Rate = 0;
  int DataBits = 0;
  bool Parity = false;
  bool TwoStopBits = false;
  bool Canonical = false;         // line editing
  bool Echo = false;
  bool Signals = false;           // ISIG
  bool OutputProcessing = false;  // OPOST
  bool InputTranslation = false;  // ICRNL, INLCR, IGNCR, ISTRIP
  bool HardwareFlow = false;      // CRTSCTS
  bool SoftwareFlow = false;      // IXON or IXOFF
  bool Receiver = false;          // CREAD
  bool Local = false;             // CLOCAL
};

class ReceiverSimulator {
 public:
  explicit ReceiverSimulator(int32_t rate);
  ~ReceiverSimulator();
  ReceiverSimulator(const ReceiverSimulator&) = delete;
  ReceiverSimulator& operator=(const ReceiverSimulator&) = delete;

  bool Ready() const { return Master >= 0; }
  // The slave device node, to map a COM port to.
  const std::string& DevicePath() const { return Path; }

  // Streams these sentences ("$...*hh", no CR LF) instead of generated epochs; once through,
  // or round and round.
  void StreamSentences(std::vector<std::string> sentences, bool repeat);
  // Sends these bytes next, before any further sentence, paced like everything else.
  void SendBytes(const std::string& bytes);

  void Start();          // begins streaming (the thread records from construction)
  void StopSending();    // falls silent, still plugged in
  void ResumeSending();
  void Unplug();         // closes the master: the device node disappears

  // Settings of the slave side now, read through the master; false once unplugged.
  bool ReadLineSettings(LineSettings* out) const;
  // Successive distinct rates the line was set to, as observed while running.
  std::vector<uint32_t> RatesSeen() const;

  // Sentences that went out whole, at the matching rate, in order.
  std::vector<std::string> Sent() const;
  size_t SentCount() const;
  // True once nothing is left to stream from a once-through list (or SendBytes).
  bool WaitUntilDrained(int timeoutMs) const;
  // Bytes the pseudo-terminal would not take because nobody read them.
  int64_t OverrunBytes() const { return Overrun.load(); }

  // Everything the library wrote to the line.
  std::string Written() const;
  bool WaitForWritten(size_t bytes, int timeoutMs) const;

 private:
  template <class F>
  auto Locked(F f) const {
    std::lock_guard<std::mutex> hold(Mutex);
    return f();
  }
  template <class Predicate>
  bool WaitFor(int timeoutMs, Predicate done) const {
    std::unique_lock<std::mutex> hold(Mutex);
    return Changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), done);
  }
  void Run();
  void Record();
  void ObserveLine();
  void SendDue();
  bool NextItem(std::string* item, bool* isSentence);
  bool LineMatches() const;

  int32_t OwnRate;
  int Master = -1;
  std::string Path;

  mutable std::mutex Mutex;
  mutable std::condition_variable Changed;
  bool Sending = false;
  bool Quit = false;
  int64_t ScheduleStartUs = 0;
  int64_t SentSinceStart = 0;
  // What to send.
  bool Generate = true;
  int Epoch = 0;
  std::deque<std::string> Pending;  // the current epoch or the given list
  std::vector<std::string> Given;
  bool Repeat = false;
  std::deque<std::string> Raw;
  // What happened.
  std::vector<std::string> SentLog;
  std::string WrittenBytes;
  std::vector<uint32_t> Rates;
  LineSettings Current;
  uint32_t NoiseState = 12345;
  std::atomic<int64_t> Overrun{0};

  std::thread Worker;
};

// Maps COM1 to COM8 to paths that do not exist, so detection sees only the ports a test maps
// itself, and restores the defaults when it goes.
class IsolatedComPorts {
 public:
  IsolatedComPorts();
  ~IsolatedComPorts();
  void Map(int port, const std::string& path);

 private:
  std::vector<int> Mapped;
};

}  // namespace velmira::test
