// Name lookups in a large map library and the cost of a hostile icon: a library of `entries`
// maps and as many icons (records only, as a hostile file would hold them) is written by the
// map library writer into the temporary folder and opened by a viewer; every lookup by name
// (the map library's, the viewer's icon and current-map lookups) is timed for the first
// entry, the last one and a missing name. Then a 167-byte file holding one 16,000 x 16,000
// icon is opened and Viewer_NewIcon's time and the peak resident memory are printed.
//
//   bench_maplib_lookup [entries]      default 500000 (maps and icons: twice as many entries)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "MapLibWriter.h"
#include "view/MapLib.h"
#include "view/Viewer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Millis(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

double StatusMiB(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + std::strlen(field) + 1) / 1024;
  }
  return -1;
}

std::string Numbered(char kind, int32_t i) {
  char name[16];
  std::snprintf(name, sizeof name, "%c%08d", kind, i);
  return name;
}

bool WriteLibrary(const std::string& path, int32_t entries) {
  maplib::MapLibWriter w;
  bool ok = w.Create(path);
  for (int32_t i = 0; ok && i < entries; ++i) {
    maplib::MapFields map;
    map.Name = Numbered('m', i);
    map.Width = map.Height = 256;
    const auto record = maplib::MakeMapRecord(map);
    const auto icon = maplib::MakeIconRecord({Numbered('i', i), "", 8, 8});
    ok = w.WriteChunk(maplib::Tag("MAPH"), record.data(), record.size()) &&
         w.WriteChunk(maplib::Tag("ICOH"), icon.data(), icon.size());
  }
  return w.Close() && ok;
}

// One 24-bit icon whose picture header says 16,000 x 16,000 pixels, with an empty data stream.
bool WriteHugeIcon(const std::string& path) {
  maplib::MapLibWriter w;
  const auto icon = maplib::MakeIconRecord({"huge", "", 16000, 16000});
  uint32_t header[10] = {40, 16000, 16000, 1 | 24u << 16, 0, 0, 0, 0, 0, 0};
  header[5] = 16000u * 16000u * 3u;
  const uint8_t emptyStream[] = {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
  return w.Create(path) && w.WriteChunk(maplib::Tag("ICOH"), icon.data(), icon.size()) &&
         w.WriteChunk(maplib::Tag("PICH"), header, sizeof header) &&
         w.WriteChunk(maplib::Tag("PICP"), nullptr, 0) &&
         w.WriteChunk(maplib::Tag("PICD"), emptyStream, sizeof emptyStream) && w.Close();
}

template <class Lookup>
void Time(const char* what, const std::string& name, Lookup lookup) {
  velmira::Text text(name.c_str());
  const auto start = Clock::now();
  const bool found = lookup(text);
  std::printf("  %-34s %-10s %9.4f ms  %s\n", what, name.c_str(), Millis(start),
              found ? "found" : "none");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velmira;
  const int32_t entries = argc > 1 ? std::atoi(argv[1]) : 500000;
  const std::string path = std::filesystem::temp_directory_path() / "velmira_bench_lookup.vml";
  if (!WriteLibrary(path, entries)) return std::fprintf(stderr, "writing %s failed\n", path.c_str()), 1;
  std::printf("library: %d maps and %d icons, %.1f MiB\n", entries, entries,
              std::filesystem::file_size(path) / 1048576.0);

  const double before = StatusMiB("VmRSS:");
  auto viewer = MakeRef<Viewer>();
  auto start = Clock::now();
  viewer->Open(MakeRef<Text>(path.c_str()).Get());
  std::printf("open: %.1f ms, %s, resident %.1f MiB more\n", Millis(start),
              viewer->GetError().Failed() ? viewer->GetError().Message : "no error",
              StatusMiB("VmRSS:") - before);
  Ref<MapLib> lib = viewer->GetMapLib();
  const std::string names[3] = {"0", std::to_string(entries - 1), "missing"};
  for (int k = 0; k < 3; ++k) {
    const bool missing = k == 2;
    const std::string map = missing ? "nomap" : Numbered('m', std::atoi(names[k].c_str()));
    const std::string icon = missing ? "noicon" : Numbered('i', std::atoi(names[k].c_str()));
    Time("MapLib::GetMapByName", map, [&](Text& t) { return bool(lib->GetMapByName(t)); });
    Time("MapLib::FindIcon", icon, [&](Text& t) { return bool(lib->FindIcon(t)); });
    Time("Viewer::NewIcon", icon, [&](Text& t) { return bool(viewer->NewIcon(t)); });
    Time("Viewer::ActiveMapData", map, [&](Text& t) { return bool(viewer->ActiveMapData(t)); });
    Time("MapLib::NewMap (existing name)", Numbered('m', entries / 2),
         [&](Text& t) { return bool(lib->NewMap(t)); });
  }
  viewer.Reset();
  lib.Reset();
  std::filesystem::remove(path);

  const std::string hugePath = std::filesystem::temp_directory_path() / "velmira_bench_huge_icon.vml";
  if (!WriteHugeIcon(hugePath)) return std::fprintf(stderr, "writing %s failed\n", hugePath.c_str()), 1;
  auto huge = MakeRef<Viewer>();
  huge->Open(MakeRef<Text>(hugePath.c_str()).Get());
  start = Clock::now();
  Ref<Icon> icon = huge->NewIcon(Text("huge"));
  std::printf("16000 x 16000 icon in a %ju-byte file: Viewer::NewIcon %.1f ms, %s (%s), peak "
              "resident %.1f MiB\n",
              static_cast<uintmax_t>(std::filesystem::file_size(hugePath)), Millis(start),
              icon ? "icon" : "none", huge->GetError().Failed() ? huge->GetError().Message : "no error",
              StatusMiB("VmHWM:"));
  std::filesystem::remove(hugePath);
  return 0;
}
