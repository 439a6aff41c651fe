// Fix records: date pivot, time arithmetic, NMEA angles, validity rules per sentence kind
// and the absent-versus-empty field rules.
#include <gtest/gtest.h>

#include <cmath>

#include "support/NmeaText.h"
#include "frame/Text.h"
#include "gps/GpsFix.h"
#include "gps/NmeaPoint.h"
#include "gps/NmeaSentence.h"

namespace {

using testsupport::Sentence;
using velmira::DateTime;
using velmira::GpsFix;
using velmira::Text;

constexpr double DegToRad = 0.017453292519943295;

struct DateCase {
  const char* Date;
  int Year, Month, Day;
};

TEST(DateTimeFields, TwoDigitYearPivotsAtEighty) {
  const DateCase cases[] = {
      {"010180", 1980, 1, 1},  {"311279", 2079, 12, 31}, {"230394", 1994, 3, 23},
      {"010100", 2000, 1, 1},  {"311299", 1999, 12, 31}, {"", 2000, 0, 0},
  };
  for (const DateCase& c : cases) {
    Text date(c.Date);
    DateTime t(&date, nullptr);
    EXPECT_EQ(t.Year, c.Year) << c.Date;
    EXPECT_EQ(t.Month, c.Month) << c.Date;
    EXPECT_EQ(t.Day, c.Day) << c.Date;
  }
  DateTime absent(nullptr, nullptr);
  EXPECT_EQ(absent.Year, 0);  // an absent date is not the empty one: no pivot applied
}

struct TimeCase {
  const char* Time;
  int Hour, Minute, Second, Ms;
};

TEST(DateTimeFields, TimeOfDayIncludingMillisecondRounding) {
  const TimeCase cases[] = {
      {"123519.25", 12, 35, 19, 250}, {"000000", 0, 0, 0, 0},     {"235959.999", 23, 59, 59, 999},
      {"235959.001", 23, 59, 59, 1},  {"092750.000", 9, 27, 50, 0}, {"", 0, 0, 0, 0},
      {"nan", 0, 0, 0, 0},
  };
  for (const TimeCase& c : cases) {
    Text time(c.Time);
    DateTime t(nullptr, &time);
    EXPECT_EQ(t.Hour, c.Hour) << c.Time;
    EXPECT_EQ(t.Minute, c.Minute) << c.Time;
    EXPECT_EQ(t.Second, c.Second) << c.Time;
    EXPECT_EQ(t.MilliSecond, c.Ms) << c.Time;
    EXPECT_EQ(t.Year, 0) << c.Time;
  }
}

TEST(NmeaAngles, DegreesMinutesSecondsAndHemisphereSign) {
  Text lat("4807.038"), north("N"), south("S");
  velmira::NmeaAngle a = velmira::ReadNmeaAngle(&lat, &north, 'S');
  EXPECT_EQ(a.Parts.Degrees, 48);
  EXPECT_EQ(a.Parts.Minutes, 7);
  EXPECT_NEAR(a.Parts.Seconds, 2.28, 1e-9);
  EXPECT_NEAR(a.Radians, 48.1173 * DegToRad, 1e-12);
  EXPECT_DOUBLE_EQ(velmira::ReadNmeaAngle(&lat, &south, 'S').Radians, -a.Radians);

  Text lon("01131.000"), west("W");
  velmira::NmeaAngle w = velmira::ReadNmeaAngle(&lon, &west, 'W');
  EXPECT_NEAR(w.Radians, -(11 + 31.0 / 60) * DegToRad, 1e-15);
  EXPECT_EQ(w.Parts.Degrees, 11);
  EXPECT_EQ(w.Parts.Minutes, 31);

  velmira::NmeaAngle none = velmira::ReadNmeaAngle(nullptr, &west, 'W');
  EXPECT_EQ(none.Radians, 0.0);
  EXPECT_EQ(none.Parts.Degrees, 0);
  Text huge("1e30");
  EXPECT_EQ(velmira::ReadNmeaAngle(&huge, nullptr, 'S').Radians, 0.0);
}

TEST(FixFromRmc, StatusDecidesAndDateAndTimeComeFromFieldsNineAndOne) {
  auto v = Sentence("GPRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
  EXPECT_EQ(GpsFix(*v, 1).GetFixType(), GpsFix::NoFix);

  auto a = Sentence("GPRMC,123519.5,A,4807.038,N,01131.000,W,022.4,084.4,230394,003.1,W");
  GpsFix fix(*a, 7);
  EXPECT_EQ(fix.GetFixType(), GpsFix::Fix2D);
  const DateTime& t = fix.GetTimeStamp();
  EXPECT_EQ(t.Year, 1994);
  EXPECT_EQ(t.Month, 3);
  EXPECT_EQ(t.Day, 23);
  EXPECT_EQ(t.Hour, 12);
  EXPECT_EQ(t.Minute, 35);
  EXPECT_EQ(t.Second, 19);
  EXPECT_EQ(t.MilliSecond, 500);
  EXPECT_NEAR(fix.GetPoint().Latitude, (48 + 7.038 / 60) * DegToRad, 1e-12);
  EXPECT_LT(fix.GetPoint().Longitude, 0);
  EXPECT_EQ(fix.GetPoint().Altitude, 0.0);
  EXPECT_EQ(fix.GetPoint().Height, 0.0);
  EXPECT_EQ(fix.GetPoint().Datum, 7);
}

TEST(FixFromRmc, TruncatedSentenceLeavesAbsentDateAtZero) {
  // Status and position present, nothing after the course: the date field is absent.
  auto s = Sentence("GPRMC,010203,A,4807.038,N,01131.000,E,1.0,2.0");
  GpsFix fix(*s, 1);
  EXPECT_EQ(fix.GetFixType(), GpsFix::Fix2D);
  EXPECT_EQ(fix.GetTimeStamp().Year, 0);
  EXPECT_EQ(fix.GetTimeStamp().Day, 0);
  EXPECT_EQ(fix.GetTimeStamp().Second, 3);
}

TEST(FixFromGga, QualityZeroOnlyMeansNoFixAndHeightAddsSeparation) {
  const char* body = "GPGGA,123519,4807.038,N,01131.000,E,%s,08,0.9,545.4,M,46.9,M,,";
  char text[128];
  for (const char* quality : {"1", "2", ""}) {
    std::snprintf(text, sizeof text, body, quality);
    GpsFix fix(*Sentence(text), 1);
    EXPECT_EQ(fix.GetFixType(), GpsFix::Fix3D) << "quality '" << quality << "'";
    EXPECT_EQ(fix.GetTimeStamp().Year, 0);
    EXPECT_EQ(fix.GetTimeStamp().Hour, 12);
    EXPECT_DOUBLE_EQ(fix.GetPoint().Altitude, 545.4);
    EXPECT_DOUBLE_EQ(fix.GetPoint().Height, 545.4 + 46.9);
  }
  std::snprintf(text, sizeof text, body, "0");
  EXPECT_EQ(GpsFix(*Sentence(text), 1).GetFixType(), GpsFix::NoFix);

  // Sentence ends before the separation field: the height is 0, not the altitude.
  GpsFix short_(*Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M"), 1);
  EXPECT_EQ(short_.GetFixType(), GpsFix::Fix3D);
  EXPECT_DOUBLE_EQ(short_.GetPoint().Altitude, 545.4);
  EXPECT_EQ(short_.GetPoint().Height, 0.0);
}

TEST(FixFromGll, StatusAndTimeFromFieldFiveWithoutAltitude) {
  GpsFix fix(*Sentence("GPGLL,4916.45,N,12311.12,W,225444.5,A,A"), 1);
  EXPECT_EQ(fix.GetFixType(), GpsFix::Fix2D);
  EXPECT_EQ(fix.GetTimeStamp().Hour, 22);
  EXPECT_EQ(fix.GetTimeStamp().Minute, 54);
  EXPECT_EQ(fix.GetTimeStamp().Second, 44);
  EXPECT_EQ(fix.GetTimeStamp().MilliSecond, 500);
  EXPECT_EQ(fix.GetPoint().Altitude, 0.0);
  EXPECT_NEAR(fix.GetPoint().Longitude, -(123 + 11.12 / 60) * DegToRad, 1e-12);
  EXPECT_EQ(GpsFix(*Sentence("GPGLL,4916.45,N,12311.12,W,225444,V,N"), 1).GetFixType(), 0);
  EXPECT_EQ(GpsFix(*Sentence("GPGLL,4916.45,N,12311.12,W,225444"), 1).GetFixType(), 0);
}

TEST(FixFromOtherKinds, GiveNoFixAndCopiesAreIndependent) {
  EXPECT_EQ(GpsFix(*Sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"), 1).GetFixType(), 0);
  EXPECT_EQ(GpsFix(*Sentence("PGRME,15.0,M,45.0,M,25.0,M"), 1).GetFixType(), 0);

  GpsFix fix(*Sentence("GNGGA,000001,0000.000,S,00000.000,W,1,,,,,,"), 1);
  EXPECT_EQ(fix.GetFixType(), 3);  // any talker
  velmira::Ref<GpsFix> copy = velmira::Ref<GpsFix>::Adopt(fix.Copy());
  EXPECT_NE(copy->GetID(), fix.GetID());
  EXPECT_EQ(copy->GetTimeStamp().Second, 1);
  EXPECT_EQ(copy->GetFixType(), 3);
}

}  // namespace
