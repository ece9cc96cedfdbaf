#include "sim/demo_remote.h"

namespace corvane::sim {

DemoRemote::DemoRemote(const Scenario& scenario) : world_(clock_) {
  PaceLikeARealRemote(world_);
  scenario.setUp(world_);
}

}  // namespace corvane::sim
