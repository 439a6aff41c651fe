#include "gps/VtgRecord.h"

#include "gps/FieldReader.h"

namespace velmira {
namespace {

// field numbers after the command
constexpr int TrueCourseField = 1;
constexpr int TrueMarkField = 2;
constexpr int MagneticCourseField = 3;
constexpr int KnotsField = 5;

}  // namespace

VtgRecord::VtgRecord(NmeaSentence& sentence) {
  if (sentence.GetType() != KindVtg) return;
  FieldReader f(sentence);
  Valid = f.First(TrueMarkField) == 'T';
  Speed = f.Double(KnotsField);
  Course = f.Double(TrueCourseField);
  // An empty or zero magnetic course means the receiver does not know it: no variation.
  double magnetic = f.Double(MagneticCourseField);
  if (magnetic != 0.0) Variation = Course - magnetic;
}

}  // namespace velmira
