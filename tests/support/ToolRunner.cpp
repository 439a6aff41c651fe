#include "ToolRunner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace velmira::test {

std::string TempFile(const std::string& name, const std::string& text) {
  // CTest runs the tests of one program side by side: every file gets a name of its own.
  static std::atomic<int> files{0};
  const std::string path = ::testing::TempDir() + "velmira_" + std::to_string(getpid()) + "_" +
                           std::to_string(++files) + "_" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::string ToolResult::Text() const {
  std::string text;
  for (const std::string& line : Lines) text += line + "\n";
  return text;
}

std::string ToolPath() {
  // The program sits in the build directory, one level above the test programs.
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "velmira";
}

ToolResult RunTool(const std::string& args, const std::string& input) {
  const auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string in = TempFile("stdin", input), out = in + ".out", err = in + ".err";
  const int status = std::system((ToolPath() + " " + args + " <" + in + " >" + out + " 2>" + err).c_str());
  ToolResult r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, {}, slurp(err)};
  std::istringstream lines(slurp(out));
  for (std::string line; std::getline(lines, line);) r.Lines.push_back(line);
  for (const std::string& file : {in, out, err}) std::remove(file.c_str());
  return r;
}

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&quiet, 1, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&quiet);
  return pid;
}

std::string CommandOutput(const std::string& command) {
  std::string out;
  if (std::FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    pclose(p);
  }
  return out;
}

void Headless() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY");
}

}  // namespace velmira::test
