#include <cstring>

#include "api/Export.h"
#include "maps/Map.h"

using velmira::Map;
using velmira::Point;
using velmira::Position;
using velmira::Ref;
using velmira::Text;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(Map, VmMap, Map)

namespace {

Map* Of(VmMap* h) { return Unwrap<Map>(h); }

}  // namespace

extern "C" BSTR Map_GetName(VmMap* h, BSTR* out) {
  // A copy-class string from a Text of its own, so the map's cached name keeps its wide copy.
  Ref<Text> name = Ref<Text>::Adopt(Of(h)->GetName());
  Ref<Text> copy = velmira::MakeRef<Text>(name->Chars(), name->Length());
  copy->GetWide();
  BSTR wide = copy->DetachWide();
  if (out != nullptr) *out = wide;
  return wide;
}

extern "C" VmPoint* Map_GetSize(VmMap* h) { return Wrap<VmPoint>(Of(h)->GetSize()); }

extern "C" void Map_SetScale(VmMap* h, VmPosition* position1, VmPoint* point1,
                             VmPosition* position2, VmPoint* point2, VmPosition* position3,
                             VmPoint* point3) {
  Of(h)->SetScale(Unwrap<Position>(position1), Unwrap<Point>(point1), Unwrap<Position>(position2),
                  Unwrap<Point>(point2), Unwrap<Position>(position3), Unwrap<Point>(point3));
}

extern "C" uint8_t VmMap_GetRecord(VmMap* map, uint8_t record[134]) {
  if (map == nullptr || record == nullptr) return 0;
  static_assert(sizeof(velmira::MapRecord) == 134);
  std::memcpy(record, &Of(map)->Record(), sizeof(velmira::MapRecord));
  return 1;
}
