// The parser in event mode through its exports: kinds and their order per sentence, split
// and overlong input, refusals, and what happens to messages nobody can receive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/GpsMessages.h"
#include "support/NmeaText.h"
#include "velmira/velmira.h"

namespace {

using testsupport::DeleteAll;
using testsupport::Drain;
using testsupport::Kinds;
using testsupport::Line;
using testsupport::Wide;
using Kinds_t = std::vector<uintptr_t>;

const std::string Rmc = "GPRMC,123519.25,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";

class ParserEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    Parser = NmeaParser_New();
    Window = VmWindow_New(nullptr, 0, 0, 10, 10);
    NmeaParser_SetCallbackHWND(Parser, Window);
  }
  void TearDown() override {
    NmeaParser_SetCallbackHWND(Parser, nullptr);
    NmeaParser_Delete(Parser);
    DeleteAll(Drain(Window));
    VmWindow_Delete(Window);
  }
  void Parse(const std::string& text) { NmeaParser_Parse(Parser, Wide(text).c_str()); }
  int16_t ErrNum() { return Error_ErrNum(NmeaParser_GetErrHandle(Parser)); }
  std::string ErrDesc() {
    BSTR s = Error_ErrDesc(NmeaParser_GetErrHandle(Parser), nullptr);
    std::string out;
    for (uint32_t i = 0; i < SysStringLen(s); ++i) out.push_back(static_cast<char>(s[i]));
    return out;
  }
  // Kinds of everything posted so far; the objects are deleted.
  Kinds_t Posted() {
    std::vector<VmMsg> m = Drain(Window);
    DeleteAll(m);
    return Kinds(m);
  }

  VmNmeaParser* Parser = nullptr;
  HWND Window = nullptr;
};

TEST_F(ParserEvents, RmcWithStatusAPostsFixThenMovementThenSentence) {
  Parse(Line(Rmc));
  std::vector<VmMsg> m = Drain(Window);
  ASSERT_EQ(Kinds(m), (Kinds_t{5, 7, 1}));
  auto* fix = reinterpret_cast<VmGpsFix*>(m[0].lParam);
  EXPECT_EQ(GpsFix_GetFixType(fix), 2);
  EXPECT_EQ(GpsFix_GetYear(fix), 1994);
  EXPECT_EQ(GpsFix_GetMilliSecond(fix), 250);
  VmPosition* where = GpsFix_GetPosition(fix);
  double lat = 0, lon = 0;
  Position_GetLatitudeDecDeg(where, &lat);
  Position_GetLongitudeDecDeg(where, &lon);
  EXPECT_NEAR(lat, 48.1173, 1e-9);
  EXPECT_NEAR(lon, 11.516666666666667, 1e-9);
  EXPECT_EQ(Position_GetDatum(where), 1);
  Position_Delete(where);
  double speed = 0;
  Movement_GetSpeed(reinterpret_cast<VmMovement*>(m[1].lParam), 0, &speed);
  EXPECT_DOUBLE_EQ(speed, 22.4);
  BSTR command = NmeaSentence_GetCommand(reinterpret_cast<VmNmeaSentence*>(m[2].lParam), nullptr);
  EXPECT_EQ(std::u16string(command), u"RMC");
  EXPECT_EQ(m[0].hwnd, Window);
  EXPECT_EQ(m[0].message, 1125u);
  DeleteAll(m);
  EXPECT_EQ(ErrNum(), 0);
}

TEST_F(ParserEvents, EachKindPostsItsRecordsBeforeTheSentence) {
  struct Case {
    std::string Body;
    Kinds_t Expected;
  } cases[] = {
      {"GPRMC,123519,V,,,,,,,230394,,", {1}},
      {"GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", {5, 1}},
      {"GPGGA,123519,4807.038,N,01131.000,E,0,00,,,M,,M,,", {1}},
      {"GPGLL,4916.45,N,12311.12,W,225444,A,A", {5, 1}},
      {"GPVTG,054.7,T,034.4,M,005.5,N,010.2,K", {7, 1}},
      {"GPVTG,054.7,,034.4,M,005.5,N,010.2,K", {1}},
      {"GPGSA,A,3,04,05,,09,12,,,24,,,,,,,", {8, 1}},
      {"PGRMZ,246,f,3", {1}},
  };
  for (const Case& c : cases) {
    Parse(Line(c.Body));
    EXPECT_EQ(Posted(), c.Expected) << c.Body;
  }
}

