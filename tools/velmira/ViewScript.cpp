#include "ViewScript.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "DesktopWindow.h"

namespace cli {
namespace {

struct Verb {
  const char* Name;
  int Numbers;  // whole numbers after the verb
  bool TakesText;
};
constexpr Verb Verbs[] = {{"key", 0, true},     {"wheel", 3, false}, {"drag", 4, false},
                          {"resize", 2, false}, {"close", 0, false}, {"wait", 1, false}};
// Keeps script coordinates and sizes within what a window can be.
constexpr int MaxValue = 1 << 20;

void PushMotion(int x, int y, Uint32 buttons) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = x;
  e.motion.y = y;
  e.motion.state = buttons;
  DesktopWindow::Push(e);
}

void PushButton(Uint32 type, int x, int y) {
  SDL_Event e{};
  e.type = type;
  e.button.button = SDL_BUTTON_LEFT;
  e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.button.clicks = 1;
  e.button.x = x;
  e.button.y = y;
  DesktopWindow::Push(e);
}

}  // namespace

std::string ViewScript::Load(const std::string& path) {
  std::ifstream in(path);
  if (!in) return "cannot read " + path;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::istringstream words(line);
    Step step;
    if (!(words >> step.Verb) || step.Verb[0] == '#') continue;
    const Verb* verb = nullptr;
    for (const Verb& v : Verbs) {
      if (step.Verb == v.Name) verb = &v;
    }
    const std::string where = path + ":" + std::to_string(number) + ": ";
    if (verb == nullptr) return where + "unknown step '" + step.Verb + "'";
    bool ok = !verb->TakesText ||
              ((words >> step.Text) && step.Text.size() < sizeof(SDL_TextInputEvent::text));
    for (int i = 0; ok && i < verb->Numbers; ++i) {
      ok = static_cast<bool>(words >> step.Values[i]) && step.Values[i] > -MaxValue &&
           step.Values[i] < MaxValue;
    }
    std::string rest;
    if (!ok || (words >> rest)) return where + "'" + line + "' is not a step";
    Steps.push_back(step);
  }
  return {};
}

void ViewScript::Play(DesktopWindow& desk, double now) {
  if (Finished()) return;
  const Step& s = Steps[Next++];
  const int* v = s.Values;
  SDL_Event e{};
  if (s.Verb == "key") {
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, s.Text.c_str(), sizeof e.text.text - 1);
    DesktopWindow::Push(e);
  } else if (s.Verb == "wheel") {
    PushMotion(v[1], v[2], 0);
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = v[0];
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    DesktopWindow::Push(e);
  } else if (s.Verb == "drag") {
    PushMotion(v[0], v[1], 0);
    PushButton(SDL_MOUSEBUTTONDOWN, v[0], v[1]);
    PushMotion(v[2], v[3], SDL_BUTTON_LMASK);
    PushButton(SDL_MOUSEBUTTONUP, v[2], v[3]);
  } else if (s.Verb == "resize") {
    desk.RequestSize(v[0], v[1]);
  } else if (s.Verb == "close") {
    e.type = SDL_QUIT;
    DesktopWindow::Push(e);
  }
  Due = s.Verb == "wait" ? now + v[0] / 1000.0 : now;
}

}  // namespace cli
