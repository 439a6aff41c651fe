// Arbitrary bytes as a map library file: opening it, then decoding what it yielded (the first
// tiles of every map, every icon's picture through a viewer's copy) must never crash, hang,
// leak or read out of bounds; failures are error records.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "view/MapLib.h"
#include "view/Viewer.h"

namespace {

// Larger views would only spend the time on decoding white tiles.
constexpr int32_t ViewSide = 300;

const std::string& ScratchPath() {
  static const std::string path = "/tmp/velmira_fuzz_maplib_" + std::to_string(::getpid());
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velmira;
  std::FILE* f = std::fopen(ScratchPath().c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  auto viewer = MakeRef<Viewer>();
  viewer->Open(MakeRef<Text>(ScratchPath().c_str()).Get());
  Ref<MapLib> lib = viewer->GetMapLib();
  for (int32_t i = 1; i <= lib->GetMapCount(); ++i) {
    Ref<Map> map = lib->GetMapByIndex(i);
    Ref<Rect> view = Ref<Rect>::Adopt(map->TileRect(0, 0, ViewSide, ViewSide));
    ReleaseObject(map->Render(*view));
  }
  for (int32_t i = 1; i <= lib->GetIconCount(); ++i) {
    // Icons are found by name; a copy decodes the template's picture.
    Ref<Icon> icon = lib->GetIconByIndex(i);
    if (icon) ReleaseObject(viewer->NewIcon(icon->GetName()).Detach());
  }
  std::remove(ScratchPath().c_str());
  return 0;
}
