// corvane-flash: the updater in a terminal, for people, service desks and
// production lines. Writes the firmware it carries into the Corvane remotes
// on the USB bus (or into simulated ones), saying what it does, and ends
// with the run's status text and an exit status a script can act on.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include "firmware/images.h"
#include "link/text.h"
#include "protocol/outcome.h"
#include "protocol/update_run.h"
#include "shell/cause_hint.h"
#include "shell/keep_awake.h"
#include "shell/program_info.h"
#include "shell/terminal/console.h"
#include "shell/terminal/json_events.h"
#include "shell/terminal/line_writer.h"
#include "shell/terminal/options.h"
#include "shell/terminal/remotes.h"
#include "shell/terminal/run_log.h"
#include "shell/terminal/terminal_window.h"

#if defined(CORVANE_STAND_IN_BUS)
// The tests' build of this program, on simulated remotes reached as the
// system's bus is.
#include "stand_in_bus.h"
using SystemBackend = corvane::link::StandInBus;
#elif defined(_WIN32)
#include "link/win32/win32_backend.h"
using SystemBackend = corvane::link::Win32Backend;
#else
#include "link/libusb/libusb_backend.h"
using SystemBackend = corvane::link::LibusbBackend;
#endif

namespace {

using corvane::link::CauseKind;
using corvane::protocol::Outcome;
using corvane::protocol::RunResult;
namespace shell = corvane::shell;

constexpr std::string_view Program = "corvane-flash";

constexpr int CouldNotStart = 1;
constexpr int BadArguments = 2;
constexpr int NotBackAfterLoader = 10;
// With no number, --wait waits this long between looks where the system
// cannot tell of an arrival.
constexpr std::uint32_t WaitPollMs = 250;

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

// A remote that is there but could not be opened, beside "no usb device".
struct CauseStatus {
  CauseKind cause;
  int status;
  std::string_view meaning;
};
constexpr std::array<CauseStatus, 2> CauseStatuses{{
    {CauseKind::PermissionDenied, 8, "the remote may not be opened by this user"},
    {CauseKind::HeldByAnotherProgram, 9, "another program holds the remote"},
}};

constexpr std::string_view NeedsTheUpdateAgain =
    "the remote did not come back after its loader was written: it needs the update again";

// What a terminal shows; C's streams keep the Windows program small.
void Print(std::FILE* out, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), out);
}

