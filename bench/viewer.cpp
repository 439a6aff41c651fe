// Frames per second of Viewer_OnDraw for 640 x 480 and 1920 x 1080 windows: nothing changed
// (present only), the view moved within the rendered tiles, and a full render (tiles decoded,
// zoomed, 100 overlay objects of mixed kinds drawn) each frame. Beside them, in the same run,
// the bare costs of the same frame: BitBlt of the window's area from a 24-bit section, and
// the map's Render of the same views (tile decoding and RenderView). The ratios are printed at
// the end; the goals are present-only <= 1.5 x BitBlt and full render <= 1.3 x Render.
//
// Two frame-time scenes, rated by wall time since the resampler works on every core: a turned
// and zoomed 1920 x 1080 view rendered again each frame over tiles already decoded (turning
// between two headings), with one resampling thread beside it; and heading-up, a 1920 x 1080
// view at zoom 1.5 turned by 0.5 degrees a frame over a 4096 x 4096 map whose tiles compress
// about 2:1, the median frame of 60.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "MapLibWriter.h"
#include "platform/Gdi.h"
#include "platform/Windows.h"
#include "platform/WorkerPool.h"
#include "view/Ellipse.h"
#include "view/Label.h"
#include "view/Line.h"
#include "view/Rectangle.h"
#include "view/Viewer.h"

namespace {

using namespace velmira;

constexpr int32_t MapSide = 2048;
constexpr float Zoom = 1.5f;  // a full render resamples
constexpr int32_t Objects = 100;

// A map library with an 8-bit icon "pin" and one square 24-bit map of side pixels: gradients
// with noise in the low bits of the first part (as a scanned map might compress), or of every
// part (as aerial imagery does, about 2:1).
std::vector<std::string> Written;  // removed at the end

std::string WriteLibrary(const char* name, int32_t side, bool aerial) {
  const std::string p = (std::filesystem::temp_directory_path() /
                         (name + std::to_string(::getpid()))).string();
  Written.push_back(p);
  maplib::MapFields f;
  f.Name = "bench";
  f.Width = f.Height = side;
  f.Datum = 1;
  f.UOrigin = 0.1, f.VOrigin = 0.9, f.UPerX = 1e-5, f.VPerY = -1e-5;
  maplib::PictureFormat format;
  format.Width = format.Height = side;
  maplib::MapLibWriter w;
  w.Create(p);
  // An 8-bit icon with a transparent key colour.
  maplib::PictureFormat icon;
  icon.Width = icon.Height = 16;
  icon.BitsPerPixel = 8;
  icon.Palette.assign(1024, 0);
  icon.Palette[0] = icon.Palette[2] = 255;
  icon.Palette[6] = 200;
  icon.WithTransparency = true;
  icon.Transparent = 1;
  std::vector<uint8_t> pixels(256);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i / 16 + i % 16) % 3 == 0 ? 0 : 1;
  w.AddIcon(maplib::MakeIconRecord({"pin", "", 16, 16}), icon, pixels.data(), 16);
  w.BeginMap(maplib::MakeMapRecord(f), format);
  std::vector<uint8_t> row(size_t{3} * side);
  uint32_t noise = 1;
  auto next = [&noise] { return noise = noise * 1103515245u + 12345u; };
  for (int32_t y = 0; y < side; ++y) {
    for (int32_t x = 0; x < side; ++x) {
      row[3 * x] = static_cast<uint8_t>(x / 8 + (next() >> (aerial ? 30 : 28)));
      row[3 * x + 1] = static_cast<uint8_t>(y / 8 + (aerial ? next() >> 30 : 0));
      row[3 * x + 2] = static_cast<uint8_t>((x + y) / 16 + (aerial ? next() >> 30 : 0));
    }
    w.AddRows(row.data(), row.size(), 1);
  }
  w.EndMap();
  w.Close();
  return p;
}

const std::string& LibraryPath() {
  static const std::string path = WriteLibrary("velmira_bench_viewer_", MapSide, false);
  return path;
}

constexpr int32_t AerialSide = 4096;
const std::string& AerialPath() {
  static const std::string path = WriteLibrary("velmira_bench_aerial_", AerialSide, true);
  return path;
}

// A viewer on the bench map in a window of the given size, with 100 objects of five kinds
// around the view, and the two places a full render alternates between.
struct Scene {
  HWND Frame = nullptr, Child = nullptr;
  int32_t Width, Height;
  Ref<Viewer> View;
  Ref<Position> A, B, Near;  // far apart (other tiles); Near: A moved by a few pixels

