#include "gps/GgaRecord.h"

#include "gps/FieldReader.h"

namespace velmira {
namespace {

// field numbers after the command
constexpr int TimeField = 1;
constexpr int LatitudeField = 2;
constexpr int NorthSouthField = 3;
constexpr int LongitudeField = 4;
constexpr int EastWestField = 5;
constexpr int QualityField = 6;
constexpr int AltitudeField = 9;
constexpr int SeparationField = 11;

}  // namespace

GgaRecord::GgaRecord(NmeaSentence& sentence, int16_t datum) {
  Point.Datum = datum;
  if (sentence.GetType() != KindGga) return;
  FieldReader f(sentence);
  // Only quality 0 means no fix; receivers that leave the field empty still have one.
  Valid = f.First(QualityField) != '0';
  Stamp = DateTime(nullptr, f.Field(TimeField));
  Point = ReadFixCoordinates(f.Field(LatitudeField), f.Field(NorthSouthField), f.Field(LongitudeField),
                        f.Field(EastWestField), f.Field(AltitudeField), f.Field(SeparationField),
                        datum);
}

}  // namespace velmira
