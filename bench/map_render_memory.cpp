// Peak resident memory of rendering one 1920 x 1080 view of a 65,536 x 65,536-pixel, 24-bit
// map: only the tiles under the view may be decoded. The map file is written by the map
// library writer, streaming, into the temporary folder (a solid colour compresses small), in
// a child process; each view is rendered in a fresh child process, which reports the peak
// (VmHWM) and its resident memory before the render, so the writer's memory and earlier
// renders do not count.
//
//   bench_map_render_memory [side]     side of the square picture, default 65536
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "MapLibWriter.h"
#include "maps/ChunkReader.h"
#include "maps/Map.h"

namespace {

constexpr int32_t ViewWidth = 1920;
constexpr int32_t ViewHeight = 1080;
constexpr double Deg = 3.141592653589793 / 180;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A field of /proc/self/status in MiB (VmRSS, VmHWM).
double StatusMiB(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + std::strlen(field) + 1) / 1024;
  }
  return -1;
}

int WriteMap(const std::string& path, int32_t side) {
  const auto start = std::chrono::steady_clock::now();
  maplib::MapFields record;
  record.Name = "bench";
  record.Width = record.Height = side;
  record.Grid = 1;
  record.Zone = "32";
  record.UOrigin = 500000, record.VOrigin = 7000000, record.UPerX = 1, record.VPerY = -1;
  maplib::PictureFormat format;
  format.Width = format.Height = side;
  format.Level = 1;  // a solid colour compresses as well at the fastest level
  maplib::MapLibWriter w;
  std::vector<uint8_t> rows(size_t{3} * side * maplib::TileSize);
  for (size_t i = 0; i < rows.size(); i += 3) rows[i] = 40, rows[i + 1] = 140, rows[i + 2] = 90;
  bool ok = w.Create(path) && w.BeginMap(maplib::MakeMapRecord(record), format);
  for (int32_t y = 0; ok && y < side; y += maplib::TileSize) {
    ok = w.AddRows(rows.data(), size_t{3} * side, std::min(maplib::TileSize, side - y));
  }
  ok = ok && w.EndMap() && w.Close();
  if (!ok) {
    std::fprintf(stderr, "writing %s failed: %s\n", path.c_str(), w.ErrorText().c_str());
    return 1;
  }
  std::printf("map file: %d x %d pixels, 24 bits, %.1f MiB on disk, written in %.1f s\n", side,
              side, std::filesystem::file_size(path) / 1048576.0, Seconds(start));
  return 0;
}

// Renders the 1920 x 1080 view centred on the picture's centre at zoom and rotation.
int RenderView(const std::string& path, int32_t side, float zoom, float degrees) {
  using namespace velmira;
  auto file = MakeRef<File>();
  Text name(path.c_str());
  file->Open(name, File::ReadMode);
  ChunkReader().SkipChunk(*file);
  auto map = MakeRef<Map>();
  map->Load(file.Get());
  if (map->GetError().Failed()) {
    std::fprintf(stderr, "loading failed: %s\n", map->GetError().Message);
    return 1;
  }
  const float rotation = static_cast<float>(degrees * Deg);
  map->SetZoom(zoom);
  map->SetRotation(rotation);
  // The view pixel of the picture's centre: the rotation, then the zoom.
  const double c = side / 2.0;
  const double qx = (c * std::cos(rotation) + c * std::sin(rotation)) * zoom;
  const double qy = (c * std::cos(rotation) - c * std::sin(rotation)) * zoom;
  Ref<Rect> view = Ref<Rect>::Adopt(map->TileRect(static_cast<int32_t>(qx) - ViewWidth / 2,
                                                  static_cast<int32_t>(qy) - ViewHeight / 2,
                                                  ViewWidth, ViewHeight));
  const double before = StatusMiB("VmRSS:");
  const auto start = std::chrono::steady_clock::now();
  Ref<Bitmap> picture = Ref<Bitmap>::Adopt(map->Render(*view));
  const double took = Seconds(start);
  if (!picture) {
    std::fprintf(stderr, "render failed: %s\n", map->GetError().Message);
    return 1;
  }
  std::printf(
      "zoom %.2f, rotation %5.1f deg: %2d x %d view tiles, picture %d x %d, "
      "resident before %.1f MiB, peak %.1f MiB, render %.3f s\n",
      zoom, degrees, view->Width, view->Height, picture->Width(), picture->Height(), before,
      StatusMiB("VmHWM:"), took);
  return 0;
}

// Runs one step in a child process, so that each peak is that step's own.
int InChild(auto step) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    const int rc = step();
    std::fflush(stdout);
    std::_Exit(rc);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t side = argc > 1 ? std::atoi(argv[1]) : 65536;
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("velmira_bench_map_" + std::to_string(getpid()) + ".vml"))
                               .string();
  int failed = InChild([&] { return WriteMap(path, side); });
  const struct { float Zoom, Degrees; } views[] = {{1, 0}, {1, 30}, {0.5f, 0}, {2, 45}};
  for (const auto& v : views) {
    if (failed == 0) failed = InChild([&] { return RenderView(path, side, v.Zoom, v.Degrees); });
  }
  std::remove(path.c_str());
  return failed;
}
