// A GPS receiver on the master side of a pseudo-terminal, for tests of the serial reader and
// the parser. It streams NMEA in real time at its own baud rate (rate/10 bytes per second),
// sends only noise while the line (the slave side, as configured by the library) is set to
// another rate or framing, can fall silent or be unplugged, and records what the library writes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace velmira::test {

// "$" + body + "*" + the two upper-case hex digits of the checksum (no CR LF).
std::string WithChecksum(const std::string& body);

// The slave side's settings as read from the master side.
struct LineSettings {
  uint32_t Rate = 0;
  int DataBits = 0;
  bool Parity = false, TwoStopBits = false;
  // Names of what keeps the line from being raw without flow control ("echo", ...), if any.
  std::string NotRaw;
};

class ReceiverSimulator {
 public:
  explicit ReceiverSimulator(int32_t rate);
  ~ReceiverSimulator() { Unplug(); }
  bool Ready() const { return Master >= 0; }
  const std::string& DevicePath() const { return Path; }  // the slave device node

  // Streams these sentences ("$...*hh", no CR LF) once instead of generated epochs.
  void StreamSentences(const std::vector<std::string>& sentences);
  // Streams next(n) for n = 0, 1, ... instead of generated epochs, each sentence again until it
  // went out whole at the matching rate. Only counted, not logged: memory stays flat.
  void StreamGenerated(std::function<std::string(int64_t)> next);
  // Sends these bytes next, before any further sentence, paced like everything else.
  void SendBytes(const std::string& bytes);
  void Start();        // begins or resumes streaming; what the library writes is always recorded
  void StopSending();  // falls silent, still plugged in
  void Unplug();       // closes the master: the device node disappears

  // Settings of the slave side now; false once unplugged.
  bool ReadLineSettings(LineSettings* out) const;
  // Successive distinct rates the line was set to, as observed while running.
  std::vector<uint32_t> RatesSeen() const { return Locked(Rates); }
  // True when the line was set to these rates in this order (other rates may lie between).
  bool SetInOrder(const std::vector<uint32_t>& rates) const;
  // Sentences that went out whole, at the matching rate, in order.
  std::vector<std::string> Sent() const { return Locked(SentLog); }
  int64_t SentCount() const { return Locked(Count); }
  std::string Written() const { return Locked(WrittenBytes); }  // all the library wrote
  // Bytes the pseudo-terminal would not take because nobody read them.
  int64_t OverrunBytes() const { return Locked(Overrun); }
  // Each waits up to timeoutMs until the line has been set to the rate, or that many bytes
  // have been written.
  bool WaitForRate(uint32_t rate, int timeoutMs) const;
  bool WaitForWritten(size_t bytes, int timeoutMs) const;

 private:
  template <class T>
  T Locked(const T& value) const {
    std::lock_guard<std::mutex> hold(Mutex);
    return value;
  }
  template <class Predicate>
  bool WaitFor(int timeoutMs, Predicate done) const {
    std::unique_lock<std::mutex> hold(Mutex);
    return Changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), done);
  }
  void Run();
  void SendDue(bool lineMatches);  // with the mutex held

  const int32_t OwnRate;
  int Master = -1;
  std::string Path;
  mutable std::mutex Mutex;
  mutable std::condition_variable Changed;
  bool Sending = false, Quit = false, Generate = true;
  int Epoch = 0;
  int64_t StartUs = 0, SentSinceStart = 0, Overrun = 0, Count = 0;
  std::function<std::string(int64_t)> Next;
  uint32_t NoiseState = 12345;
  std::deque<std::pair<std::string, bool>> Queue;  // what goes next; true for a sentence
  std::vector<std::string> SentLog;
  std::string WrittenBytes;
  std::vector<uint32_t> Rates;
  std::thread Worker;
};

// Maps COM1 to COM8 to paths that do not exist, so detection sees only the ports a test maps
// itself, and restores the defaults when it goes.
class IsolatedComPorts {
 public:
  IsolatedComPorts();
  ~IsolatedComPorts();
  void Map(int port, const std::string& path);
  // A receiver at `rate` plugged in as COM`port`, owned by this object.
  ReceiverSimulator& Plug(int32_t rate, int port);

 private:
  std::vector<int> Mapped;
  std::vector<std::unique_ptr<ReceiverSimulator>> Receivers;
};

}  // namespace velmira::test
