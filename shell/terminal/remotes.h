// The remotes corvane-flash can reach: those on the system's bus, or
// simulated ones, one per scenario. Each run gets a backend of its own, so
// that several remotes are updated at once, a link each.
#pragma once

#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/backend.h"
#include "link/device_link.h"
#include "sim/demo_remote.h"
#include "sim/scenarios.h"

namespace corvane::shell {

// Where the system cannot tell of an arrival, a wait for one looks again
// this often.
inline constexpr std::uint32_t WaitPollMs = 250;

// Asked from one thread, while runs go on through the backends it made.
class Remotes {
 public:
  virtual ~Remotes() = default;
  // Those present now, in the system's order.
  virtual std::vector<link::ListedRemote> List() = 0;
  // A backend for one link to the remote with `id`, until given back.
  virtual link::Backend& BackendFor(std::string_view id) = 0;
  // Gives back a backend whose link is closed.
  virtual void GiveBack(link::Backend& backend) = 0;
  // Returns once a remote may have arrived, at the latest after `ms`.
  virtual void WaitForArrival(std::uint32_t ms) = 0;
};

template <typename SystemBackend>
class SystemRemotes final : public Remotes {
 public:
  std::vector<link::ListedRemote> List() override { return link::ListRemotes(lister_); }
  link::Backend& BackendFor(std::string_view) override {
    return *backends_.emplace_back(std::make_unique<SystemBackend>());
  }
  // A watch makes a backend for every remote plugged in all day.
  void GiveBack(link::Backend& backend) override {
    std::erase_if(backends_, [&](const auto& made) { return made.get() == &backend; });
  }
  void WaitForArrival(std::uint32_t ms) override { lister_.WaitForArrival(ms); }

 private:
  SystemBackend lister_;
  std::deque<std::unique_ptr<SystemBackend>> backends_;
};

class SimulatedRemotes final : public Remotes {
 public:
  // One remote per scenario, numbered from 1.
  explicit SimulatedRemotes(std::span<const sim::Scenario* const> scenarios);

  std::vector<link::ListedRemote> List() override;
  link::Backend& BackendFor(std::string_view id) override;
  void GiveBack(link::Backend&) override {}  // each remote keeps its own
  void WaitForArrival(std::uint32_t ms) override;

 private:
  std::deque<sim::DemoRemote> remotes_;
};

}  // namespace corvane::shell
