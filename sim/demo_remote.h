// A simulated remote on the real clock, plugged into the device link: the
// demo's stand-in for a remote on the USB bus, with a real remote's pace.
#pragma once

#include <string_view>

#include "link/backend.h"
#include "sim/clock.h"
#include "sim/scenarios.h"

namespace corvane::sim {

// The scenario a demo shows when it is given none.
inline constexpr std::string_view DefaultDemoScenario = "direct";

class DemoRemote {
 public:
  // Sets the scenario's world up, as the nth simulated remote.
  explicit DemoRemote(const Scenario& scenario, int number = 1);
  DemoRemote(const DemoRemote&) = delete;
  DemoRemote& operator=(const DemoRemote&) = delete;

  // The backend a link reaches the remote through.
  link::Backend& backend() { return world_.backend; }

 private:
  RealClock clock_;
  World world_;
};

}  // namespace corvane::sim
