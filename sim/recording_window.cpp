#include "sim/recording_window.h"

#include <cmath>

#include "link/text.h"

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

void RecordingWindow::Written(std::span<const std::uint8_t> bytes) {
  transcript_.push_back("write " + link::HexText(bytes));
}

link::DeviceLink::Trace RecordingWindow::WriteTrace() {
  return [this](link::DeviceLink::Direction direction, std::span<const std::uint8_t> bytes,
                const link::PipeResult&) {
    if (direction == link::DeviceLink::Direction::Write) {
      Written(bytes);
    }
  };
}

void RecordingWindow::Line(std::string_view what, float number) {
  transcript_.push_back(std::string(what) + " " + std::to_string(std::lround(number)));
}

std::string TranscriptText(const std::vector<std::string>& transcript) {
  std::string text;
  for (const std::string& line : transcript) {
    text.append(line).append("\n");
  }
  return text;
}

}  // namespace corvane::sim
