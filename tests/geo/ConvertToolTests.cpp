// The velmira convert command as a whole process; the conversions themselves are checked
// against PROJ in ReferenceTests.
#include <gtest/gtest.h>

#include "GeoTesting.h"
#include "support/ToolRunner.h"

namespace velmira {
namespace {

using namespace velmira::testing;
using test::RunTool;

TEST(ConvertTool, UsageErrorsExitWith2) {
  for (const char* options : {"--from datum=1", "--from datum=1 --to grid=3", "--from datum=1,zone=3 --to datum=1",
                              "--from datum=x --to datum=1", "--from datum=1 --to datum=1 extra", "--from datum=28 --to datum=1",
                              "--from datum=1 --to datum=1,grid=50", "--from datum=1 --to datum=1,grid=3,zone=2"}) {
    EXPECT_EQ(RunTool(std::string("convert ") + options).Status, 2) << options;
  }
}

TEST(ConvertTool, CopiesCommentsAndBlankLinesAndReportsBadLinesWithoutStopping) {
  const test::ToolResult run = RunTool("convert --from datum=1 --to datum=1,grid=1",
                                       "# header\n\n50 9 100\n91 0\nnot a point\n1 2 3 4\n-45 -171\n");
  EXPECT_EQ(run.Status, 1);
  ASSERT_EQ(run.Lines.size(), 7u) << run.Errors;
  EXPECT_EQ(run.Lines[0] + "|" + run.Lines[1], "# header|");
  EXPECT_TRUE(run.Lines[2].starts_with("500000.0000 ") && run.Lines[2].ends_with(" 100.0000 32U"));
  EXPECT_EQ(run.Lines[3], "error: Invalid latitude. Must be between -PI/2 and PI/2");
  EXPECT_TRUE(run.Lines[4].starts_with("error: ") && run.Lines[5].starts_with("error: "));
  EXPECT_TRUE(run.Lines[6].ends_with(" 2G")) << run.Lines[6];
  // The grid line read back the other way gives the point again, within a millimetre.
  const test::ToolResult back = RunTool("convert --from datum=1,grid=1,zone=32 --to datum=1",
                                        run.Lines[2].substr(0, run.Lines[2].size() - 4));
  double lat = 0, lon = 0, h = 0;
  ASSERT_EQ(std::sscanf(back.Lines.at(0).c_str(), "%lf %lf %lf", &lat, &lon, &h), 3) << back.Errors;
  EXPECT_LT(GroundDistance(lat * Deg, lon * Deg, 50 * Deg, 9 * Deg), 0.001) << back.Lines[0];
  EXPECT_EQ(h, 100);
}

}  // namespace
}  // namespace velmira
