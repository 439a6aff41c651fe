// velmira demo: a tour of the library on a bundled NMEA log. The log goes through an
// NmeaParser in event mode into a window's message queue, each fix is placed on a map grid
// through its Position, and a travel report is printed.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "Commands.h"
#include "velmira/velmira.h"

namespace cli {
namespace {

constexpr uint32_t GpsMessage = 1125;
enum EventKind : uintptr_t { KindSentence = 1, KindFix = 5, KindSatellites = 6, KindMovement = 7, KindQuality = 8 };
constexpr int16_t GridUtmNorth = 1;
constexpr int16_t GridUtmSouth = 2;
constexpr int16_t AltitudeMetres = 1;
constexpr int16_t SpeedKmh = 2;
constexpr int ReportEvery = 10;  // fixes with altitude between two report lines

struct Travel {
  long Sentences = 0, Fixes = 0, Fixes3d = 0, SatelliteGroups = 0, QualityRecords = 0;
  double Metres = 0, MaxKmh = 0, LastKmh = 0, LastHeading = 0, LastHdop = 0;
  int LastInView = 0;
  bool HaveLast = false;
  double LastE = 0, LastN = 0;
  std::string LastZone;
  std::string FirstTime, LastTime;
};

double Get(double* (*getter)(VmPosition*, double*), VmPosition* p) {
  double v = 0;
  getter(p, &v);
  return v;
}

std::string TakeCopy(BSTR s) {
  std::string text = Narrow(s);
  SysFreeString(s);
  return text;
}

std::string TimeOf(VmGpsFix* fix) {
  char text[24];  // room for three 16-bit values, whatever the receiver sent
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", GpsFix_GetHour(fix), GpsFix_GetMinute(fix),
                GpsFix_GetSecond(fix));
  return text;
}

void OnFix(VmGpsFix* fix, Travel& t) {
  VmPosition* p = GpsFix_GetPosition(fix);
  double lat = Get(Position_GetLatitudeDecDeg, p);
  Position_SetGrid(p, lat < 0 ? GridUtmSouth : GridUtmNorth);
  double e = Get(Position_GetEasting, p);
  double n = Get(Position_GetNorthing, p);
  std::string zone = TakeCopy(Position_GetZone(p, nullptr));
  double alt = 0;
  Position_GetAltitude(p, AltitudeMetres, &alt);
  std::string latText = Narrow(Position_GetLatitudeString(p, nullptr, 0));
  std::string lonText = Narrow(Position_GetLongitudeString(p, nullptr, 0));

  // Distance along the track from grid coordinates, within one zone.
  if (t.HaveLast && zone == t.LastZone) t.Metres += std::hypot(e - t.LastE, n - t.LastN);
  t.HaveLast = true;
  t.LastE = e;
  t.LastN = n;
  t.LastZone = zone;
  std::string time = TimeOf(fix);
  if (t.FirstTime.empty()) t.FirstTime = time;
  t.LastTime = time;

  // One row for every tenth fix that has an altitude (GGA); RMC and GLL fixes of the same
  // second only extend the track.
  ++t.Fixes;
  if (GpsFix_GetFixType(fix) == 3 && t.Fixes3d++ % ReportEvery == 0) {
    std::printf("%s  %-16s %-17s %4s %10.1f %11.1f  %6.1f m  %5.1f km/h  %5.1f deg  %2d sats  HDOP %.1f\n",
                time.c_str(), latText.c_str(), lonText.c_str(), zone.c_str(), e, n, alt, t.LastKmh,
                t.LastHeading, t.LastInView, t.LastHdop);
  }
  Position_Delete(p);
}

void OnEvent(const VmMsg& m, Travel& t) {
  switch (m.wParam) {
    case KindSentence:
      ++t.Sentences;
      NmeaSentence_Delete(reinterpret_cast<VmNmeaSentence*>(m.lParam));
      break;
    case KindFix:
      OnFix(reinterpret_cast<VmGpsFix*>(m.lParam), t);
      GpsFix_Delete(reinterpret_cast<VmGpsFix*>(m.lParam));
      break;
    case KindSatellites: {
      auto* s = reinterpret_cast<VmSatellites*>(m.lParam);
      ++t.SatelliteGroups;
      t.LastInView = Satellites_GetCount(s);
      Satellites_Delete(s);
      break;
    }
    case KindMovement: {
      auto* mv = reinterpret_cast<VmMovement*>(m.lParam);
      Movement_GetSpeed(mv, SpeedKmh, &t.LastKmh);
      Movement_GetHeading(mv, &t.LastHeading);
      if (t.LastKmh > t.MaxKmh) t.MaxKmh = t.LastKmh;
      Movement_Delete(mv);
      break;
    }
    case KindQuality: {
      auto* q = reinterpret_cast<VmQuality*>(m.lParam);
      ++t.QualityRecords;
      Quality_GetHDOP(q, &t.LastHdop);
      Quality_Delete(q);
      break;
    }
    default:  // port status and anything newer: not part of this tour
      ComStatus_Delete(reinterpret_cast<VmComStatus*>(m.lParam));
      break;
  }
}

}  // namespace

int RunDemo(const Args& args) {
  if (args.size() > 1) return BadUsage("demo", "one log at most");
  if (!args.empty() && IsOption(args[0])) {
    return BadUsage("demo", "unknown option '" + args[0] + "'");
  }
  std::string path = args.empty() ? std::string(VELMIRA_EXAMPLES_DIR) + "/drive.nmea" : args[0];
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "velmira demo: cannot read %s\n", path.c_str());
    return 1;
  }

  HWND window = VmWindow_New(nullptr, 0, 0, 320, 240);
  VmNmeaParser* parser = NmeaParser_New();
  NmeaParser_SetCallbackHWND(parser, window);
  std::printf("velmira demo: %s\n\n", path.c_str());
  std::printf("time      latitude         longitude         zone    easting    northing  "
              "altitude   speed       heading    in view  quality\n");

  Travel travel;
  std::string line;
  VmMsg m;
  while (std::getline(in, line)) {
    line += "\r\n";
    NmeaParser_Parse(parser, Widen(line).c_str());
    while (VmWindow_GetMessage(window, &m, 0)) {
      if (m.message == GpsMessage) OnEvent(m, travel);
    }
  }
  NmeaParser_Delete(parser);
  VmWindow_Delete(window);

  std::printf("\n%ld sentences: %ld fixes (%ld with altitude), %ld satellite groups, %ld quality records\n",
              travel.Sentences, travel.Fixes, travel.Fixes3d, travel.SatelliteGroups, travel.QualityRecords);
  std::printf("from %s to %s: %.2f km travelled, top speed %.1f km/h\n", travel.FirstTime.c_str(),
              travel.LastTime.c_str(), travel.Metres / 1000.0, travel.MaxKmh);
  return travel.Fixes > 0 ? 0 : 1;
}

}  // namespace cli
