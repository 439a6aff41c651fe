// The serial side of a parser: the open COM port, its sentence buffer, the queue of bytes to
// send, and the detection of a receiver's port and rate. Poll runs on the reader thread; Queue,
// SetRate and the getters are called from the application's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "frame/RefObject.h"
#include "platform/Sync.h"

namespace velmira {

class ByteSource;
class ComPort;
class NmeaSentence;
class SentenceBuffer;
class Text;

// Results of Poll.
enum PollState : int16_t {
  PollStopped = 1,   // stop requested; the port has been closed
  PollLost = 2,      // no sentence for LossCycles read cycles
  PollFound = 3,     // first sentence after opening, detecting or a loss
  PollSentence = 4,  // a sentence is ready in the port buffer
  PollNothing = 5,   // detection found nothing this time
};

class SerialReader : public RefObject {  // creates its ObjectLock at construction
 public:
  // Read cycles without a sentence after which valid NMEA counts as lost.
  static constexpr int16_t LossCycles = 20;
  // Bytes already queued beyond which the queue is discarded before new bytes go in.
  static constexpr int32_t QueueLimit = 2048;

  SerialReader();
  ~SerialReader() override;

  // Opens and configures the port; on failure the port's error is copied into Err.
  bool Open(int16_t port, int32_t rate);
  // Reads from a source that is not a COM port (port and rate 0); it stays until Close.
  void OpenSource(Ref<ByteSource> source);
  void Close() override;
  // Appends to the write queue; false (without an error) when no port is open.
  bool Queue(const uint8_t* bytes, int32_t count);
  bool Queue(const Text* text);
  // Waits for the write queue to drain, then reconfigures the open port.
  void SetRate(int32_t rate);
  bool IsValid() const;
  // One step of the reader thread: read, or detect when no port is open. Returns a PollState.
  int16_t Poll(platform::HANDLE stopEvent, int16_t wantedPort);
  // New sentence (count 1, caller's) from the port buffer; null when none is ready.
  NmeaSentence* TakeSentence();
  int32_t GetBaudRate() const;
  int16_t GetPort() const;
  bool IsOpen() const;
  // Bytes waiting in the write queue.
  int32_t QueuedBytes() const;

 private:
  int16_t ReadStep(platform::HANDLE stopEvent);
  // FindSentence on the port buffer, passing over sentences the source does not accept.
  bool FindAccepted();
  int16_t Detect(platform::HANDLE stopEvent, int16_t wantedPort);
  void FlushQueue();

  // Port, rate and countdown are written by the reader thread and read by the application's
  // (GetComStatus), so they are atomic; the port object and the queue are under the lock.
  std::atomic<int32_t> BaudRate{0};
  std::atomic<int16_t> Port{0};
  Ref<SentenceBuffer> PortBuffer;  // reader thread only
  Ref<ByteSource> PortObject;
  int16_t LastState = 0;
  std::atomic<int16_t> Countdown{0};
  bool AutoDetected = false;
  bool SentenceReady = false;  // the port buffer holds a found sentence not yet taken
  std::vector<uint8_t> WriteQueue;
};

}  // namespace velmira
