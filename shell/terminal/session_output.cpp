#include "shell/terminal/session_output.h"

#include "shell/terminal/exit_status.h"

namespace corvane::shell {

SessionOutput::SessionOutput(const Options& options)
    : notes(options.json ? err : out), options_(options) {}

std::optional<int> SessionOutput::Begin() {
  if (options_.json) {
    json.emplace(out);
    json->Start();
  }
  if (options_.logFile.empty()) {
    return std::nullopt;
  }
  log_.emplace(options_.logFile, std::string(FlashProgram) + ' ' + CORVANE_VERSION);
  if (log_->IsOpen()) {
    return std::nullopt;
  }
  const std::string problem = "cannot write the log " + options_.logFile;
  err.Line(std::string(FlashProgram) + ": " + problem);
  return EndAlone(CouldNotStart, problem);
}

RunSetting SessionOutput::Setting(const firmware::Images& images, bool several) {
  return {options_, images, out, err, notes, json ? &*json : nullptr, log_ ? &*log_ : nullptr,
          several};
}

int SessionOutput::EndAlone(int status, const std::string& text) {
  if (json) {
    json->End(status, text);
  }
  return status;
}

void SessionOutput::Summary(std::span<const int> statuses, int status) {
  notes.Line(SummaryLine(statuses));
  if (json) {
    json->Summary(statuses, status);
  }
}

void SessionOutput::Interruption(int interrupted) {
  if (interrupted != 0) {
    err.Line(std::string(FlashProgram) +
             ": interrupted; the link to the remote is closed. The remote may need the update "
             "again.");
  }
}

}  // namespace corvane::shell
