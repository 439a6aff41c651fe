#include "gps/GpsFix.h"

#include "gps/GgaRecord.h"
#include "gps/GllRecord.h"
#include "gps/NmeaSentence.h"
#include "gps/RmcRecord.h"

namespace velmira {
namespace {

// Takes a valid record's time stamp and position with the fix type its kind gives.
template <class Record>
void TakeRecord(const Record& r, int32_t type, int32_t& fixType, DateTime& stamp,
                FixCoordinates& point) {
  if (!r.Valid) return;
  fixType = type;
  stamp = r.Stamp;
  point = r.Point;
}

}  // namespace

GpsFix::GpsFix(NmeaSentence& sentence, int16_t datum) {
  Point.Datum = datum;
  switch (sentence.GetType()) {
    case KindRmc:
      TakeRecord(RmcRecord(sentence, datum), Fix2D, FixType, Stamp, Point);
      break;
    case KindGll:
      TakeRecord(GllRecord(sentence, datum), Fix2D, FixType, Stamp, Point);
      break;
    case KindGga:
      TakeRecord(GgaRecord(sentence, datum), Fix3D, FixType, Stamp, Point);
      break;
    default:
      break;
  }
}

// The position is made when asked for: every request gets a new one anyway, and most fixes
// that pass through a parser are never asked.
Position* GpsFix::NewPosition() const { return new Position(Point); }

GpsFix* GpsFix::Copy() const {
  auto* c = new GpsFix();
  c->FixType = FixType;
  c->Stamp = Stamp;
  c->Point = Point;
  return c;
}

}  // namespace velmira
