// The conventions every velmira command keeps, checked for each command the program lists:
// --help and -h answer with the usage on standard output, a bad option is refused with the
// usage on standard error.
#include <gtest/gtest.h>

#include "support/ToolRunner.h"

namespace {

using velmira::test::RunTool;
using velmira::test::ToolResult;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CommandLine, EveryListedCommandAnswersHelpAndRefusesABadOptionWithItsUsage) {
  const ToolResult overview = RunTool("--help");
  ASSERT_EQ(overview.Status, 0);
  EXPECT_EQ(RunTool("-h").Lines, overview.Lines);
  std::vector<std::string> names;
  bool listed = false;
  for (const std::string& line : overview.Lines) {
    if (listed) names.push_back(line.substr(0, line.find(' ', 2)).substr(2));
    listed = listed || line == "commands:";
  }
  ASSERT_GE(names.size(), 4u) << "demo, help, nmea and convert at least";

  for (const std::string& name : names) {
    const ToolResult help = RunTool(name + " --help");
    ASSERT_FALSE(help.Lines.empty()) << name;
    EXPECT_TRUE(help.Status == 0 && help.Errors.empty() && help.Lines[0].rfind("usage: velmira " + name, 0) == 0) << name;
    EXPECT_EQ(RunTool("help " + name).Lines, help.Lines) << name;

    const ToolResult bad = RunTool(name + " --no-such-option");
    EXPECT_TRUE(bad.Status == 2 && bad.Lines.empty()) << name;
    EXPECT_TRUE(bad.Errors.rfind("velmira " + name + ": ", 0) == 0 && Contains(bad.Errors, help.Lines[0])) << bad.Errors;
  }

  for (const char* unknown : {"no-such-command", "--no-such-option"}) {
    const ToolResult bad = RunTool(unknown);
    EXPECT_TRUE(bad.Status == 2 && Contains(bad.Errors, unknown) && Contains(bad.Errors, "usage: velmira COMMAND")) << bad.Errors;
  }
  EXPECT_EQ(RunTool("").Status, 2);
}

}  // namespace
