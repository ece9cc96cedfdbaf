// Named update runs against the simulated remote: a conforming remote, and
// one for every way a remote or its connection can fail.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/images.h"
#include "protocol/outcome.h"
#include "sim/backend.h"
#include "sim/clock.h"
#include "sim/recording_window.h"
#include "sim/remote.h"
#include "sim/remote_on_bus.h"

namespace corvane::sim {

// The interface path of the nth simulated remote, as Windows reports a
// remote's: lower case, with braces; its id is SIM-n.
std::string SimRemotePath(int number);

// One remote plugged in on the simulated backend.
struct World {
  explicit World(Clock& clock, int number = 1);
  SimRemote remote;
  RemoteOnBus bus{remote};
  SimBackend backend;
};

// Gives the world the pace of a real remote, for runs on the real clock: a
// block reply comes once the remote has programmed the block.
void PaceLikeARealRemote(World& world);

struct Scenario {
  std::string_view name;
  std::string_view description;
  void (*setUp)(World& world);
};

std::span<const Scenario> Scenarios();
const Scenario* FindScenario(std::string_view name);
// Every scenario's name and description, a line each, for a --list option.
std::string ScenarioList();
// What `program` says of a scenario name it does not know; `listOption`
// lists them.
std::string UnknownScenario(std::string_view program, std::string_view name,
                            std::string_view listOption);

// What a program that takes one scenario name, or --list, makes of its
// argument: the scenario, or the text to print (on standard error when
// `status` is not 0) and the status to end with.
struct ScenarioArgument {
  const Scenario* scenario = nullptr;
  std::string text;
  int status = 0;
};
ScenarioArgument ReadScenarioArgument(std::string_view program, std::string_view argument);

// Everything one run left behind.
struct ScenarioRun {
  std::vector<std::string> transcript;
  protocol::Outcome outcome = protocol::Outcome::NoRemote;
  std::string status;
  float progressMin = 0;
  float progressMax = 0;
  float progressValue = 0;
  bool windowClosed = false;
  std::vector<ReceivedImage> images;
  std::vector<std::string> violations;  // the remote's and the backend's
  int openFiles = 0;
  Millis elapsedMs = 0;
};

// Runs UpdateFirmware once in the scenario's world with the images.
ScenarioRun RunScenario(const Scenario& scenario, Clock& clock, const firmware::Images& images);

}  // namespace corvane::sim
