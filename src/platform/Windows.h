// Windows and message queues as the library was designed against them: windows with a
// position in their parent, children, a FIFO queue that any thread may post to, a 32-bit
// pixel surface, and one library-wide "foreground window".
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Sync.h"
#include "velmira/platform.h"

namespace platform {

struct MSG {
  HWND hwnd;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

struct POINT {
  int32_t x;
  int32_t y;
};

// Runs for a posted message that is never taken because its window was deleted first, so
// that whatever the message carries is given back.
using MessageDiscard = void (*)(uint32_t message, uintptr_t wParam, intptr_t lParam);

// Sides are clamped to 0..MaxWindowSide.
inline constexpr int32_t MaxWindowSide = 8192;

// A new window (white surface, empty queue) inside parent, which may be null. Null when the
// parent is not a live window.
HWND CreateWindowObject(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height);
// Deletes the window and all its children; their pending messages are discarded.
bool DestroyWindow(HWND window);
bool IsWindow(HWND window);

void SetForegroundWindow(HWND window);
// The window set last with SetForegroundWindow, null once it is deleted.
HWND GetForegroundWindow();

// The child of parent whose rectangle holds the point (parent's client coordinates); the
// parent itself when no child does; null when the point lies outside the parent.
HWND ChildWindowFromPoint(HWND parent, POINT point);

// Appends to the window's queue. False, with nothing queued, when the window is not live:
// the caller still owns whatever the message carries.
bool PostMessageW(HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The same, with a discard that runs if the window is deleted before the message is taken.
bool PostMessageW(HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                  MessageDiscard discard);

// Takes the oldest message of the window's queue, waiting up to ms (INFINITE waits for
// ever). 1 when one was taken, 0 on time-out, -1 when the window is not live (or is deleted
// while waiting).
int GetMessageW(MSG* out, HWND window, DWORD ms);

// The window's pixel surface: bytes blue, green, red, unused; rows top-down. Valid until
// the window is deleted.
struct Surface {
  int32_t Width;
  int32_t Height;
  int32_t Stride;  // bytes per row
  uint8_t* Bits;
};
bool GetWindowSurface(HWND window, Surface* out);
// The same, with a reference that keeps the pixels allocated after the window is deleted,
// for device contexts that outlive their window.
bool GetWindowSurface(HWND window, Surface* out, std::shared_ptr<const void>* keepAlive);

// Writes the surface as an 8-bit RGB PNG file.
bool SaveSurfacePng(const Surface& surface, const char* path);

}  // namespace platform
