#include "DesktopWindow.h"

#include <algorithm>
#include <cstring>

namespace cli {
namespace {

// The library's window pixels are bytes blue, green, red, unused: on a little-endian machine
// that is SDL's 32-bit XRGB word, so rows go into the texture unconverted.
constexpr Uint32 TextureFormat = SDL_PIXELFORMAT_RGB888;

// Drivers without a window system to wait in: SDL would poll them every millisecond.
bool IsHeadless(const char* driver) {
  return std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0;
}

// SDL notes Ctrl-C only while it pumps events, so a headless wait never sleeps longer than
// this: the program still quits promptly, at four wake-ups a second when idle.
constexpr int HeadlessWaitSliceMs = 250;

std::string NoDisplay(const std::string& why) {
  return "cannot open a window (" + why +
         "). Without a desktop, set DISPLAY (X11) or WAYLAND_DISPLAY to a display, or run "
         "headless with SDL_VIDEODRIVER=dummy and --seconds S --screenshot OUT.png";
}

}  // namespace

DesktopWindow::~DesktopWindow() {
  if (Wakeup != nullptr) {
    SDL_DelEventWatch(Watch, Wakeup);
    SDL_DestroySemaphore(Wakeup);
  }
  if (Texture != nullptr) SDL_DestroyTexture(Texture);
  if (Renderer != nullptr) SDL_DestroyRenderer(Renderer);
  if (Window != nullptr) SDL_DestroyWindow(Window);
  if (Started) SDL_Quit();
}

std::string DesktopWindow::Open(const char* title, int width, int height) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return NoDisplay(SDL_GetError());
  Started = true;
  DriverName = SDL_GetCurrentVideoDriver();
  // Without a display SDL falls back to drawing nowhere: a window nobody sees, running on.
  // Headless is only what the user asks for.
  if (IsHeadless(DriverName) && SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
    return NoDisplay(std::string("no display found, SDL would use its ") + DriverName + " driver");
  }
  if (IsHeadless(DriverName)) {
    // A software renderer: nothing to show, so no GL context is worth its start-up and CPU.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    Wakeup = SDL_CreateSemaphore(0);
    if (Wakeup == nullptr) return std::string("SDL: ") + SDL_GetError();
    SDL_AddEventWatch(Watch, Wakeup);
  }
  Window = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                            SDL_WINDOW_RESIZABLE);
  if (Window == nullptr) return NoDisplay(SDL_GetError());
  Renderer = SDL_CreateRenderer(Window, -1, 0);
  if (Renderer == nullptr) return std::string("SDL cannot draw into the window: ") + SDL_GetError();
  // The window manager may not grant the size asked for.
  int w = width, h = height;
  SDL_GetWindowSize(Window, &w, &h);
  if (!Resize(w, h)) return std::string("SDL cannot make the window's picture: ") + SDL_GetError();
  return {};
}

int DesktopWindow::Watch(void* wakeup, SDL_Event* event) {
  // Every poll queues a sentinel of its own; only real events wake the wait.
  if (event->type != SDL_POLLSENTINEL) SDL_SemPost(static_cast<SDL_sem*>(wakeup));
  return 0;
}

bool DesktopWindow::Wait(SDL_Event& event, int timeoutMs) {
  if (Wakeup == nullptr) return SDL_WaitEventTimeout(&event, timeoutMs) == 1;
  if (SDL_PollEvent(&event) == 1) return true;
  while (SDL_SemTryWait(Wakeup) == 0) {
    // Counts left by events that were taken already.
  }
  if (SDL_PollEvent(&event) == 1) return true;
  if (timeoutMs > 0) SDL_SemWaitTimeout(Wakeup, std::min(timeoutMs, HeadlessWaitSliceMs));
  return SDL_PollEvent(&event) == 1;
}

bool DesktopWindow::Push(SDL_Event& event) { return SDL_PushEvent(&event) == 1; }

bool DesktopWindow::Resize(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (Texture != nullptr && width == TextureWidth && height == TextureHeight) return true;
  if (Texture != nullptr) SDL_DestroyTexture(Texture);
  Texture = SDL_CreateTexture(Renderer, TextureFormat, SDL_TEXTUREACCESS_STREAMING, width, height);
  TextureWidth = Texture != nullptr ? width : 0;
  TextureHeight = Texture != nullptr ? height : 0;
  return Texture != nullptr;
}

void DesktopWindow::Upload(int top, const uint8_t* pixels, int width, int rows, int stride) {
  if (Texture == nullptr || pixels == nullptr || top < 0) return;
  SDL_Rect area{0, top, std::min(width, TextureWidth), std::min(rows, TextureHeight - top)};
  if (area.w > 0 && area.h > 0) SDL_UpdateTexture(Texture, &area, pixels, stride);
}

void DesktopWindow::RequestSize(int width, int height) {
  if (Window != nullptr) SDL_SetWindowSize(Window, width, height);
}

void DesktopWindow::Present() {
  if (Texture == nullptr) return;
  SDL_RenderCopy(Renderer, Texture, nullptr, nullptr);
  SDL_RenderPresent(Renderer);
}

}  // namespace cli
