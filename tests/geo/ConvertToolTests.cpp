// The velmira convert command as a whole process: output against PROJ's reference values,
// lines copied through, per-line errors and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The program is built next to the tests directory of the build tree.
std::string ToolPath() {
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  return (self.parent_path().parent_path() / "velmira").string();
}

struct ToolRun {
  int Status;
  std::vector<std::string> Lines;
};

ToolRun Convert(const std::string& options, const std::string& input) {
  const std::filesystem::path in =
      std::filesystem::temp_directory_path() / ("convert_in_" + std::to_string(getpid()));
  std::ofstream(in) << input;
  const std::string command = ToolPath() + " convert " + options + " < " + in.string() + " 2>&1";
  ToolRun run{-1, {}};
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
      std::string text = line;
      if (!text.empty() && text.back() == '\n') text.pop_back();
      run.Lines.push_back(text);
    }
    const int raw = pclose(pipe);
    run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::filesystem::remove(in);
  return run;
}

std::vector<double> Numbers(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> values;
  for (double v; in >> v;) values.push_back(v);
  return values;
}

TEST(ConvertTool, UsageErrorsExitWith2) {
  ASSERT_TRUE(std::filesystem::exists(ToolPath())) << ToolPath();
  for (const char* options :
       {"", "--from datum=1", "--from datum=1 --to grid=3", "--from datum=1,zone=3 --to datum=1",
        "--from datum=x --to datum=1", "--from datum=1 --to datum=1 extra",
        "--from datum=28 --to datum=1", "--from datum=1 --to datum=1,grid=50",
        "--from datum=1 --to datum=1,grid=3,zone=2"}) {
    EXPECT_EQ(Convert(options, "").Status, 2) << options;
  }
}

TEST(ConvertTool, CopiesCommentsAndBlankLinesAndReportsBadLinesWithoutStopping) {
  const ToolRun run = Convert("--from datum=1 --to datum=1,grid=1",
                          "# header\n\n50 9 100\n91 0\nnot a point\n1 2 3 4\n-45 -171\n");
  EXPECT_EQ(run.Status, 1);
  ASSERT_EQ(run.Lines.size(), 7u);
  EXPECT_EQ(run.Lines[0], "# header");
  EXPECT_EQ(run.Lines[1], "");
  EXPECT_EQ(run.Lines[2].substr(0, 12), "500000.0000 ");
  EXPECT_EQ(run.Lines[2].substr(run.Lines[2].size() - 13), " 100.0000 32U");
  EXPECT_EQ(run.Lines[3], "error: Invalid latitude. Must be between -PI/2 and PI/2");
  EXPECT_EQ(run.Lines[4].substr(0, 7), "error: ");
  EXPECT_EQ(run.Lines[5].substr(0, 7), "error: ");
  EXPECT_EQ(run.Lines[6].substr(run.Lines[6].size() - 3), " 2G");
}

TEST(ConvertTool, StatePlaneWithoutZoneFailsEachLineWithTheLibrarysMessage) {
  const ToolRun run = Convert("--from datum=19 --to datum=19,grid=31", "33 -86\n");
  EXPECT_EQ(run.Status, 1);
  ASSERT_EQ(run.Lines.size(), 1u);
  EXPECT_EQ(run.Lines[0], "error: Zone must be specified for this grid");
}

TEST(ConvertTool, AgreesWithProjBothWaysOnBritishNationalGridAndUtm) {
  // Rows of tm_reference.txt for grids 1 and 3 inside the band: WGS 84 <-> grid.
  std::ifstream data(std::string(VELMIRA_TEST_DATA) + "/geo/tm_reference.txt");
  std::string line;
  for (int grid : {1, 3}) {
    std::string forwardIn, inverseIn;
    std::vector<std::vector<double>> expected;
    data.clear();
    data.seekg(0);
    while (std::getline(data, line) && expected.size() < 40) {
      if (line.empty() || line[0] == '#') continue;
      const std::vector<double> r = Numbers(line);
      if (static_cast<int>(r[0]) != grid || r[7] == 0) continue;
      std::ostringstream f, i;
      f.precision(12);
      i.precision(12);
      f << r[2] << " " << r[3] << " " << r[4] << "\n";
      i << r[5] << " " << r[6] << "\n";
      forwardIn += f.str();
      inverseIn += i.str();
      expected.push_back(r);
    }
    ASSERT_GT(expected.size(), 10u);
    const std::string gridSpec = "datum=1,grid=" + std::to_string(grid);
    const ToolRun forward = Convert("--from datum=1 --to " + gridSpec, forwardIn);
    ASSERT_EQ(forward.Status, 0);
    ASSERT_EQ(forward.Lines.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
      const std::vector<double> got = Numbers(forward.Lines[k]);
      ASSERT_GE(got.size(), 2u) << forward.Lines[k];
      // The program prints 4 decimals: 0.1 mm of rounding on top of the 2 mm.
      EXPECT_LT(std::hypot(got[0] - expected[k][5], got[1] - expected[k][6]), 0.0022)
          << forward.Lines[k];
    }
    for (size_t k = 0; k < expected.size(); ++k) {
      const std::string zone = std::to_string(static_cast<int>(expected[k][1]));
      const std::string spec = grid == 1 ? gridSpec + ",zone=" + zone : gridSpec;
      std::ostringstream one;
      one.precision(12);
      one << expected[k][5] << " " << expected[k][6] << "\n";
      const ToolRun inverse = Convert("--from " + spec + " --to datum=1", one.str());
      ASSERT_EQ(inverse.Status, 0);
      const std::vector<double> got = Numbers(inverse.Lines.at(0));
      const double lat = expected[k][8], lon = expected[k][9];
      const double metres = 6371000 * 0.017453292519943295 *
                            std::hypot(got[0] - lat, (got[1] - lon) * std::cos(lat * 0.0174533));
      EXPECT_LT(metres, 0.0022) << inverse.Lines[0];
      if (grid == 1) break;  // one process per zone is enough for UTM
    }
  }
}

}  // namespace
