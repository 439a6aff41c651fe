// The velmira convert command as a whole process: output against PROJ's reference values,
// lines copied through, per-line errors and the exit status.
#include <gtest/gtest.h>

#include "GeoTesting.h"
#include "support/ToolRunner.h"

namespace velmira {
namespace {

using namespace velmira::testing;
using test::RunTool;
using test::ToolResult;

std::vector<double> Numbers(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> values;
  for (double v; in >> v;) values.push_back(v);
  return values;
}

TEST(ConvertTool, UsageErrorsExitWith2) {
  for (const char* options :
       {"", "--from datum=1", "--from datum=1 --to grid=3", "--from datum=1,zone=3 --to datum=1",
        "--from datum=x --to datum=1", "--from datum=1 --to datum=1 extra",
        "--from datum=28 --to datum=1", "--from datum=1 --to datum=1,grid=50",
        "--from datum=1 --to datum=1,grid=3,zone=2"}) {
    EXPECT_EQ(RunTool(std::string("convert ") + options).Status, 2) << options;
  }
}

TEST(ConvertTool, CopiesCommentsAndBlankLinesAndReportsBadLinesWithoutStopping) {
  const ToolResult run = RunTool("convert --from datum=1 --to datum=1,grid=1",
                                 "# header\n\n50 9 100\n91 0\nnot a point\n1 2 3 4\n-45 -171\n");
  EXPECT_EQ(run.Status, 1);
  ASSERT_EQ(run.Lines.size(), 7u) << run.Errors;
  EXPECT_EQ(run.Lines[0], "# header");
  EXPECT_EQ(run.Lines[1], "");
  EXPECT_EQ(run.Lines[2].substr(0, 12), "500000.0000 ");
  EXPECT_EQ(run.Lines[2].substr(run.Lines[2].size() - 13), " 100.0000 32U");
  EXPECT_EQ(run.Lines[3], "error: Invalid latitude. Must be between -PI/2 and PI/2");
  EXPECT_EQ(run.Lines[4].substr(0, 7), "error: ");
  EXPECT_EQ(run.Lines[5].substr(0, 7), "error: ");
  EXPECT_EQ(run.Lines[6].substr(run.Lines[6].size() - 3), " 2G");
  const ToolResult noZone = RunTool("convert --from datum=19 --to datum=19,grid=31", "33 -86\n");
  EXPECT_EQ(noZone.Status, 1);
  EXPECT_EQ(noZone.Lines, std::vector<std::string>{"error: Zone must be specified for this grid"});
}

TEST(ConvertTool, AgreesWithProjBothWaysOnBritishNationalGridAndUtm) {
  // Rows of tm_reference.txt inside the band: WGS 84 <-> grid. The program prints 4
  // decimals: 0.1 mm of rounding on top of the 2 mm.
  const auto rows = ReadRows("geo/tm_reference.txt");
  for (int grid : {1, 3}) {
    std::string forwardIn, inverseIn;
    std::vector<std::vector<double>> expected, inverseExpected;
    char text[128];
    for (const RefRow& row : rows) {
      const auto& r = row.V;
      if (r[0] != grid || r[7] == 0 || expected.size() == 40) continue;
      std::snprintf(text, sizeof text, "%.12g %.12g %.12g\n", r[2], r[3], r[4]);
      forwardIn += text;
      expected.push_back(r);
      if (r[1] != expected[0][1]) continue;  // one zone per process for the way back
      std::snprintf(text, sizeof text, "%.12g %.12g\n", r[5], r[6]);
      inverseIn += text;
      inverseExpected.push_back(r);
    }
    ASSERT_GT(expected.size(), 10u);
    ASSERT_GE(inverseExpected.size(), 5u);
    const std::string spec = "datum=1,grid=" + std::to_string(grid);
    const ToolResult forward = RunTool("convert --from datum=1 --to " + spec, forwardIn);
    ASSERT_EQ(forward.Status, 0) << forward.Errors;
    ASSERT_EQ(forward.Lines.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
      const std::vector<double> got = Numbers(forward.Lines[k]);
      ASSERT_GE(got.size(), 2u) << forward.Lines[k];
      EXPECT_LT(std::hypot(got[0] - expected[k][5], got[1] - expected[k][6]), 0.0022)
          << forward.Lines[k];
    }
    const std::string zone = grid == 1 ? ",zone=" + std::to_string(int(expected[0][1])) : "";
    const ToolResult inverse = RunTool("convert --from " + spec + zone + " --to datum=1", inverseIn);
    ASSERT_EQ(inverse.Status, 0) << inverse.Errors;
    ASSERT_EQ(inverse.Lines.size(), inverseExpected.size());
    for (size_t k = 0; k < inverseExpected.size(); ++k) {
      const std::vector<double> got = Numbers(inverse.Lines[k]);
      ASSERT_GE(got.size(), 2u) << inverse.Lines[k];
      const auto& r = inverseExpected[k];
      EXPECT_LT(GroundDistance(got[0] * Deg, got[1] * Deg, r[8] * Deg, r[9] * Deg), 0.0022)
          << inverse.Lines[k];
    }
  }
}

}  // namespace
}  // namespace velmira
