#include "sim/demo_remote.h"

namespace corvane::sim {

DemoRemote::DemoRemote(const Scenario& scenario) : world_(clock_), inUse_(world_.backend) {
  PaceLikeARealRemote(world_);
  scenario.setUp(world_);
}

}  // namespace corvane::sim
