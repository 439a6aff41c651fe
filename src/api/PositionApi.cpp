#include "api/Export.h"
#include "geo/Position.h"

using velmira::DmsParts;
using velmira::Position;
using velmira::Text;
using velmira::api::KeptString;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(Position, VmPosition, Position)

namespace {

KeptString LatitudeHemisphere;
KeptString LongitudeHemisphere;
KeptString LatitudeText;
KeptString LongitudeText;

Position* Of(VmPosition* h) { return Unwrap<Position>(h); }

// A null value pointer is refused like a bad value rather than read.
bool Readable(Position* p, const double* value) {
  if (value != nullptr) return true;
  p->GetError().Set(velmira::errors::InvalidParameter);
  return false;
}

double* Deliver(double value, double* out) {
  if (out != nullptr) *out = value;
  return out;
}

// The first character of a hemisphere text, keeping the low byte of the unit as Text does.
char FirstChar(const WCHAR* text) {
  return text == nullptr ? '\0' : static_cast<char>(text[0] & 0xFF);
}

BSTR KeepDms(KeptString& slot, Text* letter, const DmsParts& parts, int16_t* degrees,
             int16_t* minutes, double* seconds, BSTR* hemisphere) {
  if (degrees != nullptr) *degrees = parts.Degrees;
  if (minutes != nullptr) *minutes = parts.Minutes;
  if (seconds != nullptr) *seconds = parts.Seconds;
  return slot.Keep(letter, hemisphere);
}

}  // namespace

extern "C" VmPosition* Position_New(void) { return Wrap<VmPosition>(new Position()); }

extern "C" double* Position_GetLatitudeRads(VmPosition* h, double* out) {
  return Deliver(Of(h)->GetLatitudeRads(), out);
}

extern "C" void Position_SetLatitudeRads(VmPosition* h, const double* value) {
  if (Readable(Of(h), value)) Of(h)->SetLatitudeRads(*value);
}

extern "C" double* Position_GetLongitudeRads(VmPosition* h, double* out) {
  return Deliver(Of(h)->GetLongitudeRads(), out);
}

extern "C" void Position_SetLongitudeRads(VmPosition* h, const double* value) {
  if (Readable(Of(h), value)) Of(h)->SetLongitudeRads(*value);
}

extern "C" double* Position_GetLatitudeDecDeg(VmPosition* h, double* out) {
  return Deliver(Of(h)->GetLatitudeDecDeg(), out);
}

extern "C" void Position_SetLatitudeDecDeg(VmPosition* h, const double* value) {
  if (Readable(Of(h), value)) Of(h)->SetLatitudeDecDeg(*value);
}

extern "C" double* Position_GetLongitudeDecDeg(VmPosition* h, double* out) {
  return Deliver(Of(h)->GetLongitudeDecDeg(), out);
}

extern "C" void Position_SetLongitudeDecDeg(VmPosition* h, const double* value) {
  if (Readable(Of(h), value)) Of(h)->SetLongitudeDecDeg(*value);
}

extern "C" BSTR Position_GetLatitudeDMS(VmPosition* h, int16_t* degrees, int16_t* minutes,
                                        double* seconds, BSTR* hemisphere) {
  DmsParts parts;
  Text* letter = Of(h)->GetLatitudeDMS(parts);
  return KeepDms(LatitudeHemisphere, letter, parts, degrees, minutes, seconds, hemisphere);
}

extern "C" BSTR Position_GetLongitudeDMS(VmPosition* h, int16_t* degrees, int16_t* minutes,
                                         double* seconds, BSTR* hemisphere) {
  DmsParts parts;
  Text* letter = Of(h)->GetLongitudeDMS(parts);
  return KeepDms(LongitudeHemisphere, letter, parts, degrees, minutes, seconds, hemisphere);
}

extern "C" void Position_SetLatitudeDMS(VmPosition* h, const double* degrees,
                                        const double* minutes, const double* seconds,
                                        const WCHAR* hemisphere) {
  Position* p = Of(h);
  if (Readable(p, degrees) && Readable(p, minutes) && Readable(p, seconds)) {
    p->SetLatitudeDMS(*degrees, *minutes, *seconds, FirstChar(hemisphere));
  }
}

extern "C" void Position_SetLongitudeDMS(VmPosition* h, const double* degrees,
                                         const double* minutes, const double* seconds,
                                         const WCHAR* hemisphere) {
  Position* p = Of(h);
  if (Readable(p, degrees) && Readable(p, minutes) && Readable(p, seconds)) {
    p->SetLongitudeDMS(*degrees, *minutes, *seconds, FirstChar(hemisphere));
  }
}

extern "C" BSTR Position_GetLatitudeString(VmPosition* h, BSTR* out, int16_t format) {
  return LatitudeText.Keep(Of(h)->GetLatitudeString(format), out);
}

extern "C" BSTR Position_GetLongitudeString(VmPosition* h, BSTR* out, int16_t format) {
  return LongitudeText.Keep(Of(h)->GetLongitudeString(format), out);
}

extern "C" double* Position_GetAltitude(VmPosition* h, int16_t kind, double* out) {
  return Deliver(Of(h)->GetAltitude(kind), out);
}

extern "C" void Position_SetAltitude(VmPosition* h, const double* value, int16_t kind) {
  if (Readable(Of(h), value)) Of(h)->SetAltitude(*value, kind);
}

extern "C" double* Position_GetEasting(VmPosition* h, double* out) {
  return Deliver(Of(h)->GetEasting(), out);
}

extern "C" void Position_SetEasting(VmPosition* h, const double* value) {
  if (Readable(Of(h), value)) Of(h)->SetEasting(*value);
}

extern "C" double* Position_GetNorthing(VmPosition* h, double* out) {
  return Deliver(Of(h)->GetNorthing(), out);
}

extern "C" void Position_SetNorthing(VmPosition* h, const double* value) {
  if (Readable(Of(h), value)) Of(h)->SetNorthing(*value);
}

extern "C" BSTR Position_GetZone(VmPosition* h, BSTR* out) {
  // A copy-class string: the wide copy leaves its Text and goes to the caller.
  velmira::Ref<Text> zone = velmira::Ref<Text>::Adopt(Of(h)->GetZone());
  zone->GetWide();
  BSTR wide = zone->DetachWide();
  if (out != nullptr) *out = wide;
  return wide;
}

extern "C" void Position_SetZone(VmPosition* h, int16_t zone) { Of(h)->SetZone(zone); }

extern "C" int16_t Position_GetDatum(VmPosition* h) { return Of(h)->GetDatum(); }

extern "C" void Position_SetDatum(VmPosition* h, int16_t datum) { Of(h)->SetDatum(datum); }

extern "C" int16_t Position_GetGrid(VmPosition* h) { return Of(h)->GetGrid(); }

extern "C" void Position_SetGrid(VmPosition* h, int16_t grid) { Of(h)->SetGrid(grid); }
