#include "gps/GllRecord.h"

#include "gps/FieldReader.h"

namespace velmira {
namespace {

// field numbers after the command
constexpr int LatitudeField = 1;
constexpr int NorthSouthField = 2;
constexpr int LongitudeField = 3;
constexpr int EastWestField = 4;
constexpr int TimeField = 5;
constexpr int StatusField = 6;

}  // namespace

GllRecord::GllRecord(NmeaSentence& sentence, int16_t datum) {
  Point.Datum = datum;
  if (sentence.GetType() != KindGll) return;
  FieldReader f(sentence);
  Valid = f.First(StatusField) == 'A';
  Stamp = DateTime(nullptr, f.Field(TimeField));
  Point = ReadFixCoordinates(f.Field(LatitudeField), f.Field(NorthSouthField), f.Field(LongitudeField),
                        f.Field(EastWestField), nullptr, nullptr, datum);
}

}  // namespace velmira
