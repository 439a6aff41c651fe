// The records built from single sentences (fixes with their validity per kind, date pivot,
// time, NMEA angles and heights; movement; quality; GSV groups), and the parser in event mode
// through its exports: kinds and their order per call, split and overlong input, refusals,
// and what happens to messages nobody can receive.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "frame/Text.h"
#include "gps/GpsFix.h"
#include "gps/Movement.h"
#include "gps/NmeaSentence.h"
#include "gps/Quality.h"
#include "gps/Satellites.h"
#include "support/GpsMessages.h"
#include "velmira/velmira.h"

namespace velmira {
namespace {

using testsupport::Sentence;

constexpr double Deg = 0.017453292519943295;

TEST(FixRecord, TypeStampAnglesAndHeightsPerSentence) {
  const double N48 = 48 + 7.038 / 60, E11 = 11 + 31.0 / 60, N49 = 49 + 16.45 / 60,
               W123 = -(123 + 11.12 / 60);
  // Type 0: nothing else is compared. Stamp: yyyy mm dd hh mm ss mmm, the year 0 for an absent
  // date. Latitude and longitude in degrees.
  const struct { const char* Body; int Type; int64_t Stamp = 0; double Lat = 0, Lon = 0,
                 Altitude = 0, Height = 0; } cases[] = {
      {"GPRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", 0},
      {"GPRMC,123519.5,A,4807.038,N,01131.000,W,022.4,084.4,230394,003.1,W", 2,
       19940323'123519'500, N48, -E11},
      // Two-digit years pivot at 80; an empty date is the year 2000, an absent one stays 0.
      {"GPRMC,000000,A,0000.000,N,00000.000,E,,,010180", 2, 19800101'000000'000},
      {"GPRMC,000000,A,0000.000,S,00000.000,E,,,311279", 2, 20791231'000000'000},
      {"GPRMC,123519,A,4807.038,N,01131.000,E,1.0,2.0,,", 2, 20000000'123519'000, N48, E11},
      {"GPRMC,010203,A,4807.038,N,01131.000,E,1.0,2.0", 2, 10203'000, N48, E11},
      {"GPRMC,123519,A", 2, 123519'000},  // absent angles read as 0
      {"GPGLL,4916.45,N,12311.12,W,225444.5,A,A", 2, 225444'500, N49, W123},
      {"GPGLL,4916.45,N,12311.12,W,235959.999,A", 2, 235959'999, N49, W123},
      {"GPGLL,4916.45,N,12311.12,W,235959.001,A", 2, 235959'001, N49, W123},
      {"GPGLL,1e30,S,12311.12,W,,A", 2, 0, 0, W123},  // huge angles read as 0
      {"GPGLL,4916.45,N,12311.12,W,nan,A", 2, 0, N49, W123},
      {"GPGLL,4916.45,N,12311.12,W,225444,V,N", 0},
      {"GPGLL,4916.45,N,12311.12,W,225444", 0},
      // Only GGA quality 0 means no fix; the height adds the geoid separation when present.
      {"GPGGA,123519,4807.038,S,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", 3, 123519'000, -N48, E11,
       545.4, 545.4 + 46.9},
      {"GPGGA,092750.000,4807.038,N,01131.000,E,2,08,0.9,545.4,M,46.9,M,,", 3, 92750'000, N48,
       E11, 545.4, 545.4 + 46.9},
      {"GPGGA,123519,4807.038,N,01131.000,E,,08,0.9,545.4,M", 3, 123519'000, N48, E11, 545.4, 0},
      {"GNGGA,000001,0000.000,S,00000.000,W,1,,,,,,", 3, 1'000},  // any talker
      {"GPGGA,123519,4807.038,N,01131.000,E,0,08,0.9,545.4,M,46.9,M,,", 0},
      {"GPVTG,054.7,T,034.4,M,005.5,N,010.2,K", 0},
      {"PGRME,15.0,M,45.0,M,25.0,M", 0},
  };
  for (const auto& c : cases) {
    GpsFix fix(*Sentence(c.Body), 7);
    EXPECT_EQ(fix.GetFixType(), c.Type) << c.Body;
    if (c.Type == 0) continue;
    const DateTime& t = fix.GetTimeStamp();
    const int64_t stamp = ((((((t.Year * 100LL + t.Month) * 100 + t.Day) * 100 + t.Hour) * 100 +
                             t.Minute) * 100 + t.Second) * 1000) + t.MilliSecond;
    EXPECT_EQ(stamp, c.Stamp) << c.Body;
    const FixCoordinates& p = fix.GetPoint();
    EXPECT_NEAR(p.Latitude, c.Lat * Deg, 1e-12) << c.Body;
    EXPECT_NEAR(p.Longitude, c.Lon * Deg, 1e-12) << c.Body;
    EXPECT_EQ(std::vector<double>({p.Altitude, p.Height, 1.0 * p.Datum}),
              std::vector<double>({c.Altitude, c.Height, 7}))
        << c.Body;
  }
  // The degree/minute/second parts are the sentence's digits, not a round trip through radians.
  const FixCoordinates p = GpsFix(*Sentence(cases[1].Body), 1).GetPoint();
  EXPECT_EQ(p.LatitudeDms.Degrees * 100 + p.LatitudeDms.Minutes, 4807);
  EXPECT_NEAR(p.LatitudeDms.Seconds, 2.28, 1e-9);
  EXPECT_EQ(p.LongitudeDms.Degrees * 100 + p.LongitudeDms.Minutes, 1131);
}

TEST(MovementRecord, SpeedHeadingAndVariationFromRmcAndVtg) {
  // When not valid, nothing else is compared.
  const struct { const char* Body; bool Valid; double Knots = 0, Heading = 0, Variation = 0; }
      cases[] = {
      {"GPRMC,123519,A,4807.038,N,01131.000,E,10.0,084.4,230394,003.1,W", true, 10, 84.4, -3.1},
      {"GPRMC,123519,A,,,,,0,0,230394,003.1,E", true, 0, 0, 3.1},
      {"GPRMC,123519,V,,,,,10.0,084.4,230394,003.1,W", false},
      // VTG: the variation is true minus magnetic, only when the magnetic course is known.
      {"GPVTG,054.7,T,034.4,M,005.5,N,010.2,K", true, 5.5, 54.7, 20.3},
      {"GPVTG,054.7,T,,M,005.5,N,010.2,K", true, 5.5, 54.7, 0},
      {"GPVTG,054.7,T", true, 0, 54.7, 0},
      {"GPVTG,054.7,,034.4,M,005.5,N,010.2,K", false},
      {"GPGGA,054.7,T,034.4,M,005.5,N,010.2,K", false},
  };
  for (const auto& c : cases) {
    Movement m(*Sentence(c.Body));
    EXPECT_EQ(m.IsValid(), c.Valid) << c.Body;
    if (!c.Valid) continue;
    EXPECT_DOUBLE_EQ(m.GetSpeed(0), c.Knots) << c.Body;
    EXPECT_DOUBLE_EQ(m.GetHeading(), c.Heading) << c.Body;
    EXPECT_NEAR(m.GetMagneticVariation(), c.Variation, 1e-12) << c.Body;
  }
  // 10 knots in each unit, from 1852 m to the nautical mile and 1609.344 m to the mile.
  Movement m(*Sentence(cases[0].Body));
  for (auto [unit, knots] : {std::pair<int16_t, double>{0, 10}, {1, 10 * 1852 / 3600.0},
                             {2, 18.52}, {3, 10 * 1852 / 1609.344}, {4, 0}, {-1, 0}}) {
    EXPECT_NEAR(m.GetSpeed(unit), knots, 1e-4) << unit;
    EXPECT_EQ(m.GetError().Code, unit >= 0 && unit < 4 ? 0 : 10003) << unit;
  }
}

TEST(QualityRecord, DopFieldsFifteenToSeventeenEmptyReadAsZero) {
  Quality q(*Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"));
  EXPECT_EQ(std::vector<double>({q.PDOP, q.HDOP, q.VDOP}), std::vector<double>({2.5, 1.3, 2.1}));
  Quality e(*Sentence("GPGSA,A,1,,,,,,,,,,,,,,,"));
  EXPECT_EQ(std::vector<double>({e.PDOP, e.HDOP, e.VDOP}), std::vector<double>(3, 0.0));
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

TEST(SatelliteGroups, WholeGroupsInOrderAreDeliveredAndBrokenOnesDropped) {
  // Only the last message completes a group, if any does; the ids are those of the group
  // delivered last, 0 for an empty slot.
  const struct { const char* Name; std::vector<std::string> Messages; std::vector<int> Ids; }
      cases[] = {
      {"three in order", {Gsv(3, 1, 11, 1, 4), Gsv(3, 2, 11, 5, 4), Gsv(3, 3, 11, 9, 3)},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"a lost message drops the group, mid-group ones too; the next is collected afresh",
       {Gsv(3, 1, 9, 1, 4), Gsv(3, 3, 9, 9, 1), Gsv(2, 2, 5, 50, 1), Gsv(2, 1, 5, 30, 4),
        Gsv(2, 2, 5, 34, 1)},
       {30, 31, 32, 33, 34}},
      {"more than twelve listed is dropped whole; the next group starts afresh",
       {Gsv(4, 1, 13, 1, 4), Gsv(4, 2, 13, 5, 4), Gsv(4, 3, 13, 9, 4), Gsv(4, 4, 13, 13, 1),
        Gsv(1, 1, 2, 40, 2)},
       {40, 41}},
      {"so are thirteen in one message", {Gsv(1, 1, 13, 1, 13), Gsv(1, 1, 2, 40, 2)}, {40, 41}},
      {"exactly twelve", {Gsv(1, 1, 12, 1, 12)}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {"in view beyond those listed gives empty slots", {Gsv(1, 1, 3, 7, 1)}, {7, 0, 0}},
      {"no message number resets; an empty group size is not counted",
       {"GPGSV", "GPGSV,,1,4,01,01,010,21", "GPGSV,2,1,4,01,01,010,21", Gsv(1, 1, 1, 5, 1)}, {5}},
  };
  for (const auto& c : cases) {
    Satellites s;
    for (size_t i = 0; i < c.Messages.size(); ++i) {
      const bool completes = i + 1 == c.Messages.size() && !c.Ids.empty();
      EXPECT_EQ(s.Accumulate(*Sentence(c.Messages[i])), completes) << c.Name << ", " << i + 1;
    }
    ASSERT_EQ(s.GetCount(), static_cast<int16_t>(c.Ids.size())) << c.Name;
    for (int16_t i = 1; i <= s.GetCount(); ++i) {
      Ref<Satellite> sat = Ref<Satellite>::Adopt(s.Item(i));
      ASSERT_TRUE(sat) << c.Name << ", item " << i;
      const int n = c.Ids[i - 1];
      EXPECT_EQ(std::vector<int>({sat->Id, sat->Elevation, sat->Azimuth, sat->Snr}),
                std::vector<int>({n, n, 10 * n, n == 0 ? 0 : n + 20}))
          << c.Name << ", item " << i;
    }
    EXPECT_EQ(s.Item(s.GetCount() + 1), nullptr);
    EXPECT_EQ(s.GetError().Code, 10004);
    EXPECT_STREQ(s.GetError().Message, "Index out of bounds");
    EXPECT_EQ(s.Item(0), nullptr);
  }
  Satellites s;  // an empty SNR reads as 0: not tracked
  ASSERT_TRUE(s.Accumulate(*Sentence("GPGSV,1,1,1,05,40,083,")));
  EXPECT_EQ(Ref<Satellite>::Adopt(s.Item(1))->Snr, 0);
  EXPECT_EQ(s.GetError().Code, 0) << "a good call clears the record";
}

using testsupport::Line;
using Kinds = std::vector<uintptr_t>;

const std::string Rmc = "GPRMC,123519.25,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";

struct ParserEvents : ::testing::Test, testsupport::ParserWindow {};

// Records come before their sentence; fix 5, satellites 6, movement 7, quality 8, sentence 1.
TEST_F(ParserEvents, EachCallPostsTheRecordsOfWhatItCompletedInOrder) {
  const std::string line = Line(Rmc);
  std::string zda;  // eight sentences of exactly 75 bytes each: 600 bytes
  for (int i = 0; i < 8; ++i) {
    zda += Line("GPZDA,1000" + std::to_string(i) + ".00,01,01,2020,00,00," + std::string(37, 'P'));
  }
  ASSERT_EQ(zda.size(), 600u);
  std::string noise;
  for (int i = 1; i < 256; ++i) noise.push_back(static_cast<char>(i));
  // Calls: the text, then the kinds it posts.
  const struct { const char* Name; std::vector<std::pair<std::string, Kinds>> Calls; } cases[] = {
      {"RMC with status A", {{line, {5, 7, 1}}}},
      {"RMC with status V: no fix, no movement", {{Line("GPRMC,123519,V,,,,,,,230394,,"), {1}}}},
      {"GGA", {{Line("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), {5, 1}}}},
      {"GLL", {{Line("GPGLL,4916.45,N,12311.12,W,225444,A,A"), {5, 1}}}},
      {"VTG", {{Line("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"), {7, 1}}}},
      {"GSA", {{Line("GPGSA,A,3,04,05,,09,12,,,24,,,,,,,"), {8, 1}}}},
      {"proprietary", {{Line("PGRMZ,246,f,3"), {1}}}},
      {"GSV group, satellites after the last", {{Line(Gsv(2, 1, 5, 1, 4)), {1}},
                                                 {Line(Gsv(2, 2, 5, 5, 1)), {6, 1}}}},
      {"split over three calls", {{line.substr(0, 30), {}}, {line.substr(30, line.size() - 31), {}},
                                  {"\n", {5, 7, 1}}}},
      // Of 600 bytes in one call only the last 600 mod 512 = 88 are searched: the eighth.
      {"600 bytes in one call", {{zda, {1}}}},
      {"600 bytes in two calls",
       {{zda.substr(0, 300), Kinds(4, 1)}, {zda.substr(300), Kinds(4, 1)}}},
      {"noise, overlong lines and broken starts",
       {{noise + noise, {}}, {std::string(10000, 'A'), {}},
        {"$GPRMC," + std::string(10000, ',') + "\r\n", {}},
        {Line("GPRMC,1,A") + "$$$$\r\n*FF\r\n" + Line("GPXXX"), {5, 7, 1, 1}},
        {Line("GPGGA,1").substr(0, 12), {}},  // its LF is still to come
        {"\n" + line, {5, 1, 5, 7, 1}}}},
  };
  for (const auto& c : cases) {
    for (size_t i = 0; i < c.Calls.size(); ++i) {
      Parse(c.Calls[i].first);
      EXPECT_EQ(Posted(), c.Calls[i].second) << c.Name << ", call " << i + 1;
    }
  }
  EXPECT_EQ(ErrNum(), 0);
}

TEST_F(ParserEvents, RefusalsKeepTheOldValueAndPolledGetsNeedPolledModeAndAPort) {
  const std::pair<std::function<void()>, const char*> calls[] = {
      {[&] { NmeaParser_SetGpsDatum(Parser, 0); }, "10003 Unknown datum!"},
      {[&] { NmeaParser_SetGpsDatum(Parser, 28); }, "10003 Unknown datum!"},
      {[&] { NmeaParser_SetGpsDatum(Parser, 27); }, "0"},
      {[&] { NmeaParser_SetBaudRate(Parser, 4801); }, "10003 Unknown baudrate!"},
      {[&] { NmeaParser_SetBaudRate(Parser, 0); }, "0"},  // detection
      {[&] { EXPECT_EQ(NmeaParser_GetGpsFix(Parser, 0, 0), nullptr); }, "10006 NoEvents must be set!"},
      {[&] { NmeaParser_SetNoEvents(Parser, 1); }, "0"},
      {[&] { EXPECT_EQ(NmeaParser_GetQuality(Parser, 0), nullptr); }, "10006 Port must be enabled!"},
      {[&] { NmeaParser_WriteData(Parser, u"x", 1); }, "10006 Port must be enabled!"},
      {[&] { Parse(Line(Rmc)); }, "0"}};
  for (const auto& [call, error] : calls) {
    call();
    EXPECT_EQ(Error(), error);
  }
  EXPECT_EQ(Posted(), Kinds{}) << "polled mode posts nothing, not even the sentence";
  VmComStatus* status = NmeaParser_GetComStatus(Parser);
  EXPECT_EQ(ComStatus_GetValidNmea(status) + ComStatus_GetComPort(status), 0);
  ComStatus_Delete(status);
}

// Run under the sanitizer build, these leave nothing for the leak checker to report.
TEST_F(ParserEvents, MessagesWithoutReceiverReleaseTheirObjects) {
  NmeaParser_SetCallbackHWND(Parser, nullptr);
  Parse(Line(Rmc));  // no window: released at once
  HWND doomed = VmWindow_New(nullptr, 0, 0, 1, 1);
  NmeaParser_SetCallbackHWND(Parser, doomed);
  VmWindow_Delete(doomed);
  Parse(Line(Rmc));  // window gone: released at once (queued ones go with it: see tests/abi)
  EXPECT_EQ(Error(), "0");
}

}  // namespace
}  // namespace velmira
