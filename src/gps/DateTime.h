// The time stamp of a fix: date from an NMEA ddmmyy field, time from an hhmmss.sss field.
// A plain value: records and fixes embed it, so copying it is the copy constructor.
#pragma once

#include <cstdint>

namespace velmira {

class Text;

struct DateTime {
  DateTime() = default;
  // Either text may be null (absent): its parts stay 0.
  DateTime(const Text* date, const Text* time);

  int16_t Year = 0;
  int16_t Month = 0;
  int16_t Day = 0;
  int16_t Hour = 0;
  int16_t Minute = 0;
  int16_t Second = 0;
  int16_t MilliSecond = 0;

 private:
  void ReadDate(const Text& date);
  void ReadTime(const Text& time);
};

}  // namespace velmira
