#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace velmira::test {

std::string TempFile(const std::string& name, const std::string& text) {
  // CTest runs the tests of one program side by side: every file gets a name of its own.
  static std::atomic<int> files{0};
  const std::string path = ::testing::TempDir() + "velmira_" + std::to_string(getpid()) + "_" +
                           std::to_string(++files) + "_" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

ToolResult RunTool(const std::string& args, const std::string& input) {
  // The program sits in the build directory, one level above the test programs.
  const auto program =
      std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "velmira";
  const std::string in = TempFile("stdin", input), err = in + ".err";
  const std::string command = program.string() + " " + args + " < " + in + " 2>" + err;
  ToolResult r;
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    const int status = pclose(pipe);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::ifstream errors(err);
  r.Errors.assign(std::istreambuf_iterator<char>(errors), {});
  std::remove(in.c_str());
  std::remove(err.c_str());
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) r.Lines.push_back(line);
  return r;
}

}  // namespace velmira::test