TEST_F(ParserEvents, FixPositionIsOnTheParserDatumWithGgaHeights) {
  NmeaParser_SetGpsDatum(Parser, 5);
  Parse(Line("GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,"));
  std::vector<VmMsg> m = Drain(Window);
  ASSERT_EQ(Kinds(m), (Kinds_t{5, 1}));
  auto* fix = reinterpret_cast<VmGpsFix*>(m[0].lParam);
  EXPECT_EQ(GpsFix_GetFixType(fix), 3);
  VmPosition* where = GpsFix_GetPosition(fix);
  VmPosition* again = GpsFix_GetPosition(fix);
  EXPECT_NE(where, again);  // each call builds a new, independent position
  double lat = 0, altitude = 0, height = 0;
  Position_GetLatitudeDecDeg(where, &lat);
  Position_GetAltitude(where, 0, &altitude);
  Position_GetAltitude(where, 1, &height);
  EXPECT_NEAR(lat, -48.1173, 1e-9);
  EXPECT_DOUBLE_EQ(altitude, 545.4);
  EXPECT_DOUBLE_EQ(height, 545.4 + 46.9);
  EXPECT_EQ(Position_GetDatum(where), 5);
  Position_Delete(where);
  Position_Delete(again);
  DeleteAll(m);
}

TEST_F(ParserEvents, GsvGroupOfThreePostsSatellitesOnceAfterTheThird) {
  Parse(Line("GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00"));
  Parse(Line("GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00"));
  Parse(Line("GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,"));
  std::vector<VmMsg> m = Drain(Window);
  ASSERT_EQ(Kinds(m), (Kinds_t{1, 1, 6, 1}));
  auto* sats = reinterpret_cast<VmSatellites*>(m[2].lParam);
  EXPECT_EQ(Satellites_GetCount(sats), 11);
  VmSatellite* sixth = Satellites_Item(sats, 6);
  EXPECT_EQ(Satellite_GetID(sixth), 16);
  EXPECT_EQ(Satellite_GetSNR(sixth), 39);
  Satellite_Delete(sixth);
  EXPECT_EQ(Satellites_Item(sats, 12), nullptr);
  EXPECT_EQ(Error_ErrNum(Satellites_GetErrHandle(sats)), 10004);
  DeleteAll(m);
}

TEST_F(ParserEvents, SentenceSplitOverTwoCallsIsDeliveredOnlyAfterTheSecond) {
  std::string line = Line(Rmc);
  Parse(line.substr(0, 30));
  EXPECT_EQ(Posted(), Kinds_t{});
  Parse(line.substr(30, line.size() - 31));  // all but the LF
  EXPECT_EQ(Posted(), Kinds_t{});
  Parse("\n");
  EXPECT_EQ(Posted(), (Kinds_t{5, 7, 1}));
}

TEST_F(ParserEvents, SixHundredBytesInOneCallKeepOnlyTheLastEightyEight) {
  // Eight sentences of exactly 75 bytes each: 600 bytes. In one call only the last
  // 600 mod 512 = 88 bytes are searched, which hold the eighth sentence whole.
  std::vector<std::string> lines;
  std::string all;
  for (int i = 0; i < 8; ++i) {
    std::string body = "GPZDA,1000" + std::to_string(i) + ".00,01,01,2020,00,00,PADDINGPADDINGPADDINGPADDINGPADDINGXX";
    lines.push_back(Line(body));
    ASSERT_EQ(lines.back().size(), 75u);
    all += lines.back();
  }
  ASSERT_EQ(all.size(), 600u);
  Parse(all);
  std::vector<VmMsg> one = Drain(Window);
  ASSERT_EQ(Kinds(one), Kinds_t{1});
  BSTR text = NmeaSentence_GetSentence(reinterpret_cast<VmNmeaSentence*>(one[0].lParam), nullptr);
  EXPECT_EQ(std::u16string(text), Wide(lines[7].substr(0, 73)));
  DeleteAll(one);

  Parse(all.substr(0, 300));
  Parse(all.substr(300));
  EXPECT_EQ(Posted().size(), 8u);
}

