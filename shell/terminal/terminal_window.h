// The updater window's stand-in on a terminal: the progress bar as a line
// redrawn in place (or, when the output is not a terminal, one plain line
// per block), then the status text as the last line.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <ostream>
#include <stop_token>
#include <utility>

#include "protocol/window_operations.h"

namespace corvane::shell {

class TerminalWindow final : public protocol::WindowOperations {
 public:
  enum class Style { Live, Lines };

  // Nothing more is shown once a stop is requested on `stop`: the outcome a
  // run ends in then is the stop's doing, not the remote's.
  TerminalWindow(std::ostream& out, Style style, std::stop_token stop)
      : out_(out), style_(style), stop_(std::move(stop)) {}

  void SetStatusText(std::string_view text) override;
  void SetProgressMin(float min) override { min_ = min; }
  void SetProgressMax(float max) override { max_ = max; }
  void SetProgressValue(float value) override;
  void CloseWindow() override;

  // Whether the run's status text reached the terminal.
  bool StatusShown() const { return statusShown_; }

 private:
  using Clock = std::chrono::steady_clock;

  bool Showing() const;
  void DrawLive(double done, double total, int percent);
  void EndLiveLine();

  std::ostream& out_;
  Style style_;
  std::stop_token stop_;
  float min_ = 0;
  float max_ = 0;
  bool closed_ = false;
  bool statusShown_ = false;
  std::size_t liveWidth_ = 0;  // of the line drawn last, 0 when none is open
  // The first block's position and time, from which the rate is measured.
  std::optional<std::pair<double, Clock::time_point>> first_;
};

}  // namespace corvane::shell
