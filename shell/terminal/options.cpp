#include "shell/terminal/options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>
#include <string_view>
#include <utility>

namespace corvane::shell {
namespace {

enum class Takes { Nothing, Value, OptionalSeconds };

struct Option {
  std::string_view name;
  char shortName;
  Takes takes;
};

constexpr std::array<Option, 12> Known{{
    {"help", 'h', Takes::Nothing},
    {"version", 'V', Takes::Nothing},
    {"list", 'l', Takes::Nothing},
    {"list-scenarios", 0, Takes::Nothing},
    {"info", 0, Takes::Nothing},
    {"all", 0, Takes::Nothing},
    {"watch", 0, Takes::Nothing},
    {"json", 0, Takes::Nothing},
    {"device", 0, Takes::Value},
    {"wait", 0, Takes::OptionalSeconds},
    {"log", 0, Takes::Value},
    {"simulate", 0, Takes::Value},
}};

std::optional<std::uint32_t> Seconds(std::string_view text) {
  std::uint32_t seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
      seconds > WaitForEver / 1000) {
    return std::nullopt;
  }
  return seconds * 1000;
}

std::vector<std::string> Split(std::string_view list) {
  std::vector<std::string> parts;
  for (std::size_t start = 0; start <= list.size();) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    parts.emplace_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return parts;
}

// Sets what `option` stands for; what is wrong otherwise.
std::optional<std::string> Set(Options& options, const Option& option, const std::string& value) {
  const std::string_view name = option.name;
  if (name == "help") {
    options.help = true;
  } else if (name == "version") {
    options.version = true;
  } else if (name == "list") {
    options.list = true;
  } else if (name == "list-scenarios") {
    options.listScenarios = true;
  } else if (name == "info") {
    options.info = true;
  } else if (name == "all") {
    options.all = true;
  } else if (name == "watch") {
    options.watch = true;
  } else if (name == "json") {
    options.json = true;
  } else if (name == "device") {
    options.device = value;
  } else if (name == "log") {
    options.logFile = value;
  } else if (name == "simulate") {
    options.simulate = Split(value);
  } else if (value.empty()) {
    options.waitMs = WaitForEver;
  } else if (const auto ms = Seconds(value)) {
    options.waitMs = ms;
  } else {
    return "--wait takes a whole number of seconds, not '" + value + "'";
  }
  if (option.takes == Takes::Value && value.empty()) {
    return "--" + std::string(name) + " needs a value";
  }
  return std::nullopt;
}

}  // namespace

std::variant<Options, std::string> ReadOptions(const std::vector<std::string>& arguments) {
  Options options;
  std::optional<std::string> problem;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const Option* option = nullptr;
    std::optional<std::string> value;
    if (argument.starts_with("--")) {
      const std::size_t equals = argument.find('=');
      const std::string_view name = std::string_view(argument).substr(2, equals - 2);
      const auto* found = std::ranges::find(Known, name, &Option::name);
      option = found == Known.end() ? nullptr : found;
      if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
      }
    } else if (argument.size() == 2 && argument[0] == '-') {
      const auto* found = std::ranges::find(Known, argument[1], &Option::shortName);
      option = found == Known.end() ? nullptr : found;
    }
    if (option == nullptr) {
      problem = problem
                    ? problem
                    : (argument.starts_with('-') ? "unknown option '" : "unexpected argument '") +
                          argument + "'";
      continue;
    }
    if (value && option->takes == Takes::Nothing) {
      problem = problem ? problem : "--" + std::string(option->name) + " takes no value";
      continue;
    }
    // A value in the next argument: always for an option that needs one,
    // and for --wait when it is a number.
    const bool nextIsValue =
        i + 1 < arguments.size() &&
        (option->takes == Takes::Value ||
         (option->takes == Takes::OptionalSeconds && Seconds(arguments[i + 1])));
    if (!value && nextIsValue) {
      value = arguments[++i];
    }
    if (auto wrong = Set(options, *option, value.value_or(""))) {
      problem = problem ? problem : wrong;
    }
  }
  if (options.help) {
    return options;  // --help wins over everything, a wrong argument too
  }
  if (!problem && options.all && !options.device.empty()) {
    problem = "--all and --device exclude each other";
  }
  // A watch chooses its remotes itself, and never ends by itself.
  const std::array<std::pair<std::string_view, bool>, 5> notWithWatch{{
      {"--all", options.all},
      {"--device", !options.device.empty()},
      {"--list", options.list},
      {"--info", options.info},
      {"--wait", options.waitMs.has_value()},
  }};
  for (const auto& [name, given] : notWithWatch) {
    if (!problem && options.watch && given) {
      problem = "--watch and " + std::string(name) + " exclude each other";
    }
  }
  if (problem) {
    return *problem;
  }
  return options;
}

}  // namespace corvane::shell
