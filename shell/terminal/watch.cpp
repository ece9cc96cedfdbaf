#include "shell/terminal/watch.h"

#include <algorithm>
#include <atomic>
#include <list>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "shell/keep_awake.h"
#include "shell/terminal/console.h"
#include "shell/terminal/remote_run.h"
#include "shell/terminal/session_output.h"

namespace corvane::shell {
namespace {

// One remote's run, on a thread of its own.
struct Run {
  Run(const link::ListedRemote& remote, link::Backend& linkBackend)
      : id(remote.id), serial(remote.serial), backend(linkBackend) {}
  std::string id;
  std::string serial;
  link::Backend& backend;
  std::thread thread;
  std::atomic<bool> ended{false};
  int status = 0;
};

bool Listed(const std::vector<link::ListedRemote>& listed, const std::string& id) {
  return std::ranges::find(listed, id, &link::ListedRemote::id) != listed.end();
}

}  // namespace

int RunWatch(const Options& options, Remotes& remotes, const firmware::Images& images) {
  SessionOutput output(options);
  if (const auto refused = output.Begin()) {
    return *refused;
  }
  const RunSetting setting = output.Setting(images, true);
  std::vector<int> statuses;  // in the order the runs ended
  bool runsStopped = false;
  const int interrupted = RunStoppable([&](std::stop_token stop) {
    output.notes.Line("watching for remotes to be plugged in, until Ctrl-C or SIGTERM");
    std::list<Run> runs;
    // Updated, or being updated, and not seen gone since its run ended.
    std::set<std::string> handled;
    // The computer stays up while any remote is written.
    std::optional<KeepAwake> awake;
    const auto collect = [&](Run& run) {
      run.thread.join();
      statuses.push_back(run.status);
      remotes.GiveBack(run.backend);
    };
    while (!stop.stop_requested()) {
      // The runs that ended are collected before the bus is looked at: a
      // remote in its run, away for its restart perhaps, is never taken
      // for gone.
      std::erase_if(runs, [&](Run& run) {
        const bool ended = run.ended;
        if (ended) {
          collect(run);
        }
        return ended;
      });
      const auto listed = remotes.List();
      std::erase_if(handled, [&](const std::string& id) {
        return !Listed(listed, id) && std::ranges::find(runs, id, &Run::id) == runs.end();
      });
      for (const auto& remote : listed) {
        if (handled.insert(remote.id).second) {
          Run& run = runs.emplace_back(remote, remotes.BackendFor(remote.id));
          run.thread = std::thread([&setting, &run, stop] {
            run.status = RunRemote(setting, run.id, run.serial, run.backend, stop);
            run.ended = true;
          });
        }
      }
      if (runs.empty()) {
        awake.reset();
      } else if (!awake) {
        awake.emplace(FlashProgram);
      }
      // A departure wakes no wait: the next look finds it.
      remotes.WaitForArrival(WaitPollMs);
    }
    runsStopped = !runs.empty();
    for (Run& run : runs) {
      collect(run);
    }
  });
  output.Summary(statuses, interrupted);
  if (runsStopped) {
    output.Interruption(interrupted);
  }
  return interrupted;
}

}  // namespace corvane::shell
