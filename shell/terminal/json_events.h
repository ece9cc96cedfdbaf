// corvane-flash's JSON Lines on standard output, for scripts and
// dashboards: one object per line, each with its event first and the
// wall-clock time. The first is "start", naming the program and its images;
// a run gives "found", "phase", "progress" and its "end"; what is no one
// remote's run ends in an "end" of its own; several runs end in a
// "summary". Field meanings change only with the schema number.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "link/device_link.h"
#include "protocol/update_run.h"
#include "shell/terminal/line_writer.h"
#include "shell/terminal/run_display.h"
#include "shell/terminal/wall_clock.h"

namespace corvane::shell {

inline constexpr int JsonSchema = 1;

class JsonLines {
 public:
  using Clock = std::function<WallTime()>;
  explicit JsonLines(LineWriter& out, Clock clock = std::chrono::system_clock::now)
      : out_(out), clock_(std::move(clock)) {}

  void Start();
  void Remote(const link::ListedRemote& remote);
  // How what was no one remote's run ended: an interrupt before any run,
  // several remotes and none chosen, a log that cannot be written, a list.
  void End(int exitStatus, std::string_view statusText);
  // How many runs ended in each outcome, after several.
  void Summary(std::span<const int> statuses, int exitStatus);

 private:
  friend class JsonEvents;
  template <typename Object>
  void Emit(std::string_view id, const Object& object);

  LineWriter& out_;
  Clock clock_;
};

// One run's events. With an id, every object carries it.
class JsonEvents final : public RunDisplay {
 public:
  // `serial` is the remote's serial number, empty for none.
  JsonEvents(JsonLines& lines, std::string id, std::string serial)
      : lines_(lines), id_(std::move(id)), serial_(std::move(serial)) {}

  void SetProgressValue(float value) override;

  void Found(std::string_view devicePath) override;
  void PathChosen(protocol::UpdatePath path) override { path_ = path; }
  void PhaseStarted(protocol::Phase phase) override;

  // What the remote said of itself, for --info.
  void Identified(const protocol::RemoteIdentity& identity);
  // The last event: the status text, the outcome's name and the program's
  // exit status, the cause where the system gave one, and the SHA-256 of
  // the images the run sends.
  void End(std::string_view statusText, std::string_view outcome, int exitStatus,
           const link::Cause& cause, std::int64_t elapsedMs);

 private:
  JsonLines& lines_;
  std::string id_;
  std::string serial_;
  protocol::UpdatePath path_ = protocol::UpdatePath::Direct;
};

}  // namespace corvane::shell
