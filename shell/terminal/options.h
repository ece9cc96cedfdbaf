// corvane-flash's command line, read the way GNU tools read theirs:
// --opt=value and --opt value alike, -h and -V, and --help winning over
// everything else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace corvane::shell {

inline constexpr std::string_view FlashProgram = "corvane-flash";

struct Options {
  bool help = false;
  bool version = false;
  bool list = false;
  bool listScenarios = false;
  bool info = false;
  bool all = false;
  bool watch = false;
  bool json = false;
  std::string device;                   // empty: not chosen
  std::optional<std::uint32_t> waitMs;  // --wait: how long; UINT32_MAX for ever
  std::string logFile;                  // empty: no log
  std::vector<std::string> simulate;    // one scenario per simulated remote
};

inline constexpr std::uint32_t WaitForEver = UINT32_MAX;

// The options, or what is wrong with the command line.
std::variant<Options, std::string> ReadOptions(const std::vector<std::string>& arguments);

}  // namespace corvane::shell
