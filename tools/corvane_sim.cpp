// corvane-sim SCENARIO: one update run against the simulated remote, on a
// virtual clock, printed as a transcript of what the run wrote and showed.

#include <cstdio>
#include <iostream>
#include <string_view>

#include "shell/embedded_images.h"
#include "sim/recording_window.h"
#include "sim/scenarios.h"

namespace {

using corvane::sim::ScenarioRun;

int Usage() {
  std::cerr << "usage: corvane-sim SCENARIO | --list\n";
  return 2;
}

void PrintRun(const ScenarioRun& run) {
  std::cout << corvane::sim::TranscriptText(run.transcript)
            << "# outcome: " << (run.status.empty() ? "(status unchanged)" : run.status) << '\n'
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
  const auto chosen = corvane::sim::ReadScenarioArgument("corvane-sim", argv[1]);
  if (chosen.scenario == nullptr) {
    (chosen.status == 0 ? std::cout : std::cerr) << chosen.text;
    return chosen.status;
  }
  const auto images = corvane::shell::EmbeddedImages(
      "corvane-sim", [](const std::string& line) { std::cerr << line << '\n'; });
  if (!images) {
    return corvane::shell::ImagesRefusedStatus;
  }
  corvane::sim::VirtualClock clock;
  PrintRun(corvane::sim::RunScenario(*chosen.scenario, clock, *images));
  return 0;
}
