// The updater window's stand-in on a terminal: what the run does, a line
// each (the remote found, the path, each phase), and the progress bar as a
// line redrawn in place with the time left (or, when the output is not a
// terminal, one plain line per block), with a countdown during the restart
// pause.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "protocol/run_observer.h"
#include "protocol/window_operations.h"
#include "shell/terminal/line_writer.h"

namespace corvane::shell {

class TerminalWindow final : public protocol::WindowOperations, public protocol::RunObserver {
 public:
  enum class Style {
    Live,        // the progress redrawn in place, with the time left
    Lines,       // a line per block
    NoProgress,  // what the run does, but no progress: a script reads it elsewhere
  };
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // Lines go to `out`, each after `prefix`. Nothing more is shown once a
  // stop is requested on `stop`: what the run ends in then is the stop's
  // doing, not the remote's.
  TerminalWindow(LineWriter& out, Style style, std::string prefix, std::stop_token stop,
                 Clock clock = std::chrono::steady_clock::now);

  // The status text is the program's to show, with the outcome it knows.
  void SetStatusText(std::string_view) override {}
  void SetProgressMin(float min) override { min_ = min; }
  void SetProgressMax(float max) override { max_ = max; }
  void SetProgressValue(float value) override;
  void CloseWindow() override {}

  void Found(std::string_view devicePath) override;
  void PathChosen(protocol::UpdatePath path) override;
  void PhaseStarted(protocol::Phase phase) override;
  void Pausing(std::uint32_t remainingMs) override;

 private:
  bool Showing() const { return !stop_.stop_requested(); }
  void Note(std::string_view text);
  // The seconds left for the bytes still to send, from the time the blocks
  // sent so far took; none until a block's time is known.
  std::optional<double> SecondsLeft(double done, double total);

  LineWriter& out_;
  Style style_;
  std::string prefix_;
  std::stop_token stop_;
  Clock clock_;
  float min_ = 0;
  float max_ = 0;
  // The blocks sent so far and the time they took, the restart pause left
  // out: a block's time counts only from the block before it in the same
  // image.
  struct Seen {
    double done;
    std::chrono::steady_clock::time_point at;
  };
  std::optional<Seen> last_;
  double blocksTimed_ = 0;
  double secondsTimed_ = 0;
};

}  // namespace corvane::shell
