// A window that writes down what an update run does to it.
#pragma once

#include <string>
#include <vector>

#include "protocol/window_operations.h"

namespace corvane::sim {

class RecordingWindow : public protocol::WindowOperations {
 public:
  // Appends one line per operation to `transcript`: "status <text>",
  // "min <n>", "max <n>", "value <n>", "close-window".
  explicit RecordingWindow(std::vector<std::string>& transcript) : transcript_(transcript) {}

  void SetStatusText(std::string_view text) override;
  void SetProgressMin(float min) override;
  void SetProgressMax(float max) override;
  void SetProgressValue(float value) override;
  void CloseWindow() override;

  std::string status;
  float min = 0;
  float max = 100;
  float value = 0;
  bool closed = false;

 private:
  void Line(std::string_view what, float number);

  std::vector<std::string>& transcript_;
};

}  // namespace corvane::sim
