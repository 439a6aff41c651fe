#include "GpsMessages.h"

#include <cstdio>

#include "ReceiverSimulator.h"
#include "frame/Text.h"
#include "gps/NmeaSentence.h"

namespace testsupport {

std::string Line(const std::string& body) { return velmira::test::WithChecksum(body) + "\r\n"; }

velmira::Ref<velmira::NmeaSentence> Sentence(const std::string& body) {
  const std::string text = velmira::test::WithChecksum(body);
  return velmira::MakeRef<velmira::NmeaSentence>(velmira::Ref<velmira::Text>::Adopt(
      new velmira::Text(text.c_str(), static_cast<int>(text.size()))));
}

std::string FixAt(double lat, double lon, int second) {
  char body[128];
  std::snprintf(body, sizeof body, "GPGGA,1200%02d,%02d%07.4f,N,%03d%07.4f,E,1,08,0.9,500,M,47,M,,", second, int(lat),
                (lat - int(lat)) * 60, int(lon), (lon - int(lon)) * 60);
  return Line(body);
}

std::pair<double, double> LatLonOf(VmGpsFix* fix) {
  std::pair<double, double> latLon;
  VmPosition* p = GpsFix_GetPosition(fix);
  Position_GetLatitudeDecDeg(p, &latLon.first);
  Position_GetLongitudeDecDeg(p, &latLon.second);
  Position_Delete(p);
  return latLon;
}

std::string Narrow(BSTR text) { return std::string(text, text + SysStringLen(text)); }

void DeleteCarried(const VmMsg& m) {
  if (m.message != 1125) return;
  void* object = reinterpret_cast<void*>(m.lParam);
  switch (m.wParam) {
    case 1: NmeaSentence_Delete(static_cast<VmNmeaSentence*>(object)); break;
    case 5: GpsFix_Delete(static_cast<VmGpsFix*>(object)); break;
    case 6: Satellites_Delete(static_cast<VmSatellites*>(object)); break;
    case 7: Movement_Delete(static_cast<VmMovement*>(object)); break;
    case 8: Quality_Delete(static_cast<VmQuality*>(object)); break;
    case 9: ComStatus_Delete(static_cast<VmComStatus*>(object)); break;
    default: break;
  }
}

namespace {

// The kinds of every message queued now, in order; the objects they carry are deleted.
std::vector<uintptr_t> DeleteQueued(HWND window) {
  std::vector<uintptr_t> kinds;
  for (VmMsg m; VmWindow_GetMessage(window, &m, 0) == 1; DeleteCarried(m)) {
    kinds.push_back(m.wParam);
  }
  return kinds;
}

}  // namespace

ParserWindow::ParserWindow() : Parser(NmeaParser_New()), Window(VmWindow_New(nullptr, 0, 0, 1, 1)) {
  NmeaParser_SetCallbackHWND(Parser, Window);
}

ParserWindow::~ParserWindow() {
  NmeaParser_Delete(Parser);  // stops the reader thread if a test left it running
  NmeaParser_SetCallbackHWND(nullptr, nullptr);
  DeleteQueued(Window);
  VmWindow_Delete(Window);
}

void ParserWindow::Parse(const std::string& text) {
  NmeaParser_Parse(Parser, std::u16string(text.begin(), text.end()).c_str());
}

void ParserWindow::Enable(int16_t port, int32_t rate) {
  NmeaParser_SetComPort(Parser, port);
  NmeaParser_SetBaudRate(Parser, rate);
  NmeaParser_SetPortEnabled(Parser, 1);
}

std::string ParserWindow::Error() const {
  const std::string text = Narrow(Error_ErrDesc(NmeaParser_GetErrHandle(Parser), nullptr));
  return std::to_string(ErrNum()) + (text.empty() ? "" : " " + text);
}

std::vector<uintptr_t> ParserWindow::Posted() { return DeleteQueued(Window); }

}  // namespace testsupport
