// Movement from RMC and VTG, speed units, quality from GSA, and GSV group accumulation.
#include <gtest/gtest.h>

#include <string>

#include "support/NmeaText.h"
#include "gps/Movement.h"
#include "gps/NmeaSentence.h"
#include "gps/Quality.h"
#include "gps/Satellites.h"

namespace {

using testsupport::Sentence;
using velmira::Movement;
using velmira::Ref;
using velmira::Satellite;
using velmira::Satellites;

TEST(MovementFromRmc, SpeedInEveryUnitAndBadUnitRefused) {
  Movement m(*Sentence("GPRMC,123519,A,4807.038,N,01131.000,E,10.0,084.4,230394,003.1,W"));
  EXPECT_TRUE(m.IsValid());
  const double expected[] = {10.0, 5.1444341959472, 18.5199631054099, 11.507771555};
  for (int16_t unit = 0; unit < 4; ++unit) {
    EXPECT_DOUBLE_EQ(m.GetSpeed(unit), expected[unit]) << unit;
    EXPECT_EQ(m.GetError().Code, 0);
  }
  for (int16_t bad : {int16_t(4), int16_t(-1)}) {
    EXPECT_EQ(m.GetSpeed(bad), 0.0);
    EXPECT_EQ(m.GetError().Code, 10003);
    EXPECT_STREQ(m.GetError().Message, "Invalid parameter!");
  }
  EXPECT_DOUBLE_EQ(m.GetSpeed(0), 10.0);
  EXPECT_EQ(m.GetError().Code, 0);  // the next call clears the record
  EXPECT_DOUBLE_EQ(m.GetHeading(), 84.4);
  EXPECT_DOUBLE_EQ(m.GetMagneticVariation(), -3.1);
}

TEST(MovementFromRmc, StatusVIsNotValidAndEastVariationStaysPositive) {
  EXPECT_FALSE(Movement(*Sentence("GPRMC,123519,V,,,,,10.0,084.4,230394,003.1,W")).IsValid());
  Movement east(*Sentence("GPRMC,123519,A,,,,,0,0,230394,003.1,E"));
  EXPECT_DOUBLE_EQ(east.GetMagneticVariation(), 3.1);
}

TEST(MovementFromVtg, VariationIsTrueMinusMagneticOnlyWhenMagneticKnown) {
  Movement m(*Sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"));
  EXPECT_TRUE(m.IsValid());
  EXPECT_DOUBLE_EQ(m.GetHeading(), 54.7);
  EXPECT_NEAR(m.GetMagneticVariation(), 20.3, 1e-12);
  EXPECT_DOUBLE_EQ(m.GetSpeed(0), 5.5);
  EXPECT_EQ(Movement(*Sentence("GPVTG,054.7,T,,M,005.5,N,010.2,K")).GetMagneticVariation(), 0.0);
  EXPECT_EQ(Movement(*Sentence("GPVTG,054.7,T")).GetMagneticVariation(), 0.0);
  EXPECT_FALSE(Movement(*Sentence("GPVTG,054.7,,034.4,M,005.5,N,010.2,K")).IsValid());
  EXPECT_FALSE(Movement(*Sentence("GPGGA,054.7,T,034.4,M,005.5,N,010.2,K")).IsValid());
}

TEST(QualityFromGsa, DopFieldsFifteenToSeventeenEmptyReadAsZero) {
  velmira::Quality q(*Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"));
  EXPECT_DOUBLE_EQ(q.PDOP, 2.5);
  EXPECT_DOUBLE_EQ(q.HDOP, 1.3);
  EXPECT_DOUBLE_EQ(q.VDOP, 2.1);
  velmira::Quality empty(*Sentence("GPGSA,A,1,,,,,,,,,,,,,,,"));
  EXPECT_EQ(empty.PDOP, 0.0);
  EXPECT_EQ(empty.HDOP, 0.0);
  EXPECT_EQ(empty.VDOP, 0.0);
}

// A GSV message `number` of `total` listing satellites first..first+count-1 (id n has
// elevation n, azimuth 10n, SNR n+20).
std::string Gsv(int total, int number, int inView, int first, int count) {
  std::string body = "GPGSV," + std::to_string(total) + "," + std::to_string(number) + "," +
                     std::to_string(inView);
  for (int n = first; n < first + count; ++n) {
    body += "," + std::to_string(n) + "," + std::to_string(n) + "," + std::to_string(10 * n) +
            "," + std::to_string(n + 20);
  }
  return body;
}

TEST(SatelliteGroups, ThreeMessagesInOrderGiveElevenSatellitesInMessageOrder) {
  Satellites s;
  EXPECT_FALSE(s.Accumulate(*Sentence(Gsv(3, 1, 11, 1, 4))));
  EXPECT_FALSE(s.Accumulate(*Sentence(Gsv(3, 2, 11, 5, 4))));
  EXPECT_TRUE(s.Accumulate(*Sentence(Gsv(3, 3, 11, 9, 3))));
  EXPECT_EQ(s.GetCount(), 11);
  for (int16_t i = 1; i <= 11; ++i) {
    Ref<Satellite> sat = Ref<Satellite>::Adopt(s.Item(i));
    ASSERT_TRUE(sat) << i;
    EXPECT_EQ(sat->Id, i);
    EXPECT_EQ(sat->Elevation, i);
    EXPECT_EQ(sat->Azimuth, 10 * i);
    EXPECT_EQ(sat->Snr, i + 20);
  }
  EXPECT_EQ(s.Item(12), nullptr);
  EXPECT_EQ(s.GetError().Code, 10004);
  EXPECT_STREQ(s.GetError().Message, "Index out of bounds");
  EXPECT_EQ(s.Item(0), nullptr);
  Ref<Satellite> first = Ref<Satellite>::Adopt(s.Item(1));
  EXPECT_EQ(s.GetError().Code, 0);
}

TEST(SatelliteGroups, LostMessageDropsGroupAndNextGroupIsCollectedAfresh) {
  Satellites s;
  EXPECT_FALSE(s.Accumulate(*Sentence(Gsv(3, 1, 9, 1, 4))));
  EXPECT_FALSE(s.Accumulate(*Sentence(Gsv(3, 3, 9, 9, 1))));  // 2 lost
  EXPECT_FALSE(s.Accumulate(*Sentence(Gsv(2, 2, 5, 50, 1))));  // mid-group: still dropped
  EXPECT_FALSE(s.Accumulate(*Sentence(Gsv(2, 1, 5, 30, 4))));
  EXPECT_TRUE(s.Accumulate(*Sentence(Gsv(2, 2, 5, 34, 1))));
  EXPECT_EQ(s.GetCount(), 5);
  Ref<Satellite> first = Ref<Satellite>::Adopt(s.Item(1));
  EXPECT_EQ(first->Id, 30);  // nothing left over from the broken group
  Ref<Satellite> fifth = Ref<Satellite>::Adopt(s.Item(5));
  EXPECT_EQ(fifth->Id, 34);
}

TEST(SatelliteGroups, MoreThanTwelveListedIsNeverDelivered) {
  Satellites s;
  EXPECT_FALSE(s.Accumulate(*Sentence(Gsv(4, 1, 13, 1, 4))));
  EXPECT_FALSE(s.Accumulate(*Sentence(Gsv(4, 2, 13, 5, 4))));
  EXPECT_FALSE(s.Accumulate(*Sentence(Gsv(4, 3, 13, 9, 4))));
  EXPECT_FALSE(s.Accumulate(*Sentence(Gsv(4, 4, 13, 13, 1))));
  EXPECT_EQ(s.GetCount(), 0);
  // The same in one overlong message.
  EXPECT_FALSE(s.Accumulate(*Sentence(Gsv(1, 1, 13, 1, 13))));
  // Exactly twelve is fine.
  EXPECT_TRUE(s.Accumulate(*Sentence(Gsv(1, 1, 12, 1, 12))));
}

TEST(SatelliteGroups, InViewBeyondListedGivesZeroSlotsAndMissingGroupSizeKeepsWaiting) {
  Satellites s;
  EXPECT_TRUE(s.Accumulate(*Sentence(Gsv(1, 1, 3, 7, 1))));
  Ref<Satellite> third = Ref<Satellite>::Adopt(s.Item(3));
  ASSERT_TRUE(third);
  EXPECT_EQ(third->Id, 0);
  EXPECT_EQ(third->Snr, 0);

  Satellites t;
  EXPECT_FALSE(t.Accumulate(*Sentence("GPGSV")));  // no message number: reset, not counted
  EXPECT_FALSE(t.Accumulate(*Sentence("GPGSV,,1,4,01,02,03,04")));  // empty group size
  EXPECT_FALSE(t.Accumulate(*Sentence("GPGSV,2,1,4,01,02,03,04")));  // expected 2 now: drop
  // An empty SNR reads as 0 (satellite not tracked).
  EXPECT_TRUE(t.Accumulate(*Sentence("GPGSV,1,1,1,05,40,083,")));
  Ref<Satellite> sat = Ref<Satellite>::Adopt(t.Item(1));
  EXPECT_EQ(sat->Id, 5);
  EXPECT_EQ(sat->Azimuth, 83);
  EXPECT_EQ(sat->Snr, 0);
}

}  // namespace
