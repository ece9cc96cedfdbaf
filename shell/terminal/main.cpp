// corvane-flash: the updater in a terminal. Writes the firmware it carries
// into the Corvane remote on the USB bus (or into a simulated one) and shows
// the run's progress and its status text.

#include <algorithm>
#include <array>
#include <atomic>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "firmware/images.h"
#include "link/device_link.h"
#include "protocol/outcome.h"
#include "protocol/update_run.h"
#include "shell/terminal/console.h"
#include "shell/terminal/interruptible_backend.h"
#include "shell/terminal/terminal_window.h"
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
constexpr int Interrupted = 130;

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

int StatusOf(Outcome outcome) {
  return std::ranges::find(ExitStatuses, outcome, &OutcomeStatus::outcome)->status;
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
               "Ctrl-C stops a run, closing the link to the remote first.\n"
               "\n"
               "exit status:\n";
  int listed = -1;
  for (const auto& [outcome, status] : ExitStatuses) {
    if (status != listed) {
      std::cout << "  " << status << "    " << corvane::protocol::EndingOf(outcome).text << '\n';
      listed = status;
    }
    if (status == 0) {
      std::cout << "  " << CouldNotStart << "    the program's main image is too short to send\n"
                << "  " << BadArguments << "    bad arguments\n";
    }
  }
  std::cout << "  " << Interrupted << "  interrupted by Ctrl-C\n";
}

enum class Hint { Help, ListAndHelp };

int BadArgument(const std::string& problem, Hint hint = Hint::Help) {
  std::cerr << Program << ": " << problem << " (try " << Program
            << (hint == Hint::ListAndHelp ? " --list or --help)\n" : " --help)\n");
  return BadArguments;
}

// One update through `system`, shown on standard output. Nothing when Ctrl-C
// ended it; the link is closed either way when this returns.
std::optional<Outcome> Update(corvane::link::Backend& system,
                              const std::atomic<bool>& interrupted) {
  corvane::shell::InterruptibleBackend guarded(system, interrupted);
  const corvane::link::BackendInUse inUse(guarded);
  using Style = corvane::shell::TerminalWindow::Style;
  corvane::shell::TerminalWindow window(
      std::cout, corvane::shell::OutputIsTerminal() ? Style::Live : Style::Lines, interrupted);
  const Outcome outcome = corvane::protocol::UpdateFirmware(window);
  if (!window.StatusShown()) {
    return std::nullopt;
  }
  return outcome;
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
      return BadArgument("unknown scenario '" + std::string(argv[2]) + "'", Hint::ListAndHelp);
    }
  }

  if (!corvane::firmware::LoadMainImage()) {
    std::cerr << Program << ": " << corvane::firmware::MainImageRefused << '\n';
    return CouldNotStart;
  }
  const std::atomic<bool>& interrupted = corvane::shell::CatchInterrupt();
  std::optional<Outcome> outcome;
  if (scenario != nullptr) {
    corvane::sim::DemoRemote remote(*scenario);
    outcome = Update(remote.backend(), interrupted);
  } else {
    SystemBackend system;
    outcome = Update(system, interrupted);
  }
  if (!outcome) {
    std::cerr << Program
              << ": interrupted; the link to the remote is closed. The remote may need the "
                 "update again.\n";
    return Interrupted;
  }
  return StatusOf(*outcome);
}
