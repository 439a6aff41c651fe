// Runs the velmira program built beside the tests, as a user would.
#pragma once

#include <string>
#include <vector>

namespace velmira::test {

struct ToolResult {
  int Status = -1;                 // exit status; -1 if it did not exit normally
  std::vector<std::string> Lines;  // standard output
  std::string Errors;              // standard error, for failure messages
};

// `velmira ARGS` with `input` on standard input.
ToolResult RunTool(const std::string& args, const std::string& input = "");

// Writes `text` to a file of its own in the test's temporary folder and gives its path.
std::string TempFile(const std::string& name, const std::string& text);

}  // namespace velmira::test
