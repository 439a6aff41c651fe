#include "gps/NmeaParser.h"

#include <algorithm>
#include <vector>

#include "gps/NmeaSentence.h"
#include "gps/SentenceBuffer.h"
#include "gps/SerialReader.h"
#include "gps/WaitEvent.h"

namespace velmira {
namespace {

// Rates a port may be set to; 0 asks for detection.
constexpr int32_t AcceptedRates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                     14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

// Wide text is narrowed into the sentence buffer through a scratch block of this size.
constexpr int NarrowChunk = 256;

}  // namespace

NmeaParser::NmeaParser() : Reader(MakeRef<SerialReader>()), Buffer(MakeRef<SentenceBuffer>()) {
  CreateLock();
}

NmeaParser::~NmeaParser() { NmeaParser::Close(); }

void NmeaParser::Close() {
  if (Closed) return;
  Closed = true;
  // The reader thread uses this object until it ends: destruction cannot go on without it,
  // so a thread that overran the stop limit is waited for without a limit.
  if (!StopThread() && Thread.Valid()) {
    platform::WaitForSingleObject(Thread.Get(), platform::INFINITE);
    Thread.Reset();
    StopEvent.Reset();
  }
  ClearLatest();
  LockHold hold(GetLock());
  LatestFix.Waiter.Reset();
  LatestMovement.Waiter.Reset();
  LatestSatellites.Waiter.Reset();
  LatestQuality.Waiter.Reset();
  Accumulator.Reset();
  Reader.Reset();
  Buffer.Reset();
}

void NmeaParser::SetCallbacks(const Callbacks& callbacks, void* context) {
  Events = callbacks;
  Context = context;
}

void NmeaParser::Parse(const WCHAR* text) {
  Err.Clear();
  if (PortEnabled) {
    Err.Set(errors::PortEnabled);
    return;
  }
  if (text == nullptr) return;
  // The whole text goes in before the search starts, so only what fits in the buffer's last
  // turn can be found: long texts lose their beginning, as the buffer is circular.
  bool sawLf = false;
  uint8_t chunk[NarrowChunk];
  const WCHAR* p = text;
  while (*p != 0) {
    int n = 0;
    for (; n < NarrowChunk && p[n] != 0; ++n) chunk[n] = static_cast<uint8_t>(p[n] & 0xFF);
    sawLf |= Buffer->Append(chunk, n);
    p += n;
  }
  if (!sawLf) return;
  // Each success moves the scan position past one sentence of the 512-byte store, so the
  // loop ends.
  while (Buffer->FindSentence()) {
    Ref<NmeaSentence> sentence = Ref<NmeaSentence>::Adopt(Buffer->TakeSentence());
    Dispatch(*sentence);
  }
}

void NmeaParser::WriteData(const WCHAR* buffer, int16_t count) {
  Err.Clear();
  if (!PortEnabled) {
    Err.Set(errors::PortNotEnabled);
    return;
  }
  if (!SourceOpen && (ComPortNumber == 0 || BaudRate == 0)) {
    Err.Set(errors::AutodetectNotAllowed);
    return;
  }
  std::vector<uint8_t> bytes(buffer != nullptr ? std::max<int16_t>(count, 0) : 0);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(buffer[i] & 0xFF);
  Reader->Queue(bytes.data(), static_cast<int32_t>(bytes.size()));
  Err.CopyFrom(Reader->GetError());
}

void NmeaParser::SetComPort(int16_t port) {
  Err.Clear();
  if (PortEnabled) {
    Err.Set(errors::PortEnabled);
    return;
  }
  ComPortNumber = port;
}

void NmeaParser::SetBaudRate(int32_t rate) {
  Err.Clear();
  if (SourceOpen) {  // a network source has no rate
    Err.Set(errors::PortEnabled);
    return;
  }
  if (PortEnabled && (ComPortNumber == 0 || BaudRate == 0)) {
    Err.Set(errors::AutodetectNotAllowed);
    return;
  }
  if (std::find(std::begin(AcceptedRates), std::end(AcceptedRates), rate) == std::end(AcceptedRates)) {
    Err.Set(errors::UnknownBaudrate);
    return;
  }
  BaudRate = rate;
  if (PortEnabled) Reader->SetRate(rate);  // a refusal by the port is not reported
}

void NmeaParser::SetPortEnabled(bool enabled) {
  Err.Clear();
  if (enabled == PortEnabled) return;
  if (!enabled) {
    if (!StopThread()) Err.Set(errors::ThreadNotEnded);
    PortEnabled = false;
    SourceOpen = false;
    return;
  }
  if (!LeftoverThreadEnded()) return;
  if (ComPortNumber != 0 && BaudRate != 0 && !Reader->Open(ComPortNumber, BaudRate)) {
    Err.CopyFrom(Reader->GetError());
    return;
  }
  if (!StartThread()) {
    Reader->Close();
    return;
  }
  PortEnabled = true;
}

void NmeaParser::SetGpsDatum(int16_t datum) {
  Err.Clear();
  if (datum < MinDatum || datum > MaxDatum) {
    Err.Set(errors::UnknownDatum);
    return;
  }
  GpsDatum.store(datum, std::memory_order_relaxed);
}

void NmeaParser::SetNoEvents(bool noEvents) {
  Err.Clear();
  if (PortEnabled) {
    Err.Set(errors::PortEnabled);
    return;
  }
  NoEvents = noEvents;
}

bool NmeaParser::PolledGetAllowed() {
  // The Get exports may run on several application threads at once; their error record
  // updates are kept apart by the lock.
  LockHold hold(GetLock());
  Err.Clear();
  if (!NoEvents) {
    Err.Set(errors::NoEventsRequired);
    return false;
  }
  if (!PortEnabled) {
    Err.Set(errors::PortNotEnabled);
    return false;
  }
  return true;
}

template <class T>
T* NmeaParser::PolledGet(Slot<T>& slot, int32_t timeoutMs) {
  if (timeoutMs < 1) {
    LockHold hold(GetLock());
    return slot.Latest ? slot.Latest->Copy() : nullptr;
  }
  // Only a record that arrives after this call satisfies a wait; the one already kept does not.
  Ref<WaitEvent> waiter = MakeRef<WaitEvent>();
  {
    LockHold hold(GetLock());
    slot.Waiter = waiter;
  }
  bool signalled = waiter->Wait(static_cast<uint32_t>(timeoutMs));
  LockHold hold(GetLock());
  T* copy = signalled && slot.Latest ? slot.Latest->Copy() : nullptr;
  // With calls on several threads the slot holds the latest caller's waiter: an earlier
  // caller is no longer woken and returns null at its time-out, and must not remove the
  // waiter of the call that replaced it.
  if (slot.Waiter.Get() == waiter.Get()) slot.Waiter.Reset();
  return copy;
}

GpsFix* NmeaParser::GetGpsFix(int32_t timeoutMs, int16_t minimumFixType) {
  if (!PolledGetAllowed()) return nullptr;
  {
    LockHold hold(GetLock());
    MinimumFixType = minimumFixType;
  }
  return PolledGet(LatestFix, timeoutMs);
}

Movement* NmeaParser::GetMovement(int32_t timeoutMs) {
  return PolledGetAllowed() ? PolledGet(LatestMovement, timeoutMs) : nullptr;
}

Satellites* NmeaParser::GetSatellites(int32_t timeoutMs) {
  return PolledGetAllowed() ? PolledGet(LatestSatellites, timeoutMs) : nullptr;
}

Quality* NmeaParser::GetQuality(int32_t timeoutMs) {
  return PolledGetAllowed() ? PolledGet(LatestQuality, timeoutMs) : nullptr;
}

ComStatus* NmeaParser::GetComStatus() {
  Err.Clear();
  return BuildComStatus();
}

ComStatus* NmeaParser::BuildComStatus() const {
  return new ComStatus(Reader->GetBaudRate(), Reader->GetPort(), Reader->IsValid());
}

void NmeaParser::ClearLatest() {
  Ref<GpsFix> fix;
  Ref<Movement> movement;
  Ref<Satellites> satellites;
  Ref<Quality> quality;
  {
    LockHold hold(GetLock());
    fix = std::move(LatestFix.Latest);
    movement = std::move(LatestMovement.Latest);
    satellites = std::move(LatestSatellites.Latest);
    quality = std::move(LatestQuality.Latest);
  }
  // Released here, after the lock is left.
}

}  // namespace velmira
