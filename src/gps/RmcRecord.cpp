#include "gps/RmcRecord.h"

#include "gps/FieldReader.h"

namespace velmira {
namespace {

// field numbers after the command
constexpr int TimeField = 1;
constexpr int StatusField = 2;
constexpr int LatitudeField = 3;
constexpr int NorthSouthField = 4;
constexpr int LongitudeField = 5;
constexpr int EastWestField = 6;
constexpr int SpeedField = 7;
constexpr int CourseField = 8;
constexpr int DateField = 9;
constexpr int VariationField = 10;
constexpr int VariationSideField = 11;

}  // namespace

RmcRecord::RmcRecord(NmeaSentence& sentence, int16_t datum) {
  Point.Datum = datum;
  if (sentence.GetType() != KindRmc) return;
  FieldReader f(sentence);
  Valid = f.First(StatusField) == 'A';
  Speed = f.Double(SpeedField);
  Course = f.Double(CourseField);
  Variation = f.Double(VariationField);
  if (f.First(VariationSideField) == 'W') Variation = -Variation;
  Stamp = DateTime(f.Field(DateField), f.Field(TimeField));
  Point = ReadFixCoordinates(f.Field(LatitudeField), f.Field(NorthSouthField), f.Field(LongitudeField),
                        f.Field(EastWestField), nullptr, nullptr, datum);
}

}  // namespace velmira
