// Arbitrary text through NmeaParser_Parse in event mode, one line per call; every posted
// object is read through its exports and deleted, so leaks and bad reads show up.
#include <cstdint>
#include <string>

#include "velmira/velmira.h"

namespace {

constexpr uint32_t GpsMessage = 1125;

void Consume(const VmMsg& m) {
  switch (m.wParam) {
    case 1: {
      auto* s = reinterpret_cast<VmNmeaSentence*>(m.lParam);
      int16_t count = NmeaSentence_GetFieldCount(s);
      for (int16_t f = 1; f <= count; ++f) NmeaSentence_Fields(s, f, nullptr);
      NmeaSentence_GetCommand(s, nullptr);
      NmeaSentence_Delete(s);
      break;
    }
    case 5: {
      auto* fix = reinterpret_cast<VmGpsFix*>(m.lParam);
      VmPosition* p = GpsFix_GetPosition(fix);
      double v;
      Position_SetGrid(p, 1);
      Position_GetEasting(p, &v);
      Position_GetLatitudeString(p, nullptr, 0);
      BSTR zone = Position_GetZone(p, nullptr);
      SysFreeString(zone);
      Position_Delete(p);
      GpsFix_GetYear(fix);
      GpsFix_GetMilliSecond(fix);
      GpsFix_Delete(fix);
      break;
    }
    case 6: {
      auto* s = reinterpret_cast<VmSatellites*>(m.lParam);
      for (int16_t i = 0; i <= 13; ++i) Satellite_Delete(Satellites_Item(s, i));
      Satellites_Delete(s);
      break;
    }
    case 7: {
      auto* mv = reinterpret_cast<VmMovement*>(m.lParam);
      double v;
      for (int16_t unit = -1; unit <= 4; ++unit) Movement_GetSpeed(mv, unit, &v);
      Movement_GetHeading(mv, &v);
      Movement_Delete(mv);
      break;
    }
    case 8: {
      auto* q = reinterpret_cast<VmQuality*>(m.lParam);
      double v;
      Quality_GetPDOP(q, &v);
      Quality_Delete(q);
      break;
    }
    default:
      ComStatus_Delete(reinterpret_cast<VmComStatus*>(m.lParam));
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HWND window = VmWindow_New(nullptr, 0, 0, 16, 16);
  VmNmeaParser* parser = NmeaParser_New();
  NmeaParser_SetCallbackHWND(parser, window);
  // The first byte picks the parser's datum, the rest is the text.
  if (size > 0) NmeaParser_SetGpsDatum(parser, static_cast<int16_t>(data[0] % 30));
  std::u16string line;
  for (size_t i = 1; i <= size; ++i) {
    bool end = i == size || data[i] == '\n';
    if (i < size && data[i] != 0) line.push_back(data[i]);  // a NUL would end the text early
    if (!end) continue;
    if (i < size) line.push_back(u'\n');
    NmeaParser_Parse(parser, reinterpret_cast<const WCHAR*>(line.c_str()));
    line.clear();
    VmMsg m;
    while (VmWindow_GetMessage(window, &m, 0)) {
      if (m.message == GpsMessage) Consume(m);
    }
  }
  NmeaParser_Delete(parser);
  return 0;
}
