#include "gps/Satellites.h"

#include "gps/FieldReader.h"

namespace velmira {
namespace {

// field numbers after the command
constexpr int GroupSizeField = 1;
constexpr int MessageNumberField = 2;
constexpr int InViewField = 3;
constexpr int FirstBlockField = 4;  // then four fields per satellite:
constexpr int BlockFields = 4;      // number, elevation, azimuth, SNR

}  // namespace

void Satellites::Reset() {
  for (int i = 0; i < MaxSatellites; ++i) Id[i] = Azimuth[i] = Snr[i] = Elevation[i] = 0;
  ExpectedMessage = 1;
  Filled = 0;
  InView = 0;
}

Satellites* Satellites::Copy() const {
  auto* c = new Satellites();
  for (int i = 0; i < MaxSatellites; ++i) {
    c->Id[i] = Id[i];
    c->Azimuth[i] = Azimuth[i];
    c->Snr[i] = Snr[i];
    c->Elevation[i] = Elevation[i];
  }
  c->ExpectedMessage = ExpectedMessage;
  c->Filled = Filled;
  c->InView = InView;
  return c;
}

bool Satellites::Accumulate(NmeaSentence& gsv) {
  FieldReader f(gsv);
  // A lost or reordered message drops the rest of its group; collection resumes with the
  // next message numbered 1.
  if (f.Int16(MessageNumberField) != ExpectedMessage) {
    Reset();
    return false;
  }
  InView = static_cast<int8_t>(f.Int16(InViewField));  // kept in 8 bits

  const int n = gsv.GetFieldCount();
  if (n > FirstBlockField) {
    // The field count is at most 32767, so k < n bounds this loop.
    for (int k = FirstBlockField; k < n; k += BlockFields) {
      if (Filled == MaxSatellites) {
        Reset();  // a group with more than 12 satellites is dropped whole
        return false;
      }
      Id[Filled] = f.Int16(k);
      Elevation[Filled] = f.Int16(k + 1);
      Azimuth[Filled] = f.Int16(k + 2);
      Snr[Filled] = f.Int16(k + 3);
      ++Filled;
    }
  }

  const Text* groupSize = f.Field(GroupSizeField);
  if (groupSize == nullptr || groupSize->ToInt16() != ExpectedMessage) {
    ++ExpectedMessage;
    return false;
  }
  return true;
}

Satellite* Satellites::Item(int16_t index) {
  Err.Clear();
  if (index < 1 || index > MaxSatellites || index > InView) {
    Err.Set(errors::IndexOutOfBounds);
    return nullptr;
  }
  int i = index - 1;
  return new Satellite(Id[i], Elevation[i], Azimuth[i], Snr[i]);
}

}  // namespace velmira
