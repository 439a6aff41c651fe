#include "GpsMessages.h"

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

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

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

void DeleteAll(const std::vector<VmMsg>& messages) {
  for (const VmMsg& m : messages) DeleteCarried(m);
}

std::vector<VmMsg> Drain(HWND window, int32_t waitMs) {
  std::vector<VmMsg> out;
  VmMsg m;
  while (VmWindow_GetMessage(window, &m, waitMs) == 1) out.push_back(m);
  return out;
}

std::vector<uintptr_t> Kinds(const std::vector<VmMsg>& messages) {
  std::vector<uintptr_t> kinds;
  for (const VmMsg& m : messages) kinds.push_back(m.wParam);
  return kinds;
}

ParserWindow::ParserWindow() : Parser(NmeaParser_New()), Window(VmWindow_New(nullptr, 0, 0, 1, 1)) {
  NmeaParser_SetCallbackHWND(Parser, Window);
}

ParserWindow::~ParserWindow() {
  NmeaParser_Delete(Parser);  // stops the reader thread if a test left it running
  NmeaParser_SetCallbackHWND(nullptr, nullptr);
  DeleteAll(Drain(Window));
  VmWindow_Delete(Window);
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

std::vector<uintptr_t> ParserWindow::Posted() {
  const std::vector<VmMsg> m = Drain(Window);
  DeleteAll(m);
  return Kinds(m);
}

}  // namespace testsupport
