// The demo's command line, read alike by both toolkits before any window
// opens: a scenario (direct unless named), --list, --help or --version.
#pragma once

#include <string_view>

#include "shell/window_arguments.h"
#include "sim/demo_remote.h"
#include "sim/scenarios.h"

namespace corvane::shell {

inline constexpr std::string_view DemoProgram = "corvane-updater-demo";

inline WindowStart ReadDemoArguments(int argc, const char* const* argv) {
  constexpr std::string_view arguments = "[SCENARIO | --list]";
  if (argc > 2) {
    return window_arguments::Usage(DemoProgram, arguments, "one scenario at most");
  }
  const std::string_view argument = argc == 2 ? argv[1] : sim::DefaultDemoScenario;
  if (auto answered = window_arguments::Answered(
          DemoProgram, arguments,
          "Opens the updater window with a simulated remote plugged in (scenario direct\n"
          "unless another is named), at a real remote's pace. --list lists the scenarios.",
          argument)) {
    return *answered;
  }
  if (argument.starts_with('-') && argument != "--list") {
    return window_arguments::Usage(DemoProgram, arguments,
                                   "unknown argument '" + std::string(argument) + "'");
  }
  const auto chosen = sim::ReadScenarioArgument(DemoProgram, argument);
  return {chosen.scenario != nullptr, chosen.scenario, chosen.text, chosen.status};
}

}  // namespace corvane::shell
