// The parser in event mode through its exports: kinds and their order per sentence, split
// and overlong input, refusals, and what happens to messages nobody can receive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/GpsMessages.h"
#include "velmira/velmira.h"

namespace {

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
  const struct {
    const char* Name;
    std::vector<std::pair<std::string, Kinds>> Calls;  // text, then the kinds it posts
  } cases[] = {
      {"RMC with status A", {{line, {5, 7, 1}}}},
      {"RMC with status V", {{Line("GPRMC,123519,V,,,,,,,230394,,"), {1}}}},
      {"GGA", {{Line("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), {5, 1}}}},
      {"GGA quality 0", {{Line("GPGGA,123519,4807.038,N,01131.000,E,0,00,,,M,,M,,"), {1}}}},
      {"GLL", {{Line("GPGLL,4916.45,N,12311.12,W,225444,A,A"), {5, 1}}}},
      {"VTG", {{Line("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"), {7, 1}}}},
      {"VTG without T", {{Line("GPVTG,054.7,,034.4,M,005.5,N,010.2,K"), {1}}}},
      {"GSA", {{Line("GPGSA,A,3,04,05,,09,12,,,24,,,,,,,"), {8, 1}}}},
      {"proprietary", {{Line("PGRMZ,246,f,3"), {1}}}},
      {"GSV group of three, satellites after the third",
       {{Line("GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00"), {1}},
        {Line("GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00"), {1}},
        {Line("GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,"), {6, 1}}}},
      {"split over three calls", {{line.substr(0, 30), {}}, {line.substr(30, line.size() - 31), {}},
                                  {"\n", {5, 7, 1}}}},
      // Of 600 bytes in one call only the last 600 mod 512 = 88 are searched: the eighth.
      {"600 bytes in one call", {{zda, {1}}}},
      {"600 bytes in two calls", {{zda.substr(0, 300), Kinds(4, 1)}, {zda.substr(300), Kinds(4, 1)}}},
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

TEST_F(ParserEvents, FixPositionIsANewObjectOnTheParserDatumWithGgaHeights) {
  NmeaParser_SetGpsDatum(Parser, 5);
  Parse(Line("GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,"));
  std::vector<VmMsg> m = testsupport::Drain(Window);
  ASSERT_EQ(testsupport::Kinds(m), (Kinds{5, 1}));
  EXPECT_TRUE(m[0].hwnd == Window && m[0].message == 1125u);
  auto* fix = reinterpret_cast<VmGpsFix*>(m[0].lParam);
  VmPosition* where = GpsFix_GetPosition(fix);
  VmPosition* again = GpsFix_GetPosition(fix);
  EXPECT_NE(where, again);
  double lon = 0, altitude = 0, height = 0;
  Position_GetLongitudeDecDeg(where, &lon);
  Position_GetAltitude(where, 0, &altitude);
  Position_GetAltitude(where, 1, &height);
  EXPECT_NEAR(lon, -11.516666666666667, 1e-9);
  EXPECT_DOUBLE_EQ(altitude, 545.4);
  EXPECT_DOUBLE_EQ(height, 545.4 + 46.9);
  EXPECT_EQ(Position_GetDatum(where), 5);
  Position_Delete(where);
  Position_Delete(again);
  testsupport::DeleteAll(m);
}

TEST_F(ParserEvents, RefusalsKeepTheOldValueAndPolledGetsNeedPolledModeAndAPort) {
  for (int16_t bad : {0, 28, -1}) {
    NmeaParser_SetGpsDatum(Parser, bad);
    EXPECT_EQ(Error(), "10003 Unknown datum!");
  }
  NmeaParser_SetGpsDatum(Parser, 27);
  EXPECT_EQ(Error(), "0");
  NmeaParser_SetBaudRate(Parser, 4801);
  EXPECT_EQ(Error(), "10003 Unknown baudrate!");
  for (int32_t rate : {0, 110, 14400, 56000, 128000, 256000}) {
    NmeaParser_SetBaudRate(Parser, rate);
    EXPECT_EQ(Error(), "0") << rate;
  }
  VmComStatus* status = NmeaParser_GetComStatus(Parser);
  EXPECT_EQ(ComStatus_GetValidNmea(status) + ComStatus_GetComPort(status), 0);
  ComStatus_Delete(status);
  EXPECT_EQ(NmeaParser_GetGpsFix(Parser, 0, 0), nullptr);
  EXPECT_EQ(Error(), "10006 NoEvents must be set!");
  NmeaParser_SetNoEvents(Parser, 1);
  EXPECT_EQ(NmeaParser_GetQuality(Parser, 0), nullptr);
  EXPECT_EQ(Error(), "10006 Port must be enabled!");
  NmeaParser_WriteData(Parser, u"x", 1);
  EXPECT_EQ(Error(), "10006 Port must be enabled!");
  Parse(Line(Rmc));
  EXPECT_EQ(Posted(), Kinds{}) << "polled mode posts nothing, not even the sentence";
}

// Run under the sanitizer build, these leave nothing for the leak checker to report.
TEST_F(ParserEvents, MessagesWithoutReceiverReleaseTheirObjects) {
  NmeaParser_SetCallbackHWND(Parser, nullptr);
  Parse(Line(Rmc));  // no window: released at once
  EXPECT_EQ(Posted(), Kinds{});
  HWND doomed = VmWindow_New(nullptr, 0, 0, 1, 1);
  NmeaParser_SetCallbackHWND(Parser, doomed);
  Parse(Line(Rmc));
  VmWindow_Delete(doomed);  // three queued messages: released with the window
  Parse(Line(Rmc));         // window gone: released at once
  EXPECT_EQ(Error(), "0");
}

}  // namespace
