// Peak resident memory of `velmira maplib build` on a picture far larger than its memory use
// may be, and of `velmira render` of a 1920 x 1080 view of the result: the build streams the
// PNG a band of 256 rows at a time, the render decodes only the tiles under the view. The PNG
// (24-bit RGB, a gradient with a grid, level 1) is written row by row with libpng into the
// temporary folder; each command runs as a child process whose peak (ru_maxrss) is reported.
//
//   bench_maplib_build_memory [side]     side of the square picture, default 20000
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool WritePng(const std::string& path, int32_t side) {
  std::vector<png_byte> row(size_t{3} * side);  // made before setjmp: a failure jumps past nothing
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
    return false;
  }
  png_init_io(png, out);
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, side, side, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < side; ++y) {
    for (int32_t x = 0; x < side; ++x) {
      const bool line = x % 500 == 0 || y % 500 == 0;
      row[3 * size_t(x)] = line ? 60 : png_byte(x / 100);
      row[3 * size_t(x) + 1] = line ? 60 : png_byte(y / 100);
      row[3 * size_t(x) + 2] = line ? 60 : 150;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::fclose(out) == 0;
}

// Runs the velmira program built beside the benchmarks; prints its peak memory and time.
int Run(const std::string& what, const std::vector<std::string>& args) {
  const std::string program =
      (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "velmira")
          .string();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execv(program.c_str(), argv.data());
    std::_Exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  std::printf("%-40s %s, peak resident %.1f MiB, %.1f s\n", what.c_str(), ok ? "ok" : "FAILED",
              usage.ru_maxrss / 1024.0, Seconds(start));
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t side = argc > 1 ? std::atoi(argv[1]) : 20000;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("velmira_bench_build_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string png = (folder / "big.png").string(), lib = (folder / "big.vml").string();
  const auto start = std::chrono::steady_clock::now();
  if (!WritePng(png, side)) {
    std::fprintf(stderr, "cannot write %s\n", png.c_str());
    return 1;
  }
  std::printf("picture: %d x %d pixels, 24 bits: %.1f MiB of pixels, %.1f MiB as PNG, %.1f s\n",
              side, side, 3.0 * side * side / 1048576, std::filesystem::file_size(png) / 1048576.0,
              Seconds(start));
  int failed = Run("maplib build", {"maplib", "build", "-o", lib, "--map", "big", png, "--grid",
                                    "1", "--calib", "48.2,11.5,0,0;48.1,11.7,1000,1000"});
  if (failed == 0) {
    std::printf("map library: %.1f MiB\n", std::filesystem::file_size(lib) / 1048576.0);
    failed = Run("render 1920x1080 at the centre", {"render", lib, "--size", "1920x1080", "-o",
                                                    (folder / "view.png").string()});
  }
  std::filesystem::remove_all(folder);
  return failed;
}
