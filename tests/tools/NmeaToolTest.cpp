// The velmira nmea program as a user runs it: its JSON Lines for files, standard input and a
// serial port, its options and its usage errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "support/ReceiverSimulator.h"

namespace {

// The program sits in the build directory, one level above the test programs.
std::string Program() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
  path = path.substr(0, path.rfind('/'));
  return path.substr(0, path.rfind('/')) + "/velmira";
}

struct Result {
  int Status = -1;
  std::vector<std::string> Lines;
  std::string Errors;  // what the program said on standard error, for failure messages
};

// Runs `velmira nmea ARGS`, with `input` on standard input.
Result RunTool(const std::string& args, const std::string& input = "") {
  // CTest runs tests of this program side by side: every run gets its own input file.
  static int runs = 0;
  std::string in = ::testing::TempDir() + "velmira_nmea_in_" + std::to_string(getpid()) + "_" +
                   std::to_string(++runs) + ".txt";
  std::ofstream(in, std::ios::binary) << input;
  std::string err = in + ".err";
  std::string command = Program() + " nmea " + args + " < " + in + " 2>" + err;
  Result r;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  std::string out;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  int status = pclose(pipe);
  std::remove(in.c_str());
  std::ifstream errors(err);
  r.Errors.assign(std::istreambuf_iterator<char>(errors), {});
  std::remove(err.c_str());
  r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) r.Lines.push_back(line);
  return r;
}

