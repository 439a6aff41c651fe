// Arbitrary numbers, datums, grids and zones through the Position exports, in the order an
// application might call them: nothing may crash, hang or read out of bounds.
#include <cstdint>
#include <cstring>

#include "velmira/velmira.h"

namespace {

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : Data(data), Size(size) {}
  bool More() const { return At < Size; }
  uint8_t Byte() { return At < Size ? Data[At++] : 0; }
  double Double() {
    double v = 0;
    if (Size - At >= sizeof v) {
      std::memcpy(&v, Data + At, sizeof v);
      At += sizeof v;
    } else {
      At = Size;
    }
    return v;
  }

 private:
  const uint8_t* Data;
  size_t Size;
  size_t At = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in(data, size);
  VmPosition* p = Position_New();
  double v;
  int16_t d, m;
  for (int step = 0; in.More() && step < 64; ++step) {
    switch (in.Byte() % 12) {
      case 0: v = in.Double(); Position_SetLatitudeRads(p, &v); break;
      case 1: v = in.Double(); Position_SetLongitudeDecDeg(p, &v); break;
      case 2: Position_SetDatum(p, static_cast<int16_t>(in.Byte() % 32)); break;
      case 3: Position_SetGrid(p, static_cast<int16_t>(in.Byte() % 52)); break;
      case 4: Position_SetZone(p, static_cast<int16_t>(in.Byte() | in.Byte() << 8)); break;
      case 5: v = in.Double(); Position_SetEasting(p, &v); break;
      case 6: v = in.Double(); Position_SetNorthing(p, &v); break;
      case 7: Position_GetEasting(p, &v); Position_GetNorthing(p, &v); break;
      case 8: Position_GetLatitudeRads(p, &v); Position_GetLongitudeDecDeg(p, &v); break;
      case 9: Position_GetLatitudeDMS(p, &d, &m, &v, nullptr); break;
      case 10: SysFreeString(Position_GetZone(p, nullptr)); Position_GetLongitudeString(p, nullptr, 0); break;
      default: v = in.Double(); Position_SetAltitude(p, &v, static_cast<int16_t>(in.Byte() % 3)); break;
    }
  }
  Position_Delete(p);
  return 0;
}