  Scene(int32_t width, int32_t height) : Width(width), Height(height) {
    Frame = platform::CreateWindowObject(nullptr, 0, 0, width + 20, height + 20);
    Child = platform::CreateWindowObject(Frame, 10, 10, width, height);
    View = MakeRef<Viewer>();
    View->Open(MakeRef<Text>(LibraryPath().c_str()).Get());
    double zoom = Zoom;
    View->SetZoom(zoom);
    // View pixels at the window's centre: A's window starts at (100 + 256 k) so a move of a
    // few pixels stays on the same tiles; B's lies on other tiles.
    A = At(1124 + width / 2, 1124 + height / 2);
    Near = At(1127 + width / 2, 1126 + height / 2);
    B = At(2950 - width / 2, 2950 - height / 2);
    for (int32_t i = 0; i < Objects; ++i) AddObject(i);
    View->SetCentre(A.Get());
    Draw(true);
  }
  ~Scene() { platform::DestroyWindow(Frame); }

  Ref<Position> At(int32_t x, int32_t y) { return View->Point2Position(MakeRef<Point>(x, y).Get()); }

  void AddObject(int32_t i) {
    const int32_t x = 1124 + (i * 97) % Width, y = 1124 + (i * 61) % Height;
    Ref<Position> here = At(x, y), there = At(x + 40, y + 25);
    switch (i % 5) {
      case 0: {
        Ref<Icon> icon = View->NewIcon(Text("pin"));
        icon->SetPosition(here.Get());
        break;
      }
      case 1:
      case 2: {
        Ref<MapObject> o = View->NewObject(i % 5 == 1 ? MapObject::LineType : MapObject::RectangleType);
        auto* two = static_cast<TwoPointObject*>(o.Get());
        two->SetPosition1(here.Get());
        two->SetPosition2(there.Get());
        break;
      }
      case 3: {
        Ref<MapObject> o = View->NewObject(MapObject::EllipseType);
        o->SetPosition(here.Get());
        o->SetWidth(30);
        o->SetHeight(18);
        auto fill = MakeRef<Brush>();
        fill->Transparent = 0;
        fill->Green = 200;
        o->SetBrush(fill.Get());
        break;
      }
      default: {
        Ref<MapObject> o = View->NewObject(MapObject::LabelType);
        auto* label = static_cast<Label*>(o.Get());
        label->SetText(u"Label");
        label->SetPosition(here.Get());
        break;
      }
    }
  }

  void Draw(bool update) {
    platform::SetForegroundWindow(Frame);
    View->OnDraw(10, 10, Width, Height, update);
  }
};

// The resampler's threads for one benchmark (0: as many as the machine has).
void UseThreads(int32_t threads) { platform::WorkerPool::Shared().SetThreads(threads); }

