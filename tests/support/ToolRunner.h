// Runs the velmira program built beside the tests, as a user would, and other programs a test
// compares it with.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace velmira::test {

struct ToolResult {
  int Status = -1;                 // exit status; -1 if it did not exit normally
  std::vector<std::string> Lines;  // standard output
  std::string Errors;              // standard error, for failure messages
  std::string Text() const;        // standard output whole, each line ended by "\n"
};

// `velmira ARGS` with `input` on standard input.
ToolResult RunTool(const std::string& args, const std::string& input = "");
// The path of the velmira program.
std::string ToolPath();
// Starts argv[0] without waiting, its standard output and error thrown away; -1 when it did
// not start.
pid_t Spawn(const std::vector<std::string>& argv);
// What a shell command writes on standard output.
std::string CommandOutput(const std::string& command);
// velmira view runs without a desktop: SDL's dummy video driver, whatever the machine has.
void Headless();

// Writes `text` to a file of its own in the test's temporary folder and gives its path.
std::string TempFile(const std::string& name, const std::string& text);

}  // namespace velmira::test
