// What a run shows, passed on to everything that shows it: the terminal,
// and the JSON events and the log where asked for. Remembers the phase the
// run is in, the identity read and the last block, for what the program
// says at the end.
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
  // `json` and `log` may be null; the log's lines are the remote `logId`'s.
  DisplayFanOut(TerminalWindow& terminal, JsonEvents* json, RunLog* log, std::string logId)
      : terminal_(terminal), json_(json), log_(log), logId_(std::move(logId)) {}

  void SetStatusText(std::string_view) override {}
  void SetProgressMin(float min) override;
  void SetProgressMax(float max) override;
  void SetProgressValue(float value) override;
  void CloseWindow() override {}

  void Found(std::string_view devicePath) override;
  void PathChosen(protocol::UpdatePath path) override;
  void PhaseStarted(protocol::Phase phase) override;
  void Pausing(std::uint32_t remainingMs) override { terminal_.Pausing(remainingMs); }
  void IdentityRead(const protocol::RemoteIdentity& identity) override;
  void BlockEnded(const protocol::BlockReport& block) override;

  // The phase a remote can be left in: the end of a run is none.
  std::optional<protocol::Phase> phase() const { return phase_; }
  const std::optional<protocol::RemoteIdentity>& identity() const { return identity_; }
  // The last block of the phase the run is in.
  const std::optional<protocol::BlockReport>& lastBlock() const { return lastBlock_; }

 private:
  TerminalWindow& terminal_;
  JsonEvents* json_;
  RunLog* log_;
  std::string logId_;
  std::optional<protocol::Phase> phase_;
  std::optional<protocol::RemoteIdentity> identity_;
  std::optional<protocol::BlockReport> lastBlock_;
};

}  // namespace corvane::shell