TEST_F(ParserEvents, GarbageNoiseAndOverlongLinesLeaveTheParserWorking) {
  std::string noise;
  for (int i = 1; i < 256; ++i) noise.push_back(static_cast<char>(i));
  Parse(noise + noise);
  Parse(std::string(10000, 'A'));                                // no CR LF at all
  Parse("$GPRMC," + std::string(10000, ',') + "\r\n");             // fields beyond 512 bytes
  Parse(Line("GPRMC,1,A") + "$$$$\r\n*FF\r\n" + Line("GPXXX"));    // broken starts
  Parse(testsupport::Checksummed("GPGGA,1") + "\r");               // LF still to come
  Posted();
  // The LF completes the GGA (no quality field: a fix) before the RMC is read.
  Parse("\n" + Line(Rmc));
  EXPECT_EQ(Posted(), (Kinds_t{5, 1, 5, 7, 1}));
}

TEST_F(ParserEvents, DatumAndBaudRateRefusalsKeepTheOldValue) {
  for (int16_t bad : {int16_t(0), int16_t(28), int16_t(-1)}) {
    NmeaParser_SetGpsDatum(Parser, bad);
    EXPECT_EQ(ErrNum(), 10003);
    EXPECT_EQ(ErrDesc(), "Unknown datum!");
  }
  NmeaParser_SetGpsDatum(Parser, 27);
  EXPECT_EQ(ErrNum(), 0);

  NmeaParser_SetBaudRate(Parser, 4801);
  EXPECT_EQ(ErrNum(), 10003);
  EXPECT_EQ(ErrDesc(), "Unknown baudrate!");
  for (int32_t rate : {0, 110, 14400, 56000, 128000, 256000}) {
    NmeaParser_SetBaudRate(Parser, rate);
    EXPECT_EQ(ErrNum(), 0) << rate;
  }
  VmComStatus* status = NmeaParser_GetComStatus(Parser);
  EXPECT_EQ(ComStatus_GetValidNmea(status), 0);
  EXPECT_EQ(ComStatus_GetComPort(status), 0);
  ComStatus_Delete(status);
}

TEST_F(ParserEvents, PolledGetRefusedOutsidePolledModeOrWithoutPort) {
  EXPECT_EQ(NmeaParser_GetGpsFix(Parser, 0, 0), nullptr);
  EXPECT_EQ(ErrNum(), 10006);
  EXPECT_EQ(ErrDesc(), "NoEvents must be set!");
  NmeaParser_SetNoEvents(Parser, 1);
  EXPECT_EQ(NmeaParser_GetQuality(Parser, 0), nullptr);
  EXPECT_EQ(ErrDesc(), "Port must be enabled!");
  NmeaParser_WriteData(Parser, u"x", 1);
  EXPECT_EQ(ErrDesc(), "Port must be enabled!");
  // Polled mode posts nothing for parsed text, not even the sentence.
  Parse(Line(Rmc));
  EXPECT_EQ(Posted(), Kinds_t{});
}

// Run under the sanitizer build, these leave nothing for the leak checker to report.
TEST_F(ParserEvents, MessagesWithoutReceiverReleaseTheirObjects) {
  NmeaParser_SetCallbackHWND(Parser, nullptr);
  Parse(Line(Rmc));  // no window: released at once
  EXPECT_EQ(Posted(), Kinds_t{});

  HWND doomed = VmWindow_New(nullptr, 0, 0, 1, 1);
  NmeaParser_SetCallbackHWND(Parser, doomed);
  Parse(Line(Rmc));
  VmWindow_Delete(doomed);  // three queued messages: released with the window
  Parse(Line(Rmc));         // window gone: released at once
  EXPECT_EQ(ErrNum(), 0);
}

}  // namespace
