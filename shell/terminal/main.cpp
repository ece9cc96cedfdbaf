// corvane-flash: the updater in a terminal. Writes the firmware it carries
// into the Corvane remote on the USB bus (or into a simulated one) and shows
// the run's progress and its status text.

#include <algorithm>
#include <array>
#include <iostream>
#include <string>
#include <string_view>

#include "firmware/images.h"
#include "protocol/outcome.h"
#include "shell/cause_hint.h"
#include "shell/terminal/console.h"
#include "shell/terminal/terminal_window.h"
#include "shell/update_action.h"
#include "sim/demo_remote.h"
#include "sim/scenarios.h"

#ifdef _WIN32
#include "link/win32/win32_backend.h"
using SystemBackend = corvane::link::Win32Backend;
#else
#include "link/libusb/libusb_backend.h"
using SystemBackend = corvane::link::LibusbBackend;
#endif

namespace {

using corvane::protocol::Outcome;

constexpr std::string_view Program = "corvane-flash";

constexpr int CouldNotStart = 1;
constexpr int BadArguments = 2;

// A remote that is there but could not be opened, beside "no usb device".
struct CauseStatus {
  corvane::link::CauseKind cause;
  int status;
  std::string_view meaning;
};
constexpr std::array<CauseStatus, 2> CauseStatuses{{
    {corvane::link::CauseKind::PermissionDenied, 8, "the remote may not be opened by this user"},
    {corvane::link::CauseKind::HeldByAnotherProgram, 9, "another program holds the remote"},
}};

struct OutcomeStatus {
  Outcome outcome;
  int status;
};

// The exit status of every way a run can end, in the order --help lists
// them; both runs that end in Error #003 share one.
constexpr std::array<OutcomeStatus, 7> ExitStatuses{{
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
      for (const auto& ending : corvane::protocol::Endings) {
        if (std::ranges::count(ExitStatuses, ending.outcome, &OutcomeStatus::outcome) != 1) {
          return false;
        }
      }
      return true;
    }(),
    "every outcome has one exit status");

int StatusOf(const corvane::protocol::RunResult& result) {
  if (result.outcome == Outcome::NoRemote) {
    const auto* cause = std::ranges::find(CauseStatuses, result.cause.kind, &CauseStatus::cause);
    if (cause != CauseStatuses.end()) {
      return cause->status;
    }
  }
  return std::ranges::find(ExitStatuses, result.outcome, &OutcomeStatus::outcome)->status;
}

void PrintHelp() {
  std::cout << "usage: corvane-flash [--simulate SCENARIO | --list | --version | --help]\n"
               "\n"
               "Writes the firmware built into this program into the Corvane remote on the\n"
               "USB bus, showing the progress and, as the last line, the run's status text.\n"
               "\n"
               "  (no argument)        update the remote that is plugged in\n"
               "  --simulate SCENARIO  update a simulated remote, at a real remote's pace\n"
               "  --list               list the scenarios\n"
               "  --version            print the version\n"
               "  --help               print this help\n"
               "\n"
               "Ctrl-C (or SIGTERM) stops a run, closing the link to the remote first.\n"
               "\n"
               "exit status:\n";
  int listed = -1;
  for (const auto& [outcome, status] : ExitStatuses) {
    if (status != listed) {
      std::cout << "  " << status << "    " << corvane::protocol::EndingOf(outcome).text << '\n';
      listed = status;
    }
    if (status == 0) {
      std::cout << "  " << CouldNotStart
                << "    the firmware images built in are too short to send\n"
                << "  " << BadArguments << "    bad arguments\n";
    }
  }
  for (const auto& [cause, status, meaning] : CauseStatuses) {
    std::cout << "  " << status << "    " << meaning << '\n';
  }
  std::cout << "  130  interrupted by Ctrl-C\n"
            << "  143  ended by SIGTERM\n";
}

enum class Hint { Help, ListAndHelp };

int BadArgument(const std::string& problem, Hint hint = Hint::Help) {
  std::cerr << Program << ": " << problem << " (try " << Program
            << (hint == Hint::ListAndHelp ? " --list or --help)\n" : " --help)\n");
  return BadArguments;
}

// One update through `backend`, shown on standard output, with the cause
// and what to do on standard error where the remote could not be opened.
// Gives the exit status; the link is closed when this returns.
int Update(corvane::link::Backend& backend, const corvane::firmware::Images& images) {
  corvane::protocol::RunResult result;
  const int interrupted = corvane::shell::RunStoppable([&](std::stop_token stop) {
    using Style = corvane::shell::TerminalWindow::Style;
    corvane::shell::TerminalWindow window(
        std::cout, corvane::shell::OutputIsTerminal() ? Style::Live : Style::Lines, stop);
    result = corvane::shell::UpdateKeptAwake(backend, images, Program, window, stop);
  });
  if (interrupted != 0) {
    std::cerr << Program
              << ": interrupted; the link to the remote is closed. The remote may need the "
                 "update again.\n";
    return interrupted;
  }
  const std::string_view hint = corvane::shell::CauseHint(result.cause.kind);
  if (result.outcome == Outcome::NoRemote && !hint.empty()) {
    std::cerr << Program << ": " << hint << " (" << result.cause.text << ")\n";
  }
  return StatusOf(result);
}

}  // namespace

int main(int argc, char** argv) {
  const corvane::sim::Scenario* scenario = nullptr;
  if (argc > 1) {
    const std::string_view option = argv[1];
    constexpr std::array<std::string_view, 4> Options{"--help", "--version", "--list",
                                                      "--simulate"};
    if (std::ranges::find(Options, option) == Options.end()) {
      return BadArgument((option.starts_with('-') ? "unknown option '" : "unexpected argument '") +
                         std::string(option) + "'");
    }
    const int operands = option == "--simulate" ? 1 : 0;
    if (option == "--simulate" && argc < 3) {
      return BadArgument("--simulate needs a scenario", Hint::ListAndHelp);
    }
    if (argc > 2 + operands) {
      return BadArgument("unexpected argument '" + std::string(argv[2 + operands]) + "'");
    }
    if (option == "--help") {
      PrintHelp();
      return 0;
    }
    if (option == "--version") {
      std::cout << Program << ' ' << CORVANE_VERSION << '\n';
      return 0;
    }
    if (option == "--list") {
      std::cout << corvane::sim::ScenarioList();
      return 0;
    }
    scenario = corvane::sim::FindScenario(argv[2]);
    if (scenario == nullptr) {
      std::cerr << corvane::sim::UnknownScenario(Program, argv[2]) << '\n';
      return BadArguments;
    }
  }

  const auto images = corvane::firmware::Images::Embedded();
  if (!images) {
    std::cerr << Program << ": " << corvane::firmware::ImagesRefused << '\n';
    return CouldNotStart;
  }
  if (scenario != nullptr) {
    corvane::sim::DemoRemote remote(*scenario);
    return Update(remote.backend(), *images);
  }
  SystemBackend system;
  return Update(system, *images);
}
