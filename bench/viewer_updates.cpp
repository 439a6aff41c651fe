// The cost of Viewer::OnDraw with update when nothing needs rendering, with one overlay object
// in three places: none, inside the window (drawn once, then unchanged) and one past the
// window's last column on a tile edge (on the window by the box test, on no rendered tile).
// Each case draws once, then times 20 more updates of a 1920 x 1080 window over a
// 4096 x 4096 map; an update that renders everything again shows as a much larger time.
//
//   bench_viewer_updates
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "MapLibWriter.h"
#include "platform/Windows.h"
#include "view/Rectangle.h"
#include "view/Viewer.h"

namespace {

constexpr int32_t Side = 4096, WindowWidth = 1920, WindowHeight = 1080;
constexpr double RadiansPerPixel = 1e-6;

bool WriteMap(const std::string& path) {
  maplib::MapFields record;
  record.Name = "bench";
  record.Width = record.Height = Side;
  record.Datum = 1;
  record.UOrigin = 0.1, record.VOrigin = 0.9, record.UPerX = RadiansPerPixel, record.VPerY = -RadiansPerPixel;
  maplib::PictureFormat format;
  format.Width = format.Height = Side;
  format.Level = 1;
  std::vector<uint8_t> rows(size_t{3} * Side * maplib::TileSize, 90);
  maplib::MapLibWriter w;
  bool ok = w.Create(path) && w.BeginMap(maplib::MakeMapRecord(record), format);
  for (int32_t y = 0; ok && y < Side; y += maplib::TileSize) ok = w.AddRows(rows.data(), size_t{3} * Side, maplib::TileSize);
  return ok && w.EndMap() && w.Close();
}

// The position of map pixel (x, y)'s middle.
velmira::Ref<velmira::Position> At(double x, double y) {
  auto p = velmira::MakeRef<velmira::Position>();
  p->SetLongitudeRads(0.1 + RadiansPerPixel * (x + 0.5));
  p->SetLatitudeRads(0.9 - RadiansPerPixel * (y + 0.5));
  return p;
}

// The window's left edge is view pixel 128, so its last column is 2047, the last of a tile.
double TwentyUpdates(const std::string& path, int32_t objectLeft) {
  using namespace velmira;
  auto viewer = MakeRef<Viewer>();
  viewer->Open(MakeRef<Text>(path.c_str()).Get());
  viewer->SetCentre(At(2048 - WindowWidth / 2, 1000).Get());
  if (objectLeft >= 0) {
    auto box = Ref<Rectangle>::Adopt(static_cast<Rectangle*>(viewer->NewObject(MapObject::RectangleType).Detach()));
    box->SetPosition1(At(objectLeft, 900).Get());
    box->SetPosition2(At(objectLeft + 20, 920).Get());
  }
  viewer->OnDraw(-1, -1, WindowWidth, WindowHeight, true);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) viewer->OnDraw(-1, -1, WindowWidth, WindowHeight, true);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  const std::string path = std::filesystem::temp_directory_path() / "velmira_bench_updates.vml";
  if (!WriteMap(path)) return std::fprintf(stderr, "writing %s failed\n", path.c_str()), 1;
  HWND frame = platform::CreateWindowObject(nullptr, 0, 0, WindowWidth, WindowHeight);
  platform::SetForegroundWindow(frame);
  const struct { const char* name; int32_t left; } cases[] = {
      {"no object", -1}, {"object inside the window", 1500}, {"object one past the last column", 2048}};
  for (const auto& c : cases) std::printf("%-34s 20 updates: %7.2f ms\n", c.name, TwentyUpdates(path, c.left));
  platform::DestroyWindow(frame);
  std::filesystem::remove(path);
  return 0;
}
