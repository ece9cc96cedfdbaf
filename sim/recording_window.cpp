#include "sim/recording_window.h"

#include <cmath>

namespace corvane::sim {

void RecordingWindow::SetStatusText(std::string_view text) {
  status = text;
  transcript_.push_back("status " + status);
}

void RecordingWindow::SetProgressMin(float newMin) {
  min = newMin;
  Line("min", min);
}

void RecordingWindow::SetProgressMax(float newMax) {
  max = newMax;
  Line("max", max);
}

void RecordingWindow::SetProgressValue(float newValue) {
  value = newValue;
  Line("value", value);
}

void RecordingWindow::CloseWindow() {
  closed = true;
  transcript_.push_back("close-window");
}

void RecordingWindow::Line(std::string_view what, float number) {
  transcript_.push_back(std::string(what) + " " + std::to_string(std::lround(number)));
}

}  // namespace corvane::sim
