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

class Remotes {
 public:
  virtual ~Remotes() = default;
  // Those present now, in the system's order.
  virtual std::vector<link::ListedRemote> List() = 0;
  // A backend for one link to the remote with `id`. Not thread-safe: the
  // backends of runs at once are all made before the first starts.
  virtual link::Backend& BackendFor(std::string_view id) = 0;
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
  void WaitForArrival(std::uint32_t ms) override;

 private:
  std::deque<sim::DemoRemote> remotes_;
};

}  // namespace corvane::shell
