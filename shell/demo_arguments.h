// The demo's command line, read the same by both toolkits before any window
// opens: SCENARIO (direct unless named), --list, --help or --version.
#pragma once

#include <string>
#include <string_view>

#include "shell/program_info.h"
#include "sim/demo_remote.h"
#include "sim/scenarios.h"

namespace corvane::shell {

inline constexpr std::string_view DemoProgram = "corvane-updater-demo";

// The scenario to plug in, or the text to print (on standard error when
// `status` is not 0) and the status to end with.
inline sim::ScenarioArgument ReadDemoArguments(int argc, const char* const* argv) {
  constexpr std::string_view arguments = "[SCENARIO | --list]";
  if (argc > 2) {
    return {nullptr, "usage: " + std::string(DemoProgram) + " " + std::string(arguments) + "\n", 2};
  }
  const std::string_view argument = argc == 2 ? argv[1] : sim::DefaultDemoScenario;
  if (argument == "--help" || argument == "-h") {
    return {nullptr,
            WindowProgramHelp(DemoProgram, arguments,
                              "Opens the updater window with a simulated remote plugged in "
                              "(scenario direct\nunless another is named), at a real remote's "
                              "pace. --list lists the scenarios."),
            0};
  }
  if (argument == "--version" || argument == "-V") {
    return {nullptr, VersionText(DemoProgram), 0};
  }
  return sim::ReadScenarioArgument(DemoProgram, argument);
}

}  // namespace corvane::shell
