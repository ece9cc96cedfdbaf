// corvane-sim SCENARIO: one update run against the simulated remote, on a
// virtual clock, printed as a transcript of what the run wrote and showed.

#include <cstdio>
#include <iostream>
#include <string_view>

#include "firmware/images.h"
#include "sim/scenarios.h"

namespace {

using corvane::sim::ScenarioRun;

int Usage() {
  std::cerr << "usage: corvane-sim SCENARIO | --list\n";
  return 2;
}

void PrintRun(const ScenarioRun& run) {
  for (const auto& line : run.transcript) {
    std::cout << line << '\n';
  }
  std::cout << "# outcome: " << (run.status.empty() ? "(status unchanged)" : run.status) << '\n'
            << "# window: " << (run.windowClosed ? "closed" : "open") << '\n'
            << "# progress: min " << run.progressMin << " max " << run.progressMax << " value "
            << run.progressValue << '\n';
  for (const auto& image : run.images) {
    std::cout << "# remote received "
              << (image.end == corvane::sim::FrameKind::LoaderEnd ? "loader" : "main")
              << " image: " << image.bytes.size() << " bytes, flag " << int{image.headerFlag}
              << '\n';
  }
  for (const auto& violation : run.violations) {
    std::cout << "# protocol error: " << violation << '\n';
  }
  std::cout << "# virtual time: " << run.elapsedMs << " ms\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    return Usage();
  }
  const std::string_view argument = argv[1];
  if (argument == "--list") {
    std::cout << corvane::sim::ScenarioList();
    return 0;
  }
  const auto* scenario = corvane::sim::FindScenario(argument);
  if (scenario == nullptr) {
    std::cerr << corvane::sim::UnknownScenario("corvane-sim", argument, "--list") << '\n';
    return 2;
  }
  const auto images = corvane::firmware::Images::Embedded();
  if (!images) {
    std::cerr << "corvane-sim: " << corvane::firmware::ImagesRefused << '\n';
    return 1;
  }
  corvane::sim::VirtualClock clock;
  PrintRun(corvane::sim::RunScenario(*scenario, clock, *images));
  return 0;
}
