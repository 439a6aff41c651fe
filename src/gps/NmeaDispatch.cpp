// Dispatch of one sentence by its kind, the record handlers, and delivery of their records
// to callbacks (event mode) or to the latest-record slots (polled mode).
#include "gps/NmeaParser.h"
#include "gps/NmeaSentence.h"
#include "gps/WaitEvent.h"

namespace velmira {

struct NmeaParser::DispatchRow {
  SentenceKind Kind;
  Handler Steps[2];  // record handlers in order; sentence delivery always follows
};

// Indexed by kind. An RMC yields its fix before its movement, so a window sees kind 5, 7
// and then 1 for one sentence.
const NmeaParser::DispatchRow NmeaParser::DispatchTable[] = {
    // kind      record handlers
    {KindOther, {nullptr, nullptr}},
    {KindRmc, {&NmeaParser::HandleFix, &NmeaParser::HandleMovement}},
    {KindGll, {&NmeaParser::HandleFix, nullptr}},
    {KindGga, {&NmeaParser::HandleFix, nullptr}},
    {KindGsv, {&NmeaParser::HandleSatellites, nullptr}},
    {KindGsa, {&NmeaParser::HandleQuality, nullptr}},
    {KindVtg, {&NmeaParser::HandleMovement, nullptr}},
};

void NmeaParser::Dispatch(NmeaSentence& sentence) {
  int16_t kind = sentence.GetType();
  const int rows = sizeof DispatchTable / sizeof DispatchTable[0];
  if (kind > 0 && kind < rows) {
    for (Handler step : DispatchTable[kind].Steps) {
      if (step != nullptr) (this->*step)(sentence);
    }
  }
  DeliverSentence(sentence);
}

void NmeaParser::DeliverSentence(NmeaSentence& sentence) {
  if (NoEvents || Events.Sentence == nullptr) return;
  sentence.ReleaseFields();  // the record handlers are done with them
  sentence.CreateLock();  // the receiver may delete it on another thread
  sentence.AddRef();
  Events.Sentence(Context, &sentence);
}

template <class T>
void NmeaParser::Deliver(T* record, Callback callback, Slot<T>& slot,
                         bool (*accept)(NmeaParser&, T&, bool waiting)) {
  Ref<T> held = Ref<T>::Adopt(record);
  held->CreateLock();
  if (!NoEvents) {
    held->AddRef();
    callback(Context, held.Get());
    return;
  }
  Ref<WaitEvent> waiter;
  {
    LockHold hold(GetLock());
    if (accept != nullptr && !accept(*this, *held, static_cast<bool>(slot.Waiter))) return;
    slot.Latest = std::move(held);
    waiter = slot.Waiter;
  }
  if (waiter) waiter->Set();  // after the lock is left
}

void NmeaParser::HandleFix(NmeaSentence& sentence) {
  if (!NoEvents && Events.Fix == nullptr) return;
  auto* fix = new GpsFix(sentence, GetGpsDatum());
  if (fix->GetFixType() == GpsFix::NoFix) {
    ReleaseObject(fix);
    return;
  }
  // A waiting request for a better fix type neither ends nor loses its wait to a lesser one.
  auto meetsMinimum = [](NmeaParser& p, GpsFix& f, bool waiting) {
    return !waiting || f.GetFixType() >= p.MinimumFixType;
  };
  Deliver<GpsFix>(fix, Events.Fix, LatestFix, meetsMinimum);
}

void NmeaParser::HandleMovement(NmeaSentence& sentence) {
  if (!NoEvents && Events.Movement == nullptr) return;
  auto* movement = new Movement(sentence);
  if (!movement->IsValid()) {
    ReleaseObject(movement);
    return;
  }
  Deliver<Movement>(movement, Events.Movement, LatestMovement, nullptr);
}

void NmeaParser::HandleSatellites(NmeaSentence& sentence) {
  if (!NoEvents && Events.Satellites == nullptr) return;
  if (!Accumulator) Accumulator = MakeRef<Satellites>();
  if (!Accumulator->Accumulate(sentence)) return;
  // The completed group leaves; the next group starts a new accumulator.
  Deliver<Satellites>(Accumulator.Detach(), Events.Satellites, LatestSatellites, nullptr);
}

void NmeaParser::HandleQuality(NmeaSentence& sentence) {
  if (!NoEvents && Events.Quality == nullptr) return;
  Deliver<Quality>(new Quality(sentence), Events.Quality, LatestQuality, nullptr);
}

}  // namespace velmira
