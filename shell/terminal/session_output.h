// What corvane-flash says around its runs, whether it runs the remotes
// plugged in once or watches the bus for them: the streams, the JSON Lines
// begun, the log opened, an end that is no remote's run, the summary of
// several runs, and the word on an interrupt.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "firmware/images.h"
#include "shell/terminal/json_events.h"
#include "shell/terminal/line_writer.h"
#include "shell/terminal/options.h"
#include "shell/terminal/remote_run.h"
#include "shell/terminal/run_log.h"

namespace corvane::shell {

class SessionOutput {
 public:
  explicit SessionOutput(const Options& options);
  SessionOutput(const SessionOutput&) = delete;
  SessionOutput& operator=(const SessionOutput&) = delete;

  // Writes the JSON start and opens the log; when the log cannot be
  // written, says so and gives the status to end with.
  std::optional<int> Begin();
  // What every run shares; `several`: each line and object carries the
  // remote's id, as runs may go at once.
  RunSetting Setting(const firmware::Images& images, bool several);
  // Says how what was no one remote's run ended, and gives its status.
  int EndAlone(int status, const std::string& text);
  // How many runs ended in each outcome, and the status the program ends
  // with.
  void Summary(std::span<const int> statuses, int status);
  // After an interrupt (`interrupted` not 0), that the link is closed.
  void Interruption(int interrupted);

  LineWriter out{stdout};
  LineWriter err{stderr};
  LineWriter& notes;              // what runs do: out, or err under --json
  std::optional<JsonLines> json;  // under --json

 private:
  const Options& options_;
  std::optional<RunLog> log_;
};

}  // namespace corvane::shell
