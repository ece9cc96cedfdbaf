#include "shell/terminal/session.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "shell/keep_awake.h"
#include "shell/terminal/console.h"
#include "shell/terminal/exit_status.h"
#include "shell/terminal/line_writer.h"
#include "shell/terminal/remote_run.h"
#include "shell/terminal/session_output.h"

namespace corvane::shell {
namespace {

// Waits for a remote to be plugged in, at most `ms` (for ever: WaitForEver).
void WaitForRemote(Remotes& remotes, std::uint32_t ms, LineWriter& notes, std::stop_token stop) {
  if (!remotes.List().empty()) {
    return;
  }
  notes.Line(ms == WaitForEver ? "waiting for a remote to be plugged in"
                               : "waiting for a remote to be plugged in, at most " +
                                     std::to_string(ms / 1000) + " s");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!stop.stop_requested() && remotes.List().empty()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (ms != WaitForEver && left <= 0) {
      return;
    }
    remotes.WaitForArrival(ms == WaitForEver
                               ? WaitPollMs
                               : static_cast<std::uint32_t>(std::min<long long>(left, WaitPollMs)));
  }
}

// A remote a line, in columns: its id, then its serial number (a '-' for one
// without) when any remote listed has one, then what the system says of it.
void PrintList(const std::vector<link::ListedRemote>& listed, LineWriter& out) {
  const auto serialOf = [](const link::ListedRemote& remote) {
    return remote.serial.empty() ? std::string("-") : remote.serial;
  };
  const bool serials =
      std::ranges::any_of(listed, [](const auto& remote) { return !remote.serial.empty(); });
  std::size_t idWidth = 2;
  std::size_t serialWidth = 0;
  for (const auto& remote : listed) {
    idWidth = std::max(idWidth, remote.id.size());
    serialWidth = std::max(serialWidth, serialOf(remote).size());
  }
  const auto column = [](const std::string& text, std::size_t width) {
    return text + std::string(width + 2 - text.size(), ' ');
  };
  for (const auto& remote : listed) {
    out.Line(column(remote.id, idWidth) + (serials ? column(serialOf(remote), serialWidth) : "") +
             remote.description);
  }
}

// The ids of the remotes to run, or nothing when the choice is the user's
// (several plugged in, none chosen), after saying so.
std::optional<std::vector<std::string>> Choose(const Options& options,
                                               const std::vector<link::ListedRemote>& listed,
                                               LineWriter& err) {
  std::vector<std::string> ids;
  if (options.all) {
    for (const auto& remote : listed) {
      ids.push_back(remote.id);
    }
  } else if (!options.device.empty()) {
    ids.push_back(options.device);
  } else if (listed.size() > 1) {
    err.Line(std::string(FlashProgram) + ": several remotes are plugged in:");
    PrintList(listed, err);
    err.Line(std::string(FlashProgram) +
             ": choose one with --device ID, or update them all with --all");
    return std::nullopt;
  } else if (listed.size() == 1) {
    ids.push_back(listed.front().id);
  }
  if (ids.empty()) {
    ids.emplace_back();  // the run finds none, and says so
  }
  return ids;
}

// Runs every remote chosen at once, each on a thread of its own; gives
// their exit statuses in the order of `ids`.
std::vector<int> RunAll(const RunSetting& setting, Remotes& remotes,
                        const std::vector<std::string>& ids,
                        const std::vector<link::ListedRemote>& listed, std::stop_token stop) {
  // Every run's backend is made here, before any run starts: a remote set
  // makes them without a lock.
  std::vector<link::Backend*> backends;
  std::vector<std::string> serials;
  for (const std::string& id : ids) {
    backends.push_back(&remotes.BackendFor(id));
    const auto remote = std::ranges::find_if(listed, [&id](const auto& r) { return r.GoesBy(id); });
    serials.push_back(remote == listed.end() ? "" : remote->serial);
  }
  std::vector<int> statuses(ids.size(), 0);
  std::vector<std::thread> others;
  for (std::size_t i = 1; i < ids.size(); ++i) {
    others.emplace_back(
        [&, i] { statuses[i] = RunRemote(setting, ids[i], serials[i], *backends[i], stop); });
  }
  statuses[0] = RunRemote(setting, ids[0], serials[0], *backends[0], stop);
  for (auto& other : others) {
    other.join();
  }
  return statuses;
}

}  // namespace

int RunSession(const Options& options, Remotes& remotes, const firmware::Images& images) {
  SessionOutput output(options);
  if (const auto refused = output.Begin()) {
    return *refused;
  }
  std::optional<int> ended;  // by no run of a remote
  std::vector<int> statuses;
  const int interrupted = RunStoppable([&](std::stop_token stop) {
    if (options.waitMs) {
      WaitForRemote(remotes, *options.waitMs, output.notes, stop);
    }
    if (stop.stop_requested()) {
      return;
    }
    const auto listed = remotes.List();
    if (options.list) {
      const int status = listed.empty() ? ExitStatusOf(protocol::Outcome::NoRemote) : 0;
      if (listed.empty()) {
        output.err.Line(std::string(protocol::EndingOf(protocol::Outcome::NoRemote).text));
      }
      if (output.json) {
        for (const auto& remote : listed) {
          output.json->Remote(remote);
        }
      } else {
        PrintList(listed, output.out);
      }
      ended = output.EndAlone(status, listed.empty()
                                          ? "no usb device"
                                          : "remotes plugged in: " + std::to_string(listed.size()));
      return;
    }
    const auto ids = Choose(options, listed, output.err);
    if (!ids) {
      if (output.json) {
        for (const auto& remote : listed) {
          output.json->Remote(remote);
        }
      }
      ended = output.EndAlone(BadArguments, "several remotes are plugged in and none was chosen");
      return;
    }
    const RunSetting setting = output.Setting(images, ids->size() > 1);
    // The computer stays up while any remote is written.
    std::optional<KeepAwake> awake;
    if (!options.info && !listed.empty()) {
      awake.emplace(FlashProgram);
    }
    statuses = RunAll(setting, remotes, *ids, listed, stop);
    if (!options.device.empty() && statuses.front() == ExitStatusOf(protocol::Outcome::NoRemote)) {
      // A mistyped or moved remote: the ones there are what to choose from.
      output.err.Line(std::string(FlashProgram) + ": no remote " + options.device +
                      " is plugged in" + (listed.empty() ? ", nor any other" : ", but these are:"));
      PrintList(listed, output.err);
    }
  });
  if (statuses.empty()) {
    // Interrupted while waiting, when no remote was touched, or ended by no
    // run.
    if (interrupted != 0) {
      output.err.Line(std::string(FlashProgram) +
                      ": interrupted while waiting for a remote; none was written");
    }
    return ended ? *ended
                 : output.EndAlone(interrupted, std::string(ExitStatusMeaning(interrupted)));
  }
  const auto failed = std::ranges::find_if(statuses, [](int status) { return status != 0; });
  const int status = interrupted != 0 ? interrupted : failed == statuses.end() ? 0 : *failed;
  if (statuses.size() > 1) {
    output.Summary(statuses, status);
  }
  output.Interruption(interrupted);
  return status;
}

}  // namespace corvane::shell
