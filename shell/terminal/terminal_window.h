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

#include "shell/terminal/line_writer.h"
#include "shell/terminal/run_display.h"

namespace corvane::shell {

class TerminalWindow final : public RunDisplay {
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

  void SetProgressValue(float value) override;

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