std::string WriteFile(const std::string& name, const std::string& text) {
  std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

const std::string Gga = "$GPGGA,123519.25,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*6E";
const std::string GgaJson =
    "{\"class\":\"FIX\",\"type\":3,\"year\":0,\"month\":0,\"day\":0,\"hour\":12,\"minute\":35,"
    "\"second\":19,\"ms\":250,\"lat\":48.117300000,\"lon\":11.516666667,\"alt\":545.4,"
    "\"height\":592.3}";
const std::string Rmc = "$GPRMC,123519,A,4807.038,S,01131.000,W,022.4,084.4,230394,003.1,W*65";

TEST(NmeaTool, FileGivesOneJsonLinePerEventInPostingOrder) {
  std::string file = WriteFile("two.nmea", Gga + "\r\n" + Rmc + "\r\n");
  Result r = RunTool(file);
  ASSERT_EQ(r.Status, 0);
  ASSERT_EQ(r.Lines.size(), 3u);
  EXPECT_EQ(r.Lines[0], GgaJson);
  EXPECT_EQ(r.Lines[1],
            "{\"class\":\"FIX\",\"type\":2,\"year\":1994,\"month\":3,\"day\":23,\"hour\":12,"
            "\"minute\":35,\"second\":19,\"ms\":0,\"lat\":-48.117300000,\"lon\":-11.516666667,"
            "\"alt\":0,\"height\":0}");
  EXPECT_EQ(r.Lines[2], "{\"class\":\"MOVEMENT\",\"speed_kn\":22.4,\"heading\":84.4,\"variation\":-3.1}");
}

TEST(NmeaTool, StandardInputBareLineFeedsAndMissingLastLineEndDecodeAlike) {
  Result crlf = RunTool("-", Gga + "\r\n" + Rmc + "\r\n");
  Result lf = RunTool("-", Gga + "\n" + Rmc);
  ASSERT_EQ(crlf.Status, 0);
  ASSERT_EQ(lf.Status, 0);
  EXPECT_EQ(crlf.Lines, lf.Lines);
  EXPECT_EQ(crlf.Lines.size(), 3u);
}

TEST(NmeaTool, OverlongLinesAndNulBytesDoNotHideTheNextSentence) {
  std::string junk = std::string(10000, 'A') + "\n" + std::string(5000, '\0') + "\n";
  Result r = RunTool("-", junk + Gga + "\r\n");
  ASSERT_EQ(r.Status, 0);
  ASSERT_EQ(r.Lines.size(), 1u);
  EXPECT_EQ(r.Lines[0], GgaJson);
}

TEST(NmeaTool, SentencesOptionAddsEscapedSentenceLinesAndCountStops) {
  // A proprietary sentence with a quote and a backslash in it; its "command" is whatever
  // stands in characters 3 to 5.
  std::string odd = "$PXYZ,a\"b\\c*";
  unsigned sum = 0;
  for (char c : std::string("PXYZ,a\"b\\c")) sum ^= static_cast<unsigned char>(c);
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", sum);
  Result r = RunTool("--sentences -", odd + digits + "\r\n" + Gga + "\r\n");
  ASSERT_EQ(r.Status, 0);
  ASSERT_EQ(r.Lines.size(), 3u);
  EXPECT_EQ(r.Lines[0], std::string("{\"class\":\"SENTENCE\",\"command\":\"YZ,\",\"text\":\"$PXYZ,a\\\"b\\\\c*") +
                            digits + "\"}");
  EXPECT_EQ(r.Lines[1], GgaJson);
  EXPECT_EQ(r.Lines[2], "{\"class\":\"SENTENCE\",\"command\":\"GGA\",\"text\":\"" + Gga + "\"}");

  Result two = RunTool("--sentences --count 2 -", Gga + "\r\n" + Gga + "\r\n" + Gga + "\r\n");
  EXPECT_EQ(two.Status, 0);
  EXPECT_EQ(two.Lines.size(), 2u);
}

TEST(NmeaTool, GridAddsEastingNorthingAndZoneAsProjGivesThem) {
  std::ifstream data(VELMIRA_TEST_DATA "/nmea_tool_utm.txt");
  std::string line;
  double easting = 0, northing = 0;
  while (std::getline(data, line)) {
    if (!line.empty() && line[0] != '#') std::istringstream(line) >> easting >> northing;
  }
  ASSERT_GT(easting, 0);
  Result r = RunTool("--grid 1 --zone 32 -", Gga + "\r\n");
  ASSERT_EQ(r.Status, 0);
  ASSERT_EQ(r.Lines.size(), 1u);
  char expected[128];
  std::snprintf(expected, sizeof expected, ",\"easting\":%.3f,\"northing\":%.3f,\"zone\":\"32U\"}",
                easting, northing);
  EXPECT_EQ(r.Lines[0], GgaJson.substr(0, GgaJson.size() - 1) + expected);
}

TEST(NmeaTool, DatumOptionReachesTheFixPosition) {
  Result ok = RunTool("--datum 27 -", Gga + "\r\n");
  EXPECT_EQ(ok.Status, 0);
  EXPECT_EQ(ok.Lines.size(), 1u);
  EXPECT_EQ(RunTool("--datum 28 -", Gga + "\r\n").Status, 2);
}

TEST(NmeaTool, BadUsageExitsWithTwoAndMissingFileWithOne) {
  for (const char* args : {"", "--port", "--port 2 file.nmea", "--zone 32 -", "--polled 100 -",
                           "--baud 4800 -", "--count -1 -", "--seconds x -", "--frobnicate -",
                           "a.nmea b.nmea", "--grid 99 -"}) {
    EXPECT_EQ(RunTool(args).Status, 2) << "'" << args << "'";
  }
  EXPECT_EQ(RunTool("/nonexistent/file.nmea").Status, 1);
  EXPECT_EQ(RunTool("--port 7 --baud 4800 --seconds 1").Status, 1) << "COM7 without a device";
}

TEST(NmeaTool, SerialDeviceInEventAndPolledMode) {
  velmira::test::ReceiverSimulator receiver(9600);
  ASSERT_TRUE(receiver.Ready());
  receiver.Start();
  Result events = RunTool("--device " + receiver.DevicePath() + " --baud 9600 --count 4 --seconds 20");
  ASSERT_EQ(events.Status, 0) << events.Errors;
  ASSERT_EQ(events.Lines.size(), 4u);
  EXPECT_EQ(events.Lines[0], "{\"class\":\"COMSTATUS\",\"valid\":true,\"port\":1,\"baud\":9600}");

  Result polled = RunTool("--port 9 --device " + receiver.DevicePath() +
                      " --baud 9600 --polled 2000 --count 3 --seconds 20");
  ASSERT_EQ(polled.Status, 0) << polled.Errors;
  ASSERT_EQ(polled.Lines.size(), 3u);
  bool sawFix = false;
  for (const std::string& l : polled.Lines) sawFix |= l.rfind("{\"class\":\"FIX\"", 0) == 0;
  EXPECT_TRUE(sawFix) << polled.Lines[0] << "\n" << polled.Lines[1] << "\n" << polled.Lines[2];
}

}  // namespace
