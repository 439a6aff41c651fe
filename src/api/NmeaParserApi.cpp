#include <atomic>

#include "api/Export.h"
#include "gps/NmeaParser.h"
#include "platform/Windows.h"

using velmira::NmeaParser;
using velmira::RefObject;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(NmeaParser, VmNmeaParser, NmeaParser)

namespace {

constexpr uint32_t GpsMessage = 1125;

// One window for every parser in the process. The reader threads read it while the
// application may set it, hence atomic; no ordering beyond the value itself is needed.
std::atomic<HWND> CallbackWindow{nullptr};

// A message that is never taken gives back the reference it carries.
void ReleaseCarried(uint32_t, uintptr_t, intptr_t lParam) {
  velmira::ReleaseObject(reinterpret_cast<RefObject*>(lParam));
}

// Posts the object with its kind. When there is no live window to take it (none set, or
// deleted), the message's reference is released at once so nothing leaks.
template <velmira::EventKind Kind>
void PostEvent(void*, RefObject* object) {
  HWND window = CallbackWindow.load(std::memory_order_relaxed);
  if (!platform::PostMessageW(window, GpsMessage, Kind, reinterpret_cast<intptr_t>(object),
                              ReleaseCarried)) {
    velmira::ReleaseObject(object);
  }
}

}  // namespace

extern "C" VmNmeaParser* NmeaParser_New(void) {
  auto* parser = new NmeaParser();
  NmeaParser::Callbacks posting;
  posting.Sentence = PostEvent<velmira::EventSentence>;
  posting.Fix = PostEvent<velmira::EventFix>;
  posting.Movement = PostEvent<velmira::EventMovement>;
  posting.Satellites = PostEvent<velmira::EventSatellites>;
  posting.Quality = PostEvent<velmira::EventQuality>;
  posting.ComStatus = PostEvent<velmira::EventComStatus>;
  parser->SetCallbacks(posting, nullptr);
  return Wrap<VmNmeaParser>(parser);
}

extern "C" void NmeaParser_SetCallbackHWND(VmNmeaParser*, HWND window) {
  CallbackWindow.store(window, std::memory_order_relaxed);
}

extern "C" void NmeaParser_Parse(VmNmeaParser* h, const WCHAR* text) {
  Unwrap<NmeaParser>(h)->Parse(text);
}

extern "C" void NmeaParser_WriteData(VmNmeaParser* h, const WCHAR* buffer, int16_t count) {
  Unwrap<NmeaParser>(h)->WriteData(buffer, count);
}

extern "C" void NmeaParser_SetComPort(VmNmeaParser* h, int16_t port) {
  Unwrap<NmeaParser>(h)->SetComPort(port);
}

extern "C" void NmeaParser_SetBaudRate(VmNmeaParser* h, int32_t rate) {
  Unwrap<NmeaParser>(h)->SetBaudRate(rate);
}

extern "C" void NmeaParser_SetPortEnabled(VmNmeaParser* h, uint8_t enabled) {
  Unwrap<NmeaParser>(h)->SetPortEnabled(enabled != 0);
}

extern "C" void NmeaParser_SetGpsDatum(VmNmeaParser* h, int16_t datum) {
  Unwrap<NmeaParser>(h)->SetGpsDatum(datum);
}

extern "C" void NmeaParser_SetNoEvents(VmNmeaParser* h, uint8_t noEvents) {
  Unwrap<NmeaParser>(h)->SetNoEvents(noEvents != 0);
}

extern "C" VmGpsFix* NmeaParser_GetGpsFix(VmNmeaParser* h, int32_t timeoutMs, int16_t minimumFixType) {
  return Wrap<VmGpsFix>(Unwrap<NmeaParser>(h)->GetGpsFix(timeoutMs, minimumFixType));
}

extern "C" VmMovement* NmeaParser_GetMovement(VmNmeaParser* h, int32_t timeoutMs) {
  return Wrap<VmMovement>(Unwrap<NmeaParser>(h)->GetMovement(timeoutMs));
}

extern "C" VmSatellites* NmeaParser_GetSatellites(VmNmeaParser* h, int32_t timeoutMs) {
  return Wrap<VmSatellites>(Unwrap<NmeaParser>(h)->GetSatellites(timeoutMs));
}

extern "C" VmQuality* NmeaParser_GetQuality(VmNmeaParser* h, int32_t timeoutMs) {
  return Wrap<VmQuality>(Unwrap<NmeaParser>(h)->GetQuality(timeoutMs));
}

extern "C" VmComStatus* NmeaParser_GetComStatus(VmNmeaParser* h) {
  return Wrap<VmComStatus>(Unwrap<NmeaParser>(h)->GetComStatus());
}

extern "C" void VmNmeaParser_OpenSource(VmNmeaParser* h, const char* url) {
  Unwrap<NmeaParser>(h)->OpenSource(url);
}

extern "C" void VmNmeaParser_CloseSource(VmNmeaParser* h) { Unwrap<NmeaParser>(h)->CloseSource(); }