void PrintHelp() {
  std::string help =
      "usage: corvane-flash [OPTION]...\n"
      "\n"
      "Writes the firmware built into this program into the Corvane remote on the\n"
      "USB bus, saying what it does (the remote found, the path, each phase) and\n"
      "showing the progress. On success the status text is the last line on\n"
      "standard output; a failure goes to standard error as\n"
      "'corvane-flash: <status text>', with the cause and what to do where known.\n"
      "\n"
      "  (no option)          update the one remote that is plugged in; with\n"
      "                       several, list them and choose none\n"
      "  -l, --list           list the remotes plugged in: the id --device takes,\n"
      "                       then what the system says of it\n"
      "      --info           probe and identify the remote, say what it reported\n"
      "                       and which path an update would take; write nothing\n"
      "      --device ID      update the remote with this id\n"
      "      --all            update every remote plugged in, at once\n"
      "      --wait[=SECONDS] wait for a remote to be plugged in first (for ever,\n"
      "                       or at most SECONDS)\n"
      "      --json           write JSON Lines on standard output, one object per\n"
      "                       event (found, phase, progress, end); text goes to\n"
      "                       standard error\n"
      "      --log FILE       append a record of the run to FILE: every frame\n"
      "                       written and reply read, with times, and the outcome\n"
      "      --simulate S1,S2,...  plug in one simulated remote per scenario, at a\n"
      "                       real remote's pace, instead of the USB bus\n"
      "      --list-scenarios list the scenarios\n"
      "  -V, --version        print the version\n"
      "  -h, --help           print this help\n"
      "\n"
      "Ctrl-C or SIGTERM stops a run, closing the link to the remote first.\n"
      "\n"
      "exit status (with --all, that of the first remote, in --list order, whose\n"
      "update did not complete):\n";
  const auto line = [&help](int status, std::string_view meaning) {
    const std::string number = std::to_string(status);
    help += "  " + number + std::string(5 - number.size(), ' ');
    help.append(meaning).append("\n");
  };
  int listed = -1;
  for (const auto& [outcome, status] : ExitStatuses) {
    if (status != listed) {
      line(status, corvane::protocol::EndingOf(outcome).text);
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
  Print(stdout, help);
}

int BadArgument(const std::string& problem) {
  Print(stderr,
        std::string(Program) + ": " + problem + " (try " + std::string(Program) + " --help)\n");
  return BadArguments;
}

// What every run of this program shares.
struct Setting {
  const shell::Options& options;
  const corvane::firmware::Images& images;
  shell::LineWriter& out;    // standard output
  shell::LineWriter& err;    // standard error
  shell::LineWriter& notes;  // what a run does: out, or err under --json
  shell::RunLog* log;
  bool several;  // more than one run at once
};

// Everything a run shows, passed on: the terminal, the JSON events and the
// log. Remembers the phase it is in.
class Shown final : public corvane::protocol::WindowOperations,
                    public corvane::protocol::RunObserver {
 public:
  Shown(shell::TerminalWindow& terminal, shell::JsonEvents* json, shell::RunLog* log)
      : terminal_(terminal), json_(json), log_(log) {}

  void SetStatusText(std::string_view) override {}
  void SetProgressMin(float min) override {
    terminal_.SetProgressMin(min);
    if (json_ != nullptr) {
      json_->SetProgressMin(min);
    }
  }
  void SetProgressMax(float max) override {
    terminal_.SetProgressMax(max);
    if (json_ != nullptr) {
      json_->SetProgressMax(max);
    }
  }
  void SetProgressValue(float value) override {
    terminal_.SetProgressValue(value);
    if (json_ != nullptr) {
      json_->SetProgressValue(value);
    }
  }
  void CloseWindow() override {}

  void Found(std::string_view devicePath) override {
    terminal_.Found(devicePath);
    if (json_ != nullptr) {
      json_->Found(devicePath);
    }
    if (log_ != nullptr) {
      foundId_ = corvane::link::RemoteId(devicePath);
      log_->Remote(foundId_, devicePath);
    }
  }
  void PathChosen(corvane::protocol::UpdatePath path) override {
    terminal_.PathChosen(path);
    if (json_ != nullptr) {
      json_->PathChosen(path);
    }
    if (log_ != nullptr) {
      log_->Images(foundId_, path);
    }
  }
  void PhaseStarted(corvane::protocol::Phase phase) override {
    // The end of a run is no phase a remote can be left in.
    if (phase != corvane::protocol::Phase::End) {
      phase_ = phase;
    }
    terminal_.PhaseStarted(phase);
    if (json_ != nullptr) {
      json_->PhaseStarted(phase);
    }
  }
  void Pausing(std::uint32_t remainingMs) override { terminal_.Pausing(remainingMs); }

  std::optional<corvane::protocol::Phase> phase() const { return phase_; }

 private:
  shell::TerminalWindow& terminal_;
  shell::JsonEvents* json_;
  shell::RunLog* log_;
  std::optional<corvane::protocol::Phase> phase_;
  std::string foundId_;
};

int StatusOf(Outcome outcome) {
  return std::ranges::find(ExitStatuses, outcome, &OutcomeStatus::outcome)->status;
}

int StatusOf(const RunResult& result, const Shown& shown) {
  if (result.outcome == Outcome::NoRemote) {
    if (shown.phase() == corvane::protocol::Phase::Pause) {
      return NotBackAfterLoader;
    }
    const auto* cause = std::ranges::find(CauseStatuses, result.cause.kind, &CauseStatus::cause);
    if (cause != CauseStatuses.end()) {
      return cause->status;
    }
  }
  return StatusOf(result.outcome);
}

// Says how a run ended: on success the status text on standard output, on
// failure on standard error with what to do. Gives the exit status.
int Tell(const Setting& setting, const std::string& prefix, const RunResult& result,
         const Shown& shown) {
  const int status = StatusOf(result, shown);
  const std::string_view text = corvane::protocol::EndingOf(result.outcome).text;
  if (result.outcome == Outcome::Completed) {
    (setting.options.json ? setting.err : setting.out).Line(prefix + std::string(text));
    return status;
  }
  const std::string name = std::string(Program) + ": " + prefix;
  setting.err.Line(name + std::string(text));
  if (status == NotBackAfterLoader) {
    setting.err.Line(name + std::string(NeedsTheUpdateAgain));
  } else if (const std::string hint = shell::CauseHint(result.cause.kind); !hint.empty()) {
    setting.err.Line(name + hint + " (" + result.cause.text + ")");
  }
  return status;
}

// One run, to the remote with `id` (whatever remote is found when empty),
// through a link of its own. Gives the exit status it calls for.
int RunOne(const Setting& setting, const std::string& id, corvane::link::Backend& backend,
           std::stop_token stop) {
  const std::string prefix = setting.several ? id + ": " : "";
  using Style = shell::TerminalWindow::Style;
  const Style style = setting.options.json        ? Style::NoProgress
                      : setting.several           ? Style::Lines
                      : shell::OutputIsTerminal() ? Style::Live
                                                  : Style::Lines;
  shell::TerminalWindow terminal(setting.notes, style, prefix, stop);
  std::optional<shell::JsonEvents> json;
  if (setting.options.json) {
    json.emplace(setting.out, setting.several ? id : "");
  }
  Shown shown(terminal, json ? &*json : nullptr, setting.log);
  corvane::link::DeviceLink link(backend, stop, id);
  if (setting.log != nullptr) {
    const std::string logged = id.empty() ? "-" : id;
    link.SetTrace([&setting, logged](auto direction, auto bytes, const auto& result) {
      setting.log->Transfer(logged, direction, bytes, result);
    });
  }

  const auto start = std::chrono::steady_clock::now();
  RunResult result{Outcome::Completed, {}};
  if (setting.options.info) {
    const auto identified = corvane::protocol::Identify(link, setting.images, shown, &shown);
    if (const auto* ended = std::get_if<RunResult>(&identified)) {
      result = *ended;
    } else {
      const auto& identity = std::get<corvane::protocol::RemoteIdentity>(identified);
      const bool loader = identity.path == corvane::protocol::UpdatePath::Loader;
      setting.notes.Line(
          prefix + "identity bytes 28, 29, 31, 32: " + corvane::link::HexText(identity.bytes, " ") +
          (identity.echoed ? " (the reply echoes the request)"
                           : " (the reply does not echo the request)"));
      setting.notes.Line(prefix + (loader ? "an update would take the loader path"
                                          : "an update would take the direct path, header flag " +
                                                std::to_string(identity.headerFlag)));
      setting.notes.Line(prefix +
                         shell::ImageDigestLine("main", corvane::firmware::MainImageSha256));
      if (loader) {
        setting.notes.Line(prefix +
                           shell::ImageDigestLine("loader", corvane::firmware::LoaderImageSha256));
      }
      if (json) {
        json->Identified(identity);
      }
    }
  } else {
    result = corvane::protocol::UpdateFirmware(link, setting.images, shown, &shown);
  }
  if (stop.stop_requested()) {
    return 0;  // the interrupt's status is the program's
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
  const bool identified = setting.options.info && result.outcome == Outcome::Completed;
  const int status = identified ? 0 : Tell(setting, prefix, result, shown);
  if (json) {
    json->End(result, identified, status, elapsed);
  }
  if (setting.log != nullptr) {
    setting.log->Ended(id.empty() ? "-" : id, result, status);
  }
  return status;
}

// Waits for a remote to be plugged in, at most `ms` (for ever: WaitForEver).
void WaitForRemote(shell::Remotes& remotes, std::uint32_t ms, shell::LineWriter& notes,
                   std::stop_token stop) {
  if (!remotes.List().empty()) {
    return;
  }
  notes.Line(ms == shell::WaitForEver ? "waiting for a remote to be plugged in"
                                      : "waiting for a remote to be plugged in, at most " +
                                            std::to_string(ms / 1000) + " s");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!stop.stop_requested() && remotes.List().empty()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (ms != shell::WaitForEver && left <= 0) {
      return;
    }
    remotes.WaitForArrival(ms == shell::WaitForEver
                               ? WaitPollMs
                               : static_cast<std::uint32_t>(std::min<long long>(left, WaitPollMs)));
  }
}

void PrintList(const std::vector<corvane::link::ListedRemote>& listed, shell::LineWriter& out) {
  std::size_t width = 2;
  for (const auto& remote : listed) {
    width = std::max(width, remote.id.size());
  }
  for (const auto& remote : listed) {
    out.Line(remote.id + std::string(width + 2 - remote.id.size(), ' ') + remote.description);
  }
}

// Runs the update (or the identification) of each remote chosen, at once,
// and gives the program's exit status.
int Run(const shell::Options& options, shell::Remotes& remotes,
        const corvane::firmware::Images& images) {
  shell::LineWriter out(stdout);
  shell::LineWriter err(stderr);
  std::optional<shell::RunLog> log;
  if (!options.logFile.empty()) {
    log.emplace(options.logFile, std::string(Program) + ' ' + CORVANE_VERSION);
    if (!log->IsOpen()) {
      err.Line(std::string(Program) + ": cannot write the log " + options.logFile);
      return CouldNotStart;
    }
  }
  std::vector<int> statuses;
  const int interrupted = shell::RunStoppable([&](std::stop_token stop) {
    shell::LineWriter& notes = options.json ? err : out;
    if (options.waitMs) {
      WaitForRemote(remotes, *options.waitMs, notes, stop);
    }
    const auto listed = remotes.List();
    if (options.list) {
      if (listed.empty()) {
        err.Line(std::string(corvane::protocol::EndingOf(Outcome::NoRemote).text));
        statuses = {StatusOf(Outcome::NoRemote)};
      }
      PrintList(listed, out);
      return;
    }
    std::vector<std::string> ids;
    if (options.all) {
      for (const auto& remote : listed) {
        ids.push_back(remote.id);
      }
    } else if (!options.device.empty()) {
      ids.push_back(options.device);
    } else if (listed.size() > 1) {
      err.Line(std::string(Program) + ": several remotes are plugged in:");
      PrintList(listed, err);
      err.Line(std::string(Program) +
               ": choose one with --device ID, or update them all with --all");
      statuses = {BadArguments};
      return;
    } else if (listed.size() == 1) {
      ids.push_back(listed.front().id);
    }
    if (ids.empty()) {
      ids.emplace_back();  // the run finds none, and says so
    }
    const Setting setting{options, images, out, err, notes, log ? &*log : nullptr, ids.size() > 1};
    // The computer stays up while any remote is written.
    std::optional<shell::KeepAwake> awake;
    if (!options.info && !listed.empty()) {
      awake.emplace(Program);
    }
    // Every run's backend is made here, before any run starts: a remote set
    // makes them without a lock.
    std::vector<corvane::link::Backend*> backends;
    for (const std::string& id : ids) {
      backends.push_back(&remotes.BackendFor(id));
    }
    statuses.assign(ids.size(), 0);
    std::vector<std::thread> others;
    for (std::size_t i = 1; i < ids.size(); ++i) {
      others.emplace_back([&, i] { statuses[i] = RunOne(setting, ids[i], *backends[i], stop); });
    }
    statuses[0] = RunOne(setting, ids[0], *backends[0], stop);
    for (auto& other : others) {
      other.join();
    }
  });
  if (interrupted != 0) {
    err.Line(std::string(Program) +
             ": interrupted; the link to the remote is closed. The remote may need the update "
             "again.");
    return interrupted;
  }
  const auto failed = std::ranges::find_if(statuses, [](int status) { return status != 0; });
  return failed == statuses.end() ? 0 : *failed;
}

}  // namespace

int main(int argc, char** argv) {
  const auto read = shell::ReadOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto* problem = std::get_if<std::string>(&read)) {
    return BadArgument(*problem);
  }
  const auto& options = std::get<shell::Options>(read);
  if (options.help) {
    PrintHelp();
    return 0;
  }
  if (options.version) {
    Print(stdout, shell::VersionText(Program));
    return 0;
  }
  if (options.listScenarios) {
    Print(stdout, corvane::sim::ScenarioList());
    return 0;
  }
  std::vector<const corvane::sim::Scenario*> scenarios;
  for (const std::string& name : options.simulate) {
    scenarios.push_back(corvane::sim::FindScenario(name));
    if (scenarios.back() == nullptr) {
      Print(stderr, corvane::sim::UnknownScenario(Program, name, "--list-scenarios") + "\n");
      return BadArguments;
    }
  }
  const auto images = corvane::firmware::Images::Embedded();
  if (!images) {
    Print(stderr,
          std::string(Program) + ": " + std::string(corvane::firmware::ImagesRefused) + "\n");
    return CouldNotStart;
  }
  if (!scenarios.empty()) {
    shell::SimulatedRemotes remotes(scenarios);
    return Run(options, remotes, *images);
  }
  shell::SystemRemotes<SystemBackend> remotes;
  return Run(options, remotes, *images);
}
