#include "shell/terminal/exit_status.h"

#include <algorithm>
#include <array>

namespace corvane::shell {
namespace {

using protocol::Outcome;

struct OutcomeStatus {
  Outcome outcome;
  int status;
};

// In the order --help lists them; both runs that end in Error #003 share one.
constexpr std::array<OutcomeStatus, 7> OutcomeStatuses{{
    {Outcome::Completed, 0},
    {Outcome::NoRemote, 3},
    {Outcome::ProbeFailed, 4},
    {Outcome::IdentityFailed, 5},
    {Outcome::NoReply, 6},
    {Outcome::LoaderNoReply, 6},
    {Outcome::WriteFailed, 7},
}};

static_assert(
    [] {
      for (const auto& ending : protocol::Endings) {
        if (std::ranges::count(OutcomeStatuses, ending.outcome, &OutcomeStatus::outcome) != 1) {
          return false;
        }
      }
      return true;
    }(),
    "every outcome has one exit status");

// A remote that is there but could not be opened, beside "no usb device".
struct CauseStatus {
  link::CauseKind cause;
  int status;
  std::string_view meaning;
};
constexpr std::array<CauseStatus, 2> CauseStatuses{{
    {link::CauseKind::PermissionDenied, 8, "the remote may not be opened by this user"},
    {link::CauseKind::HeldByAnotherProgram, 9, "another program holds the remote"},
}};

}  // namespace

int ExitStatusOf(Outcome outcome) {
  return std::ranges::find(OutcomeStatuses, outcome, &OutcomeStatus::outcome)->status;
}

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

std::string ExitStatusList() {
  std::string list;
  const auto line = [&list](int status, std::string_view meaning) {
    const std::string number = std::to_string(status);
    list += "  " + number + std::string(5 - number.size(), ' ');
    list.append(meaning).append("\n");
  };
  int listed = -1;
  for (const auto& [outcome, status] : OutcomeStatuses) {
    if (status != listed) {
      line(status, protocol::EndingOf(outcome).text);
      listed = status;
    }
    if (status == 0) {
      line(CouldNotStart, "the log cannot be written");
      line(BadArguments, "bad arguments, or several remotes and none chosen");
    }
  }
  for (const auto& [cause, status, meaning] : CauseStatuses) {
    line(status, "no usb device: " + std::string(meaning));
  }
  line(NotBackAfterLoader, NeedsTheUpdateAgain);
  line(130, "interrupted by Ctrl-C");
  line(143, "ended by SIGTERM");
  return list;
}

}  // namespace corvane::shell
