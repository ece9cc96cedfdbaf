#include "sim/demo_remote.h"

namespace corvane::sim {

DemoRemote::DemoRemote(const Scenario& scenario, int number) : world_(clock_, number) {
  PaceLikeARealRemote(world_);
  world_.backend.description = "simulated remote, scenario " + std::string(scenario.name);
  scenario.setUp(world_);
}

}  // namespace corvane::sim
