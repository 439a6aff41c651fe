#include "GpsMessages.h"

#include <chrono>

namespace testsupport {

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

void DeleteAll(const std::vector<VmMsg>& messages) {
  for (const VmMsg& m : messages) DeleteCarried(m);
}

std::u16string Wide(const std::string& text) {
  std::u16string w;
  for (unsigned char c : text) w.push_back(c);
  return w;
}

VmMsg WaitForKind(HWND window, uintptr_t kind, int32_t timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  VmMsg m{};
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0 || VmWindow_GetMessage(window, &m, static_cast<int32_t>(left)) != 1) {
      return VmMsg{};
    }
    if (m.wParam == kind) return m;
    DeleteCarried(m);
  }
}

}  // namespace testsupport
