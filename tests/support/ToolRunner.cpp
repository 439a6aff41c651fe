#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
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
  const auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  // The program sits in the build directory, one level above the test programs.
  const auto program =
      std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "velmira";
  const std::string in = TempFile("stdin", input), out = in + ".out", err = in + ".err";
  const int status =
      std::system((program.string() + " " + args + " <" + in + " >" + out + " 2>" + err).c_str());
  ToolResult r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, {}, slurp(err)};
  std::istringstream lines(slurp(out));
  for (std::string line; std::getline(lines, line);) r.Lines.push_back(line);
  for (const std::string& file : {in, out, err}) std::remove(file.c_str());
  return r;
}

}  // namespace velmira::test
