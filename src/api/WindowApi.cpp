#include "platform/Windows.h"

extern "C" HWND VmWindow_New(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height) {
  return platform::CreateWindowObject(parent, x, y, width, height);
}

extern "C" void VmWindow_Delete(HWND window) { platform::DestroyWindow(window); }

extern "C" void VmWindow_SetForeground(HWND window) { platform::SetForegroundWindow(window); }

extern "C" uint8_t VmWindow_GetMessage(HWND window, VmMsg* out, int32_t timeoutMs) {
  platform::MSG msg;
  platform::DWORD ms = timeoutMs < 0 ? platform::INFINITE : static_cast<platform::DWORD>(timeoutMs);
  if (platform::GetMessageW(&msg, window, ms) != 1) return 0;
  if (out != nullptr) *out = {msg.hwnd, msg.message, msg.wParam, msg.lParam};
  return 1;
}

extern "C" const uint8_t* VmWindow_GetPixels(HWND window, int32_t* width, int32_t* height,
                                             int32_t* stride) {
  platform::Surface s{0, 0, 0, nullptr};
  platform::GetWindowSurface(window, &s);
  if (width != nullptr) *width = s.Width;
  if (height != nullptr) *height = s.Height;
  if (stride != nullptr) *stride = s.Stride;
  return s.Bits;
}

extern "C" uint8_t VmWindow_SavePng(HWND window, const char* path) {
  platform::Surface s;
  return platform::GetWindowSurface(window, &s) && platform::SaveSurfacePng(s, path) ? 1 : 0;
}
