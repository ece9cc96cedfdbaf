// A run as JSON Lines, one object per event, for scripts: "found", "phase",
// "progress" and, last, "end". With an id, every object carries it.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/outcome.h"
#include "protocol/update_run.h"
#include "shell/terminal/line_writer.h"
#include "shell/terminal/run_display.h"

namespace corvane::shell {

class JsonEvents final : public RunDisplay {
 public:
  JsonEvents(LineWriter& out, std::string id) : out_(out), id_(std::move(id)) {}

  void SetProgressValue(float value) override;

  void Found(std::string_view devicePath) override;
  void PathChosen(protocol::UpdatePath path) override { path_ = path; }
  void PhaseStarted(protocol::Phase phase) override;

  // What the remote said of itself, for --info.
  void Identified(const protocol::RemoteIdentity& identity);
  // The last event: how the run ended, with the program's exit status and
  // the SHA-256 of the images the run sends. A remote identified with --info
  // ends "identified".
  void End(const protocol::RunResult& result, bool identified, int exitStatus,
           std::int64_t elapsedMs);

 private:
  template <typename Object>
  void Emit(Object object);

  LineWriter& out_;
  std::string id_;
  protocol::UpdatePath path_ = protocol::UpdatePath::Direct;
};

}  // namespace corvane::shell
