// What a run shows, passed on to everything that shows it: the terminal,
// and the JSON events and the log where asked for. Remembers the phase the
// run is in, for the exit status a lost remote calls for.
#pragma once

#include <optional>
#include <string>

#include "protocol/run_observer.h"
#include "protocol/window_operations.h"
#include "shell/terminal/json_events.h"
#include "shell/terminal/run_log.h"
#include "shell/terminal/terminal_window.h"

namespace corvane::shell {

class DisplayFanOut final : public protocol::WindowOperations, public protocol::RunObserver {
 public:
  // `json` and `log` may be null.
  DisplayFanOut(TerminalWindow& terminal, JsonEvents* json, RunLog* log)
      : terminal_(terminal), json_(json), log_(log) {}

  void SetStatusText(std::string_view) override {}
  void SetProgressMin(float min) override;
  void SetProgressMax(float max) override;
  void SetProgressValue(float value) override;
  void CloseWindow() override {}

  void Found(std::string_view devicePath) override;
  void PathChosen(protocol::UpdatePath path) override;
  void PhaseStarted(protocol::Phase phase) override;
  void Pausing(std::uint32_t remainingMs) override { terminal_.Pausing(remainingMs); }

  // The phase a remote can be left in: the end of a run is none.
  std::optional<protocol::Phase> phase() const { return phase_; }

 private:
  TerminalWindow& terminal_;
  JsonEvents* json_;
  RunLog* log_;
  std::optional<protocol::Phase> phase_;
  std::string foundId_;
};

}  // namespace corvane::shell
