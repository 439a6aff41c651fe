// The velmira nmea program as a user runs it: its JSON Lines for files, standard input and a
// serial port, its options and its usage errors.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/ReceiverSimulator.h"
#include "support/ToolRunner.h"
#include "velmira/velmira.h"

namespace {

using velmira::test::ToolResult;

ToolResult Nmea(const std::string& args, const std::string& input = "") { return velmira::test::RunTool("nmea " + args, input); }

const std::string Gga = "$GPGGA,123519.25,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*6E";
const std::string GgaJson =
    "{\"class\":\"FIX\",\"type\":3,\"year\":0,\"month\":0,\"day\":0,\"hour\":12,\"minute\":35,\"second\":19,\"ms\":250,"
    "\"lat\":48.117300000,\"lon\":11.516666667,\"alt\":545.4,\"height\":592.3}";
const std::string Rmc = "$GPRMC,123519,A,4807.038,S,01131.000,W,022.4,084.4,230394,003.1,W*65";

TEST(NmeaTool, FileAndStandardInputGiveOneJsonLinePerEventInPostingOrder) {
  const std::string path = velmira::test::TempFile("two.nmea", Gga + "\r\n" + Rmc + "\r\n");
  const ToolResult file = Nmea(path);
  ASSERT_EQ(file.Status, 0) << file.Errors;
  for (const std::string& source : {path, "file://" + path}) {  // the same file as a source
    EXPECT_EQ(Nmea("--source " + source).Lines, file.Lines) << source;
  }
  EXPECT_EQ(file.Lines, (std::vector<std::string>{
                            GgaJson,
                            "{\"class\":\"FIX\",\"type\":2,\"year\":1994,\"month\":3,\"day\":23,\"hour\":12,\"minute\":35,"
                            "\"second\":19,\"ms\":0,\"lat\":-48.117300000,\"lon\":-11.516666667,\"alt\":0,\"height\":0}",
                            "{\"class\":\"MOVEMENT\",\"speed_kn\":22.4,\"heading\":84.4,\"variation\":-3.1}"}));
  // Bare line feeds, a missing last line end, an overlong line and NUL bytes change nothing.
  const std::string junk = std::string(10000, 'A') + "\n" + std::string(5000, '\0') + "\n";
  const ToolResult in = Nmea("-", junk + Gga + "\n" + Rmc);
  EXPECT_TRUE(in.Status == 0 && in.Lines == file.Lines);
}

TEST(NmeaTool, SentencesOptionAddsEscapedSentenceLinesAndCountStops) {
  // A proprietary sentence with a quote and a backslash in it; its "command" is whatever
  // stands in characters 3 to 5.
  const std::string odd = velmira::test::WithChecksum("PXYZ,a\"b\\c");
  ToolResult r = Nmea("--sentences -", odd + "\r\n" + Gga + "\r\n");
  ASSERT_TRUE(r.Status == 0 && r.Lines.size() == 3u) << r.Errors;
  EXPECT_EQ(r.Lines[0], "{\"class\":\"SENTENCE\",\"command\":\"YZ,\",\"text\":\"$PXYZ,a\\\"b\\\\c*" + odd.substr(odd.size() - 2) + "\"}");
  EXPECT_EQ(r.Lines[1], GgaJson);
  EXPECT_EQ(r.Lines[2], "{\"class\":\"SENTENCE\",\"command\":\"GGA\",\"text\":\"" + Gga + "\"}");
  r = Nmea("--sentences --count 2 -", Gga + "\r\n" + Gga + "\r\n" + Gga + "\r\n");
  EXPECT_TRUE(r.Status == 0 && r.Lines.size() == 2u);
}

// The easting and northing of the fix are as PROJ gives them.
TEST(NmeaTool, GridAndDatumOptionsReachTheFixPosition) {
  std::ifstream data(VELMIRA_TEST_DATA "/nmea_tool_utm.txt");
  double easting = 0, northing = 0;
  for (std::string line; std::getline(data, line);) {
    if (!line.empty() && line[0] != '#') std::istringstream(line) >> easting >> northing;
  }
  ASSERT_GT(easting, 0);
  ToolResult r = Nmea("--grid 1 --zone 32 -", Gga + "\r\n");
  ASSERT_EQ(r.Status, 0);
  char expected[128];
  std::snprintf(expected, sizeof expected, ",\"easting\":%.3f,\"northing\":%.3f,\"zone\":\"32U\"}", easting, northing);
  EXPECT_EQ(r.Lines, std::vector<std::string>{GgaJson.substr(0, GgaJson.size() - 1) + expected});
  EXPECT_EQ(Nmea("--datum 27 -", Gga + "\r\n").Lines.size(), 1u) << "datum 27 is known";
}

TEST(NmeaTool, BadUsageExitsWithTwoAndMissingFileWithOne) {
  for (const char* args : {"", "--port", "--port 2 file.nmea", "--zone 32 -", "--polled 100 -", "--baud 4800 -", "--count -1 -",
                           "--seconds x -", "a.nmea b.nmea", "--grid 99 -", "--datum 28 -", "--port 256", "--port 0 --device /x",
                           "--port 3 --baud 1234", "--source ftp://host/x", "--source serial://ttyS0",
                           "--source serial:///dev/ttyS0?baud=4801", "--source tcp://host", "--source - --port 2",
                           "--source udp://:10110 --baud 4800", "--source"}) {
    EXPECT_EQ(Nmea(args).Status, 2) << "'" << args << "'";
  }
  EXPECT_EQ(Nmea("/nonexistent/file.nmea").Status, 1);
}

// Every way a port run fails names the device: with the library's message when it cannot be
// opened (whether detection would have skipped it or the parser opens it at a given rate),
// with the ports and rates tried when no valid NMEA came.
TEST(NmeaTool, PortFailuresNameTheDeviceAndWhatWasTried) {
  velmira::test::ReceiverSimulator silent(4800), held(4800);  // never started
  ASSERT_TRUE(silent.Ready() && held.Ready());
  velmira::test::IsolatedComPorts ports;
  ports.Map(3, held.DevicePath());
  VmNmeaParser* holder = NmeaParser_New();  // holds the line through the library: in use
  NmeaParser_SetComPort(holder, 3);
  NmeaParser_SetPortEnabled(holder, 1);
  ASSERT_EQ(Error_ErrNum(NmeaParser_GetErrHandle(holder)), 0);

  const std::string missing = "/nonexistent/velmira-gps", quiet = "COM1 (" + silent.DevicePath() + ")";
  const std::string absent = "COM5 is " + missing + ", which cannot be opened: Comm port does not exist";
  const std::string detect = " at 4800, then 57600, 9600, 19200 and 38400 baud", none = "\nvelmira nmea: no valid NMEA within 0.5 s; tried ";
  const std::pair<std::string, std::string> cases[] = {
      {"--port 5 --device " + missing, absent},
      {"--port 5 --baud 4800 --device " + missing, absent},
      {"--port 5 --polled 100 --device " + missing, absent},
      {"--device " + held.DevicePath(), "COM1 is " + held.DevicePath() + ", which cannot be opened: Comm port in use!"},
      {"--device " + silent.DevicePath(), "detecting the receiver on " + quiet + detect + none + quiet + detect},
      {"--baud 9600 --device " + silent.DevicePath(), "reading " + quiet + " at 9600 baud" + none + quiet + " at 9600 baud\n"},
  };
  for (const auto& [args, said] : cases) {
    const ToolResult r = Nmea(args + " --seconds 0.5");
    EXPECT_TRUE(r.Status == 1 && r.Lines.empty()) << args;
    EXPECT_NE(r.Errors.find(said), std::string::npos) << r.Errors;
  }
  NmeaParser_Delete(holder);

  // The program learns the device of a COM number from the library, whole or cut short.
  char cut[6] = "xxxxx";
  EXPECT_EQ(VmComPort_GetDevice(3, cut, sizeof cut), held.DevicePath().size());
  EXPECT_EQ(std::string(cut), held.DevicePath().substr(0, 5));
  EXPECT_EQ(VmComPort_GetDevice(0, cut, 6) + VmComPort_GetDevice(256, cut, 6), 0u);
}

TEST(NmeaTool, SerialDeviceInEventAndPolledMode) {
  velmira::test::ReceiverSimulator receiver(9600);
  ASSERT_TRUE(receiver.Ready());
  receiver.Start();
  const std::string device = " --device " + receiver.DevicePath() + " --baud 9600 --seconds 20";
  ToolResult r = Nmea("--count 4" + device);
  ASSERT_TRUE(r.Status == 0 && r.Lines.size() == 4u) << r.Errors;
  EXPECT_EQ(r.Lines[0], "{\"class\":\"COMSTATUS\",\"valid\":true,\"port\":1,\"baud\":9600}");
  EXPECT_NE(r.Errors.find("valid NMEA on COM1 at 9600 baud"), std::string::npos) << r.Errors;
  r = Nmea("--port 9 --polled 2000 --count 3" + device);
  ASSERT_TRUE(r.Status == 0 && r.Lines.size() == 3u) << r.Errors;
  const std::string all = r.Lines[0] + "\n" + r.Lines[1] + "\n" + r.Lines[2];
  EXPECT_NE(all.find("{\"class\":\"FIX\""), std::string::npos) << all;
  EXPECT_NE(r.Errors.find("valid NMEA on COM9 at 9600 baud"), std::string::npos) << r.Errors;
}

}  // namespace
