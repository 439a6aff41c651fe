#include "gps/Movement.h"

#include "gps/NmeaSentence.h"
#include "gps/RmcRecord.h"
#include "gps/VtgRecord.h"

namespace velmira {
namespace {

// unit                         factor from knots
constexpr double UnitFactors[] = {
    1.0,               // Knots
    0.51444341959472,  // MetresPerSecond
    1.85199631054099,  // KilometresPerHour
    1.1507771555,      // MilesPerHour
};
constexpr int16_t UnitCount = sizeof UnitFactors / sizeof UnitFactors[0];

}  // namespace

Movement::Movement(NmeaSentence& sentence) {
  switch (sentence.GetType()) {
    case KindRmc: {
      RmcRecord r(sentence, 1);
      Speed = r.Speed;
      Heading = r.Course;
      Variation = r.Variation;
      Valid = r.Valid;
      break;
    }
    case KindVtg: {
      VtgRecord r(sentence);
      Speed = r.Speed;
      Heading = r.Course;
      Variation = r.Variation;
      Valid = r.Valid;
      break;
    }
    default:
      break;
  }
}

Movement* Movement::Copy() const {
  auto* c = new Movement();
  c->Speed = Speed;
  c->Heading = Heading;
  c->Variation = Variation;
  c->Valid = Valid;
  return c;
}

double Movement::GetSpeed(int16_t unit) {
  Err.Clear();
  if (unit < 0 || unit >= UnitCount) {
    Err.Set(errors::InvalidParameter);
    return 0.0;
  }
  return Speed * UnitFactors[unit];
}

}  // namespace velmira
