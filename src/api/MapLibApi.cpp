#include "api/Export.h"
#include "view/MapLib.h"

using velmira::Map;
using velmira::MapLib;
using velmira::Ref;
using velmira::Text;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(MapLib, VmMapLib, MapLib)

namespace {
MapLib* Of(VmMapLib* h) { return Unwrap<MapLib>(h); }
VmMap* Give(Ref<Map> map) { return Wrap<VmMap>(map.Detach()); }
}  // namespace

extern "C" int32_t MapLib_GetMapCount(VmMapLib* h) {
  Of(h)->GetError().Clear();
  return Of(h)->GetMapCount();
}

extern "C" VmMap* MapLib_GetMapByIndex(VmMapLib* h, int32_t index) {
  return Give(Of(h)->GetMapByIndex(index));
}

extern "C" VmMap* MapLib_GetMapByName(VmMapLib* h, const WCHAR* name) {
  return Give(Of(h)->GetMapByName(Text(name)));
}

extern "C" VmMap* MapLib_NewMap(VmMapLib* h, const WCHAR* name) {
  auto text = velmira::MakeRef<Text>(name);  // the new map keeps it as its name
  return Give(Of(h)->NewMap(*text));
}

extern "C" void MapLib_RemoveMap(VmMapLib* h, VmMap* map) {
  Of(h)->RemoveMap(Unwrap<Map>(map));
}
