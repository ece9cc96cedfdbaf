// One remote's run in corvane-flash: the update, or with --info the
// identification, through a link of its own, shown on the terminal, in
// the JSON events and in the log, and told at its end.
#pragma once

#include <stop_token>
#include <string>

#include "firmware/images.h"
#include "link/backend.h"
#include "shell/terminal/json_events.h"
#include "shell/terminal/line_writer.h"
#include "shell/terminal/options.h"
#include "shell/terminal/run_log.h"

namespace corvane::shell {

// What every run of the program shares.
struct RunSetting {
  const Options& options;
  const firmware::Images& images;
  LineWriter& out;    // standard output
  LineWriter& err;    // standard error
  LineWriter& notes;  // what a run does: out, or err under --json
  JsonLines* json;    // null: no JSON
  RunLog* log;        // null: no log
  bool several;       // more than one run at once
};

// Runs to the remote with `id` (whatever remote is found when empty), whose
// serial number as listed is `serial` (empty for none), and gives the exit
// status the run calls for: once a stop is requested, the interrupt's.
int RunRemote(const RunSetting& setting, const std::string& id, const std::string& serial,
              link::Backend& backend, std::stop_token stop);

}  // namespace corvane::shell
