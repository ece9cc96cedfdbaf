// The window programs' command lines, read alike by both toolkits before
// any window opens: the updater takes none but --help and --version.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "shell/program_info.h"

namespace corvane::sim {
struct Scenario;
}

namespace corvane::shell {

inline constexpr std::string_view UpdaterProgram = "corvane-updater";

// What to do: open the window (for the demo, with `scenario` plugged in),
// or print `text` (on standard error when `status` is not 0) and end.
struct WindowStart {
  bool open = false;
  const sim::Scenario* scenario = nullptr;
  std::string text;
  int status = 0;
};

namespace window_arguments {

inline constexpr int Refused = 2;

inline WindowStart Usage(std::string_view program, std::string_view arguments,
                         std::string_view problem) {
  return {false, nullptr,
          std::string(program) + ": " + std::string(problem) + "\nusage: " + std::string(program) +
              " " + std::string(arguments) + "\n",
          Refused};
}

// --help and --version; nothing when `argument` is neither.
inline std::optional<WindowStart> Answered(std::string_view program, std::string_view arguments,
                                           std::string_view what, std::string_view argument) {
  if (argument == "--help" || argument == "-h") {
    return WindowStart{false, nullptr, WindowProgramHelp(program, arguments, what), 0};
  }
  if (argument == "--version" || argument == "-V") {
    return WindowStart{false, nullptr, VersionText(program), 0};
  }
  return std::nullopt;
}

}  // namespace window_arguments

inline WindowStart ReadUpdaterArguments(int argc, const char* const* argv) {
  constexpr std::string_view arguments = "[-h | --help | -V | --version]";
#ifdef _WIN32
  constexpr std::string_view what =
      "Opens the updater window: plug the Corvane remote in, press Start, and read\n"
      "the status line. corvane-flash does the same from a command prompt.";
#else
  constexpr std::string_view what =
      "Opens the updater window: plug the Corvane remote in, press Start, and read the\n"
      "status line. corvane-flash does the same from a terminal.";
#endif
  if (argc == 1) {
    return {true, nullptr, {}, 0};
  }
  if (argc == 2) {
    if (auto answered = window_arguments::Answered(UpdaterProgram, "", what, argv[1])) {
      return *answered;
    }
  }
  return window_arguments::Usage(UpdaterProgram, arguments,
                                 "unknown argument '" + std::string(argv[1]) + "'");
}

}  // namespace corvane::shell
