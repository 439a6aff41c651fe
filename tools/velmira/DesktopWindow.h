// The desktop side of velmira view: one SDL window showing a streaming texture that the
// program fills from the library's window pixels, and the wait for the next event. Nothing
// here knows about maps; the library never sees SDL.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

namespace cli {

class DesktopWindow {
 public:
  DesktopWindow() = default;
  DesktopWindow(const DesktopWindow&) = delete;
  DesktopWindow& operator=(const DesktopWindow&) = delete;
  ~DesktopWindow();

  // Starts SDL's video and opens a resizable window of width x height pixels; the problem,
  // worded for the user, when there is no display or SDL cannot make the window.
  std::string Open(const char* title, int width, int height);

  // The next event, waiting up to timeoutMs (0: only what is queued). Sleeps in the window
  // system, or with a headless driver on a semaphore that every queued event posts, so an
  // idle program takes no CPU time.
  bool Wait(SDL_Event& event, int timeoutMs);
  // Queues an event from any thread; false when SDL's queue refused it.
  static bool Push(SDL_Event& event);

  // Size of the window's drawing area in pixels.
  int Width() const { return TextureWidth; }
  int Height() const { return TextureHeight; }
  // Follows a new window size: a texture of that size, whose content the caller fills again.
  bool Resize(int width, int height);
  // Copies `rows` rows of 32-bit blue, green, red, unused pixels into the texture from row
  // `top` on, cut to the texture's size.
  void Upload(int top, const uint8_t* pixels, int width, int rows, int stride);
  // Asks the window system for a new window size (a resize event follows).
  void RequestSize(int width, int height);
  // Shows the texture in the window.
  void Present();
  const char* Driver() const { return DriverName; }

 private:
  static int Watch(void* wakeup, SDL_Event* event);

  SDL_Window* Window = nullptr;
  SDL_Renderer* Renderer = nullptr;
  SDL_Texture* Texture = nullptr;
  SDL_sem* Wakeup = nullptr;  // only for drivers that cannot wait for events themselves
  const char* DriverName = "";
  int TextureWidth = 0, TextureHeight = 0;
  bool Started = false;
};

}  // namespace cli