// Frames per second of CPU time.
benchmark::Counter Fps(const benchmark::State& state) {
  return benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

Scene& SceneOf(int32_t width, int32_t height) {
  static std::map<std::pair<int32_t, int32_t>, std::unique_ptr<Scene>> scenes;
  auto& s = scenes[{width, height}];
  if (!s) s = std::make_unique<Scene>(width, height);
  return *s;
}

void PresentOnly(benchmark::State& state) {
  Scene& s = SceneOf(state.range(0), state.range(1));
  s.View->SetCentre(s.A.Get());
  s.Draw(true);
  for (auto _ : state) s.Draw(true);
  state.counters["fps"] = Fps(state);
}

void MovedWithinTiles(benchmark::State& state) {
  Scene& s = SceneOf(state.range(0), state.range(1));
  s.View->SetCentre(s.A.Get());
  s.Draw(true);
  bool near = false;
  for (auto _ : state) {
    near = !near;
    s.View->SetCentre((near ? s.Near : s.A).Get());
    s.Draw(true);
  }
  state.counters["fps"] = Fps(state);
}

void FullRender(benchmark::State& state) {
  Scene& s = SceneOf(state.range(0), state.range(1));
  bool atB = false;
  for (auto _ : state) {
    atB = !atB;
    s.View->SetCentre((atB ? s.B : s.A).Get());
    s.Draw(true);
  }
  state.counters["fps"] = Fps(state);
}

// The same views as FullRender, rendered by a map of its own (its own cache) without viewer.
void BareRender(benchmark::State& state) {
  Scene& s = SceneOf(state.range(0), state.range(1));
  Ref<Rect> views[2];
  for (int i = 0; i < 2; ++i) {
    s.View->SetCentre((i == 0 ? s.A : s.B).Get());
    s.Draw(true);
    views[i] = s.View->ViewArea();
  }
  auto lib = MakeRef<MapLib>();
  Text path(LibraryPath().c_str());
  lib->Open(path);
  Ref<Map> map = lib->GetMapByIndex(1);
  map->SetZoom(Zoom);
  int i = 0;
  for (auto _ : state) {
    ReleaseObject(map->Render(*views[i]));
    i ^= 1;
  }
}

// BitBlt of the window's area from a 24-bit section the size of the view rendered at A, from
// the same origin as the viewer's.
void BareBitBlt(benchmark::State& state) {
  Scene& s = SceneOf(state.range(0), state.range(1));
  s.View->SetCentre(s.A.Get());
  s.Draw(true);
  Ref<Rect> area = s.View->ViewArea();
  Ref<Point> origin = Ref<Point>::Adopt(s.View->GetMap()->ViewOrigin(s.View->GetLeft(), s.View->GetTop()));
  HDC window = platform::GetDC(s.Child);
  HDC memory = platform::CreateCompatibleDC(window);
  platform::BITMAPINFO info{};
  info.bmiHeader = {40, area->Width * Map::TileSize, area->Height * Map::TileSize, 1, 24, 0, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  platform::HBITMAP dib = platform::CreateDIBSection(memory, &info, platform::DIB_RGB_COLORS, &bits);
  platform::HGDIOBJ previous = platform::SelectObject(memory, dib);
  for (auto _ : state) {
    platform::BitBlt(window, 0, 0, s.Width, s.Height, memory, origin->X, origin->Y, platform::SRCCOPY);
  }
  platform::SelectObject(memory, previous);
  platform::DeleteObject(dib);
  platform::DeleteDC(memory);
  platform::ReleaseDC(s.Child, window);
}

// A turned and zoomed view rendered again every frame, turning between two headings whose
// tiles stay decoded; the argument is the number of threads the resampler may use.
void TurnedRender(benchmark::State& state) {
  UseThreads(static_cast<int32_t>(state.range(0)));
  Scene& s = SceneOf(1920, 1080);
  s.View->SetCentre(s.A.Get());
  const double headings[2] = {30.0, 31.0};
  for (double h : headings) {
    s.View->SetRotation(h);
    s.Draw(true);
  }
  int i = 0;
  for (auto _ : state) {
    i ^= 1;
    s.View->SetRotation(headings[i]);
    s.Draw(true);
  }
  s.View->SetRotation(0.0);
  s.Draw(true);
  UseThreads(0);
}

// Heading-up: the view turns by 0.5 degrees a frame about its centre; each iteration is 60
// frames and counts as the median frame's time.
void HeadingUp(benchmark::State& state) {
  UseThreads(static_cast<int32_t>(state.range(0)));
  HWND frame = platform::CreateWindowObject(nullptr, 0, 0, 1940, 1100);
  platform::CreateWindowObject(frame, 10, 10, 1920, 1080);
  auto view = MakeRef<Viewer>();
  view->Open(MakeRef<Text>(AerialPath().c_str()).Get());
  view->SetZoom(1.5);
  Ref<Position> centre = view->Point2Position(MakeRef<Point>(3072, 3072).Get());
  view->SetCentre(centre.Get());
  Ref<Icon> position = view->NewIcon(Text("pin"));
  position->SetPosition(centre.Get());
  double heading = 0.0;
  std::vector<double> frames(60);
  for (auto _ : state) {
    for (double& f : frames) {
      const auto start = std::chrono::steady_clock::now();
      heading += 0.5;
      view->SetRotation(heading);
      platform::SetForegroundWindow(frame);
      view->OnDraw(10, 10, 1920, 1080, true);
      f = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::nth_element(frames.begin(), frames.begin() + 30, frames.end());
    state.SetIterationTime(frames[30]);
  }
  view.Reset();
  platform::DestroyWindow(frame);
  UseThreads(0);
}

void Sizes(benchmark::internal::Benchmark* b) {
  // Rated by CPU time where one thread does all the work, so a loaded machine does not tilt the
  // ratios; renders share their rows with the worker pool and are rated by wall time.
  b->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);
}
BENCHMARK(PresentOnly)->Apply(Sizes);
BENCHMARK(BareBitBlt)->Apply(Sizes);
BENCHMARK(MovedWithinTiles)->Apply(Sizes);
BENCHMARK(FullRender)->Apply(Sizes)->UseRealTime();
BENCHMARK(BareRender)->Apply(Sizes)->UseRealTime();
BENCHMARK(TurnedRender)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(HeadingUp)->Arg(1)->Arg(2)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

// Keeps each run's time per iteration and prints the goals' ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string name = run.benchmark_name();
      const bool wall = name.size() > 10 && name.compare(name.size() - 10, 10, "/real_time") == 0;
      Times[name] = wall ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const char* size : {"640/480", "1920/1080"}) {
      auto time = [&](const char* name) {
        const auto at = Times.find(std::string(name) + "/" + size);
        return at != Times.end() ? at->second : Times[std::string(name) + "/" + size + "/real_time"];
      };
      std::printf("%-9s present only / BitBlt = %.2f (goal <= 1.5); full render / Render = %.2f (goal <= 1.3)\n",
                  size, time("PresentOnly") / time("BareBitBlt"), time("FullRender") / time("BareRender"));
    }
    for (const std::string& path : Written) std::remove(path.c_str());
  }

 private:
  std::map<std::string, double> Times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
