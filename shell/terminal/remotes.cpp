#include "shell/terminal/remotes.h"

#include <chrono>
#include <thread>

namespace corvane::shell {

SimulatedRemotes::SimulatedRemotes(std::span<const sim::Scenario* const> scenarios) {
  for (const sim::Scenario* scenario : scenarios) {
    remotes_.emplace_back(*scenario, static_cast<int>(remotes_.size()) + 1);
  }
}

std::vector<link::ListedRemote> SimulatedRemotes::List() {
  std::vector<link::ListedRemote> listed;
  for (sim::DemoRemote& remote : remotes_) {
    const auto mine = link::ListRemotes(remote.backend());
    listed.insert(listed.end(), mine.begin(), mine.end());
  }
  return listed;
}

link::Backend& SimulatedRemotes::BackendFor(std::string_view id) {
  for (std::size_t i = 0; i < remotes_.size(); ++i) {
    if (link::GoesBy(remotes_[i].backend(), sim::SimRemotePath(static_cast<int>(i) + 1), id)) {
      return remotes_[i].backend();
    }
  }
  return remotes_.front().backend();
}

void SimulatedRemotes::WaitForArrival(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace corvane::shell
