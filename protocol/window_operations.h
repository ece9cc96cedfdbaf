// What an update run shows, and where: the window's status line, its
// progress bar, and closing it. The window implements this port; the run
// knows nothing else of it.
#pragma once

#include <string_view>

namespace corvane::protocol {

class WindowOperations {
 public:
  virtual ~WindowOperations() = default;
  // Label2: shown exactly as given.
  virtual void SetStatusText(std::string_view text) = 0;
  // ProgressBar1's range and position; setting Value redraws the bar at once.
  virtual void SetProgressMin(float min) = 0;
  virtual void SetProgressMax(float max) = 0;
  virtual void SetProgressValue(float value) = 0;
  // As Exit does: the window goes at once, the program ends once the running
  // action has returned; later operations have no effect.
  virtual void CloseWindow() = 0;
};

}  // namespace corvane::protocol
