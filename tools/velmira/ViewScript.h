// A small script of key and mouse events for velmira view, played into SDL's event queue as if
// a user made them: for demonstrations and for tests without a desktop. One step a line:
//   key C             types the character C (+ - [ ] 0 f m s q)
//   wheel N X Y       moves the pointer to window pixel X,Y and turns the wheel N notches
//                     (positive zooms in)
//   drag X1 Y1 X2 Y2  presses the left button at X1,Y1, moves to X2,Y2 and lets go
//   resize W H        resizes the window
//   close             closes the window
//   wait MS           lets MS milliseconds pass before the next step
// Blank lines and lines starting with # are skipped.
#pragma once

#include <string>
#include <vector>

namespace cli {

class DesktopWindow;

class ViewScript {
 public:
  // Reads the script; the problem ("FILE:LINE: ...") or empty.
  std::string Load(const std::string& path);
  bool Finished() const { return Next >= Steps.size(); }
  // Wall time (seconds) at which the next step may run.
  double DueAt() const { return Due; }
  // Plays the next step into the desktop window's event queue at wall time `now`.
  void Play(DesktopWindow& desk, double now);

 private:
  struct Step {
    std::string Verb;
    std::string Text;
    int Values[4] = {0, 0, 0, 0};
  };
  std::vector<Step> Steps;
  size_t Next = 0;
  double Due = 0;
};

}  // namespace cli
