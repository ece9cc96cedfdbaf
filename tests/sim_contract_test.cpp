// The backend contract on the simulated backend.
#include "backend_contract.h"
#include "sim/scenarios.h"

namespace corvane::contract {
namespace {

class SimBed final : public Bed {
 public:
  link::Backend& backend() override { return world_.backend; }
  sim::SimRemote& remote() override { return world_.remote; }
  void Unplug() override { world_.backend.SetPresent(false); }

 private:
  sim::VirtualClock clock_;
  sim::World world_{clock_};
};

class SimContract : public testing::TestWithParam<Case> {};

TEST_P(SimContract, Holds) {
  SimBed bed;
  Check(bed, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Simulated, SimContract, testing::ValuesIn(Cases()), CaseName);

}  // namespace
}  // namespace corvane::contract
