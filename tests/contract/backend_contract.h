// The contract every backend keeps, as one table of cases run against each
// of them with the simulated remote behind it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/backend.h"
#include "sim/remote.h"

namespace corvane::contract {

// A backend with one simulated remote plugged in.
class Bed {
 public:
  virtual ~Bed() = default;
  virtual link::Backend& backend() = 0;
  // Its answers are set before the first pipe is opened.
  virtual sim::SimRemote& remote() = 0;
  // Pulls the remote out: whatever was opened on it is dead.
  virtual void Unplug() = 0;
};

struct Case {
  std::string name;
  // What the remote answers to the probe written first.
  void (*answer)(sim::SimRemote& remote);
  enum class Unplug { Never, BeforeRead, WhileReadPending } unplug = Unplug::Never;
  std::uint32_t readTimeoutMs = 1000;
  link::WaitResult wait = link::WaitResult::Ended;
  // What collecting the read gives.
  struct {
    bool completed = false;
    std::uint32_t count = 0;
  } collected;
  std::vector<std::uint8_t> delivered;            // the read buffer's first bytes
  bool answeredAfterwards = false;                // a second probe is then answered
  link::CauseKind cause = link::CauseKind::None;  // the read's
};

std::vector<Case> Cases();

// Runs one case on a fresh bed.
void Check(Bed& bed, const Case& c);

// Names a parameterised case after its row, in test names and messages.
std::string CaseName(const testing::TestParamInfo<Case>& info);
void PrintTo(const Case& c, std::ostream* out);

}  // namespace corvane::contract
