#include "gps/Quality.h"

#include "gps/FieldReader.h"

namespace velmira {
namespace {

// field numbers after the command
constexpr int PdopField = 15;
constexpr int HdopField = 16;
constexpr int VdopField = 17;

}  // namespace

Quality::Quality(NmeaSentence& sentence) {
  if (sentence.GetType() != KindGsa) return;
  FieldReader f(sentence);
  PDOP = f.Double(PdopField);
  HDOP = f.Double(HdopField);
  VDOP = f.Double(VdopField);
}

Quality* Quality::Copy() const {
  auto* c = new Quality();
  c->HDOP = HDOP;
  c->VDOP = VDOP;
  c->PDOP = PDOP;
  return c;
}

}  // namespace velmira
