// A simulated remote on the real clock, plugged into the device link: the
// demo's stand-in for a remote on the USB bus, with a real remote's pace.
#pragma once

#include <string_view>

#include "link/device_link.h"
#include "sim/clock.h"
#include "sim/scenarios.h"

namespace corvane::sim {

// The scenario a demo shows when it is given none.
inline constexpr std::string_view DefaultDemoScenario = "direct";

class DemoRemote {
 public:
  // Sets the scenario's world up and makes the link use its backend for as
  // long as this object lives.
  explicit DemoRemote(const Scenario& scenario);
  DemoRemote(const DemoRemote&) = delete;
  DemoRemote& operator=(const DemoRemote&) = delete;

  // The simulated backend, for a program that puts a backend of its own in
  // front of it (pointing the link there with a BackendInUse of its own).
  link::Backend& backend() { return world_.backend; }

 private:
  RealClock clock_;
  World world_;
  link::BackendInUse inUse_;
};

}  // namespace corvane::sim
