#include "shell/terminal/exit_status.h"

#include <algorithm>
#include <array>

namespace corvane::shell {
namespace {

using protocol::Outcome;

// A remote that is there but could not be opened, beside "no usb device".
struct CauseStatus {
  link::CauseKind cause;
  int status;
};
constexpr std::array<CauseStatus, 3> CauseStatuses{{
    {link::CauseKind::PermissionDenied, PermissionRefused},
    {link::CauseKind::HeldByAnotherProgram, HeldElsewhere},
    {link::CauseKind::DriverMissing, DriverNotInstalled},
}};

// Every status by its name for scripts and its meaning for people, in the
// order --help lists them. Where the meaning is empty, it is the status text
// of the outcomes with that status.
struct StatusRow {
  int status;
  std::string_view name;
  std::string_view meaning;
};
constexpr std::array<StatusRow, 14> StatusRows{{
    {0, "completed", ""},
    {CouldNotStart, "log-unwritable", "the log cannot be written"},
    {BadArguments, "not-chosen", "bad arguments, or several remotes and none chosen"},
    {3, "no-remote", ""},
    {4, "error-001", ""},
    {5, "error-002", ""},
    {6, "error-003", ""},
    {7, "error-004", ""},
    {PermissionRefused, "permission-refused",
     "no usb device: the remote may not be opened by this user"},
    {HeldElsewhere, "held-elsewhere", "no usb device: another program holds the remote"},
    {NotBackAfterLoader, "lost-after-loader", NeedsTheUpdateAgain},
    {DriverNotInstalled, "driver-missing", "no usb device: the remote's driver is not installed"},
    {Interrupted, "interrupted", "interrupted by Ctrl-C"},
    {Terminated, "terminated", "ended by SIGTERM"},
}};

static_assert(
    [] {
      for (const auto& ending : protocol::Endings) {
        if (std::ranges::count(StatusRows, ExitStatusOf(ending.outcome), &StatusRow::status) != 1) {
          return false;
        }
      }
      return true;
    }(),
    "every outcome's status has a name");

const StatusRow& RowOf(int status) {
  return *std::ranges::find(StatusRows, status, &StatusRow::status);
}

}  // namespace

int ExitStatusOf(const protocol::RunResult& result, bool afterLoader) {
  if (result.outcome == Outcome::NoRemote) {
    if (afterLoader) {
      return NotBackAfterLoader;
    }
    const auto* cause = std::ranges::find(CauseStatuses, result.cause.kind, &CauseStatus::cause);
    if (cause != CauseStatuses.end()) {
      return cause->status;
    }
  }
  return ExitStatusOf(result.outcome);
}

std::string_view ExitStatusName(int status) {
  return RowOf(status).name;
}

std::string_view ExitStatusMeaning(int status) {
  const StatusRow& row = RowOf(status);
  if (!row.meaning.empty()) {
    return row.meaning;
  }
  return std::ranges::find_if(protocol::Endings,
                              [status](const protocol::Ending& ending) {
                                return ExitStatusOf(ending.outcome) == status;
                              })
      ->text;
}

std::vector<std::pair<std::string_view, int>> CountByOutcome(std::span<const int> statuses) {
  std::vector<std::pair<std::string_view, int>> counts;
  for (const StatusRow& row : StatusRows) {
    if (const auto count = std::ranges::count(statuses, row.status); count > 0) {
      counts.emplace_back(row.name, static_cast<int>(count));
    }
  }
  return counts;
}

std::string SummaryLine(std::span<const int> statuses) {
  std::string line = "summary: " + std::to_string(statuses.size()) + " remotes";
  for (const auto& [name, count] : CountByOutcome(statuses)) {
    line += ", " + std::to_string(count) + " " + std::string(name);
  }
  return line;
}

std::string ExitStatusList() {
  std::string list;
  for (const StatusRow& row : StatusRows) {
    const std::string number = std::to_string(row.status);
    list += "  " + number + std::string(5 - number.size(), ' ');
    list.append(ExitStatusMeaning(row.status)).append("\n");
  }
  return list;
}

}  // namespace corvane::shell
