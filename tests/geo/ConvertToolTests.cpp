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
  // In-band rows of tm_reference.txt, one process each way. The program prints 4 decimals:
  // 0.1 mm of rounding on top of the 2 mm.
  int taken[4] = {};
  char text[128];
  for (const RefRow& row : ReadRows("geo/tm_reference.txt")) {
    const auto& r = row.V;
    const int grid = static_cast<int>(r[0]);
    if ((grid != 1 && grid != 3) || r[7] == 0 || ++taken[grid] > 6) continue;
    const std::string spec = "datum=1,grid=" + std::to_string(grid) +
                             (grid == 1 ? ",zone=" + std::to_string(int(r[1])) : "");
    std::snprintf(text, sizeof text, "%.12g %.12g %.12g\n", r[2], r[3], r[4]);
    const ToolResult forward = RunTool("convert --from datum=1 --to " + spec, text);
    std::snprintf(text, sizeof text, "%.12g %.12g\n", r[5], r[6]);
    const ToolResult inverse = RunTool("convert --from " + spec + " --to datum=1", text);
    ASSERT_EQ(forward.Status + inverse.Status, 0) << forward.Errors << inverse.Errors;
    const std::vector<double> e = Numbers(forward.Lines.at(0)), g = Numbers(inverse.Lines.at(0));
    ASSERT_TRUE(e.size() >= 2 && g.size() >= 2) << forward.Lines[0] << " / " << inverse.Lines[0];
    EXPECT_LT(std::hypot(e[0] - r[5], e[1] - r[6]), 0.0022) << forward.Lines[0];
    EXPECT_LT(GroundDistance(g[0] * Deg, g[1] * Deg, r[8] * Deg, r[9] * Deg), 0.0022)
        << inverse.Lines[0];
  }
  EXPECT_TRUE(taken[1] > 6 && taken[3] > 6) << "too few reference rows";
}

}  // namespace
}  // namespace velmira
