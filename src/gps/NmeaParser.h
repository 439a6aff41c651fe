// The object an application creates to receive GPS data: text handed in with Parse, or a
// serial port read on a thread of its own; sentences are decoded into fix, movement,
// satellite and quality records and delivered to callbacks (event mode) or kept as the
// latest of each kind for polled Get calls, which may wait for the next one.
#pragma once

#include <atomic>
#include <cstdint>

#include "frame/RefObject.h"
#include "gps/ComStatus.h"
#include "gps/GpsFix.h"
#include "gps/Movement.h"
#include "gps/Quality.h"
#include "gps/Satellites.h"
#include "platform/Sync.h"
#include "velmira/platform.h"

namespace velmira {

class NmeaSentence;
class SentenceBuffer;
class SerialReader;
class WaitEvent;

// Event kinds, as the first parameter of the parser's window message.
enum EventKind : uintptr_t {
  EventSentence = 1,
  EventFix = 5,
  EventSatellites = 6,
  EventMovement = 7,
  EventQuality = 8,
  EventComStatus = 9,
};

class NmeaParser : public RefObject {
 public:
  // Receives one reference to the object, which the callback owns from then on.
  using Callback = void (*)(void* context, RefObject* object);
  struct Callbacks {
    Callback Sentence = nullptr;
    Callback Fix = nullptr;
    Callback Movement = nullptr;
    Callback Satellites = nullptr;
    Callback Quality = nullptr;
    Callback ComStatus = nullptr;
  };

  static constexpr int16_t MinDatum = 1;
  static constexpr int16_t MaxDatum = 27;
  static constexpr platform::DWORD StopTimeoutMs = 4000;

  NmeaParser();
  ~NmeaParser() override;
  // Stops the reader thread and releases everything the parser holds; safe to run twice.
  void Close() override;

  void SetCallbacks(const Callbacks& callbacks, void* context);

  void Parse(const WCHAR* text);
  void WriteData(const WCHAR* buffer, int16_t count);
  void SetComPort(int16_t port);
  void SetBaudRate(int32_t rate);
  void SetPortEnabled(bool enabled);
  // Reads a network source (see SourceAddress) instead of the COM port, on the same reader
  // thread; CloseSource stops it as disabling the port does.
  void OpenSource(const char* url);
  void CloseSource();
  void SetGpsDatum(int16_t datum);
  void SetNoEvents(bool noEvents);

  // Polled mode: a copy of the latest record (timeout < 1) or of the next one to arrive
  // within timeout ms; null when there is none. New objects, count 1, the caller's.
  GpsFix* GetGpsFix(int32_t timeoutMs, int16_t minimumFixType);
  Movement* GetMovement(int32_t timeoutMs);
  Satellites* GetSatellites(int32_t timeoutMs);
  Quality* GetQuality(int32_t timeoutMs);
  // The serial reader's port, rate and validity now; allowed in any state.
  ComStatus* GetComStatus();

  // Decodes one sentence and delivers what it yields, on the calling thread.
  void Dispatch(NmeaSentence& sentence);
  // Releases the latest fix, movement, satellites and quality.
  void ClearLatest();

  int16_t GetGpsDatum() const { return GpsDatum.load(std::memory_order_relaxed); }
  bool IsPortEnabled() const { return PortEnabled; }

 private:
  using Handler = void (NmeaParser::*)(NmeaSentence&);
  struct DispatchRow;
  static const DispatchRow DispatchTable[];

  // The latest record of one kind and the waiter of a polled Get for it; both under the
  // parser's lock.
  template <class T>
  struct Slot {
    Ref<T> Latest;
    Ref<WaitEvent> Waiter;
  };

  void HandleFix(NmeaSentence& sentence);
  void HandleMovement(NmeaSentence& sentence);
  void HandleSatellites(NmeaSentence& sentence);
  void HandleQuality(NmeaSentence& sentence);
  void DeliverSentence(NmeaSentence& sentence);
  // Hands a record to its callback (event mode) or makes it the slot's latest (polled
  // mode) and wakes the slot's waiter. accept decides under the lock, with the waiter in
  // view, whether a polled record is kept.
  template <class T>
  void Deliver(T* record, Callback callback, Slot<T>& slot, bool (*accept)(NmeaParser&, T&, bool waiting));
  template <class T>
  T* PolledGet(Slot<T>& slot, int32_t timeoutMs);
  bool PolledGetAllowed();

  ComStatus* BuildComStatus() const;
  void ReportComStatus();
  // False (error ThreadNotEnded set) while a reader thread left over from a stop that overran
  // its limit still runs: it reads through Reader, which must not change under it.
  bool LeftoverThreadEnded();
  bool StartThread();
  bool StopThread();
  static platform::DWORD ReaderThread(void* parameter);

  Callbacks Events;
  void* Context = nullptr;
  Ref<SerialReader> Reader;
  Ref<SentenceBuffer> Buffer;
  std::atomic<int16_t> GpsDatum{MinDatum};  // may change while the reader thread decodes
  bool PortEnabled = false;
  bool SourceOpen = false;  // the reader reads a network source, not the COM port
  int16_t ComPortNumber = 0;  // 0: detect
  int32_t BaudRate = 4800;    // 0: detect
  int16_t MinimumFixType = 0;  // under the lock
  bool NoEvents = false;
  platform::UniqueHandle Thread;
  platform::UniqueHandle StopEvent;
  Ref<Satellites> Accumulator;  // dispatching thread only
  Slot<GpsFix> LatestFix;
  Slot<Movement> LatestMovement;
  Slot<Satellites> LatestSatellites;
  Slot<Quality> LatestQuality;
  bool Closed = false;
};

}  // namespace velmira
