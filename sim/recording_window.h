// A window that writes down what an update run does to it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/device_link.h"
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

  // Appends "write <HEX>" for a write the run made.
  void Written(std::span<const std::uint8_t> bytes);
  // A link's trace that writes down each of its writes, as Written does.
  link::DeviceLink::Trace WriteTrace();

  std::string status;
  float min = 0;
  float max = 100;
  float value = 0;
  bool closed = false;

 private:
  void Line(std::string_view what, float number);

  std::vector<std::string>& transcript_;
};

// A transcript as text, a line each, as corvane-sim prints it.
std::string TranscriptText(const std::vector<std::string>& transcript);

}  // namespace corvane::sim
