#include "sim/demo_remote.h"

#include "link/device_link.h"

namespace corvane::sim {

DemoRemote::DemoRemote(const Scenario& scenario) : world_(clock_) {
  PaceLikeARealRemote(world_);
  scenario.setUp(world_);
  link::UsePlatform(world_.platform);
}

}  // namespace corvane::sim
